// TCombinedTransform3D: merging on either side by matrix products, evaluation in order, chain matrices.
#include "Math/Transforms/KrCombinedTransform3D.h"

TCombinedTransform3D::TCombinedTransform3D(const TCombinedTransform3D& other)
    : TKr3DTransform(other), m_enableCollapse(other.m_enableCollapse) {
    m_transforms.reserve(other.m_transforms.size());
    for (const auto& t : other.m_transforms)
        m_transforms.push_back(t->CreateCopy());
    Refresh();
}

TCombinedTransform3D& TCombinedTransform3D::operator=(const TCombinedTransform3D& other) {
    if (this != &other) {
        TCombinedTransform3D copy(other);
        m_transforms.swap(copy.m_transforms);
        m_enableCollapse = copy.m_enableCollapse;
        Refresh();
    }
    return *this;
}

void TCombinedTransform3D::Clear() noexcept {
    m_transforms.clear();
    Refresh();
}

TKr3DTransform* TCombinedTransform3D::GetTransform(std::size_t i) const noexcept {
    return i < m_transforms.size() ? m_transforms[i].get() : nullptr;
}

void TCombinedTransform3D::AddL(const TKr3DTransform& t) {
    Add(t, true);
}

void TCombinedTransform3D::AddR(const TKr3DTransform& t) {
    Add(t, false);
}

void TCombinedTransform3D::Add(const TKr3DTransform& t, bool append) {
    if (t.GetTransformFlags() & FlagIdentity) return;
    if (const auto* chain = dynamic_cast<const TCombinedTransform3D*>(&t)) {
        // Copy the element list first: the chain may be this one.
        const std::vector<var_a<TKr3DTransform*>> elements = chain->m_transforms;
        if (append)
            for (const auto& e : elements)
                Add(*e, true);
        else
            for (auto it = elements.rbegin(); it != elements.rend(); ++it)
                Add(**it, false);
        return;
    }
    if (!m_transforms.empty() && m_enableCollapse && t.GetMatrix(nullptr)) {
        var_a<TKr3DTransform*>& neighbour = append ? m_transforms.back() : m_transforms.front();
        matr4x4 mt, mn;
        if (neighbour->GetMatrix(&mn) && t.GetMatrix(&mt)) {
            const matr4x4 product = append ? mt * mn : mn * mt;
            const int cls = classify(product);
            if (cls == 0)
                m_transforms.erase(append ? m_transforms.end() - 1 : m_transforms.begin());
            else
                neighbour = VCreateTransform3D(product, cls);
            Refresh();
            return;
        }
    }
    var_a<TKr3DTransform*> copy = t.CreateCopy();
    if (append)
        m_transforms.push_back(std::move(copy));
    else
        m_transforms.insert(m_transforms.begin(), std::move(copy));
    Refresh();
}

var_a<TKr3DTransform*> TCombinedTransform3D::CreateCopy() const {
    return new_a<TCombinedTransform3D>(*this);
}

var_a<TKr3DTransform*> TCombinedTransform3D::CreateInverseTransform() const {
    auto inverse = new_a<TCombinedTransform3D>(m_enableCollapse);
    inverse->m_transforms.reserve(m_transforms.size());
    for (auto it = m_transforms.rbegin(); it != m_transforms.rend(); ++it)
        inverse->m_transforms.push_back((*it)->CreateInverseTransform());
    inverse->Refresh();
    return inverse;
}

vec3d TCombinedTransform3D::GetTraCoord(const vec3d& p) const {
    vec3d q = p;
    for (const auto& t : m_transforms)
        q = t->GetTraCoord(q);
    return q;
}

vec3d TCombinedTransform3D::GetInverseTraCoord(const vec3d& p) const {
    vec3d q = p;
    for (auto it = m_transforms.rbegin(); it != m_transforms.rend(); ++it)
        q = (*it)->GetInverseTraCoord(q);
    return q;
}

unsigned TCombinedTransform3D::GetTransformFlags() const {
    unsigned flags = FlagIdentity | FlagKeepsZ;
    for (const auto& t : m_transforms)
        flags &= t->GetTransformFlags();
    return flags;
}

bool TCombinedTransform3D::GetMatrix(matr4x4* m) const {
    for (const auto& t : m_transforms)
        if (!t->GetMatrix(nullptr)) return false;
    if (!m) return true;
    matr4x4 product = matr4x4::Unit(), e;
    for (const auto& t : m_transforms) {
        t->GetMatrix(&e);
        product = e * product;
    }
    *m = product;
    return true;
}
