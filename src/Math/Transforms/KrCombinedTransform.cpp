// TCombinedTransform: merging on AddTransform, chunked batch evaluation, matrix products, element sections.
#include "Math/Transforms/KrCombinedTransform.h"

#include "Math/Transforms/KrAffineTransform.h"
#include "Math/Transforms/KrProjectiveTransform.h"
#include "Math/Transforms/KrShiftTransform.h"
#include "Math/Transforms/KrTransformLoops.h"
#include "Math/Transforms/KrUnityTransform.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <algorithm>

TCombinedTransform::TCombinedTransform(const TCombinedTransform& other)
    : TKr2DTransform(other), m_enableCollapse(other.m_enableCollapse) {
    m_transforms.reserve(other.m_transforms.size());
    for (const auto& t : other.m_transforms)
        m_transforms.push_back(t->CreateCopy());
    Refresh();
}

TCombinedTransform& TCombinedTransform::operator=(const TCombinedTransform& other) {
    if (this != &other) {
        TCombinedTransform copy(other);
        m_transforms.swap(copy.m_transforms);
        m_enableCollapse = copy.m_enableCollapse;
        Refresh();
    }
    return *this;
}

void TCombinedTransform::Append(var_a<TKr2DTransform*> t) {
    m_transforms.push_back(std::move(t));
    Refresh();
}

void TCombinedTransform::Clear() noexcept {
    m_transforms.clear();
    Refresh();
}

TKr2DTransform* TCombinedTransform::GetTransform(std::size_t i) const noexcept {
    return i < m_transforms.size() ? m_transforms[i].get() : nullptr;
}

var_a<TKr2DTransform*> TCombinedTransform::GetTransformV(std::size_t i) const {
    return i < m_transforms.size() ? m_transforms[i] : var_a<TKr2DTransform*>();
}

void TCombinedTransform::AddTransform(const TKr2DTransform& t) {
    if (dynamic_cast<const TUnityTransform*>(&t)) return;
    if (m_enableCollapse) {
        if (const auto* chain = dynamic_cast<const TCombinedTransform*>(&t)) {
            // Copy the element list first: the chain may be this one.
            const std::vector<var_a<TKr2DTransform*>> elements = chain->m_transforms;
            for (const auto& e : elements)
                AddTransform(*e);
            return;
        }
        const auto* addShift = dynamic_cast<const TShiftTransform*>(&t);
        const auto* addAffine = dynamic_cast<const TAffineTransform*>(&t);
        const auto* addProj = dynamic_cast<const TProjectiveTransform*>(&t);
        TKr2DTransform* last = m_transforms.empty() ? nullptr : m_transforms.back().get();
        if (last && (addShift || addAffine || addProj)) {
            if (auto* l = dynamic_cast<TShiftTransform*>(last)) {
                if (addShift) {
                    l->LMul(*addShift);
                } else if (addAffine) {
                    auto merged = new_a<TAffineTransform>(*addAffine);
                    merged->RMul(*l);
                    m_transforms.back() = merged;
                } else {
                    auto merged = new_a<TProjectiveTransform>(*addProj);
                    merged->RMul(*l);
                    m_transforms.back() = merged;
                }
                return;
            }
            if (auto* l = dynamic_cast<TAffineTransform*>(last)) {
                if (addShift) {
                    l->LMul(*addShift);
                } else if (addAffine) {
                    l->LMul(*addAffine);
                } else {
                    auto merged = new_a<TProjectiveTransform>(*addProj);
                    merged->RMul(*l);
                    m_transforms.back() = merged;
                }
                return;
            }
            if (auto* l = dynamic_cast<TProjectiveTransform*>(last)) {
                if (addShift)
                    l->LMul(*addShift);
                else if (addAffine)
                    l->LMul(*addAffine);
                else
                    l->LMul(*addProj);
                return;
            }
        }
    }
    Append(t.CreateCopy());
}

var_a<TKr2DTransform*> TCombinedTransform::CreateCopy() const {
    return new_a<TCombinedTransform>(*this);
}

var_a<TKr2DTransform*> TCombinedTransform::CreateInverseTransform() const {
    auto inverse = new_a<TCombinedTransform>();
    inverse->m_enableCollapse = m_enableCollapse;
    inverse->m_transforms.reserve(m_transforms.size());
    for (auto it = m_transforms.rbegin(); it != m_transforms.rend(); ++it)
        inverse->m_transforms.push_back((*it)->CreateInverseTransform());
    inverse->Refresh();
    return inverse;
}

vec2d TCombinedTransform::GetTraCoord(const vec2d& p) const {
    vec2d q = p;
    for (const auto& t : m_transforms)
        q = t->GetTraCoord(q);
    return q;
}

vec2d TCombinedTransform::GetInverseTraCoord(const vec2d& p) const {
    vec2d q = p;
    for (auto it = m_transforms.rbegin(); it != m_transforms.rend(); ++it)
        q = (*it)->GetInverseTraCoord(q);
    return q;
}

bool TCombinedTransform::GetTraCoordB(const vec2d& in, vec2d& out) const {
    vec2d q = in;
    for (const auto& t : m_transforms)
        if (!t->GetTraCoordB(q, q)) return false;
    out = q;
    return true;
}

bool TCombinedTransform::GetInverseTraCoordB(const vec2d& in, vec2d& out) const {
    vec2d q = in;
    for (auto it = m_transforms.rbegin(); it != m_transforms.rend(); ++it)
        if (!(*it)->GetInverseTraCoordB(q, q)) return false;
    out = q;
    return true;
}

namespace {

// Runs the elements from `first` in direction `step` over the batch: the first element reads
// the caller's points, the last writes the caller's output, and the ones between pass chunks
// of 128 points through two scratch blocks in turn.
template <class Call>
void RunChain(const var_a<TKr2DTransform*>* first, std::ptrdiff_t step, std::size_t n, const vec2d* src,
              std::uint64_t srcStride, std::uint64_t count, vec2d* dst, std::uint64_t dstStride, Call call) {
    constexpr std::size_t chunk = TCombinedTransform::ChunkSize;
    vec2d scratch[2][chunk];
    const std::uint64_t ss = srcStride ? srcStride : KrTransformLoops::DenseStride;
    const std::uint64_t ds = dstStride ? dstStride : KrTransformLoops::DenseStride;
    const char* s = reinterpret_cast<const char*>(src);
    char* d = reinterpret_cast<char*>(dst);
    for (std::uint64_t done = 0; done < count;) {
        const std::uint64_t m = std::min<std::uint64_t>(chunk, count - done);
        const var_a<TKr2DTransform*>* e = first;
        call(**e, reinterpret_cast<const vec2d*>(s + done * ss), ss, m, scratch[0], 0);
        int in = 0;
        for (std::size_t k = 1; k + 1 < n; ++k) {
            e += step;
            call(**e, scratch[in], 0, m, scratch[1 - in], 0);
            in = 1 - in;
        }
        e += step;
        call(**e, scratch[in], 0, m, reinterpret_cast<vec2d*>(d + done * ds), ds);
        done += m;
    }
}

} // namespace

void TCombinedTransform::GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count,
                                      vec2d* dst, std::uint64_t dstStride) const {
    const std::size_t n = m_transforms.size();
    if (n == 0) return KrTransformLoops::CopyPoints(src, srcStride, count, dst, dstStride);
    if (n == 1) return m_first[0]->GetTraCoordM(src, srcStride, count, dst, dstStride);
    RunChain(m_first, 1, n, src, srcStride, count, dst, dstStride,
             [](const TKr2DTransform& t, const vec2d* a, std::uint64_t as, std::uint64_t c, vec2d* b,
                std::uint64_t bs) { t.GetTraCoordM(a, as, c, b, bs); });
}

void TCombinedTransform::GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count,
                                             vec2d* dst, std::uint64_t dstStride) const {
    const std::size_t n = m_transforms.size();
    if (n == 0) return KrTransformLoops::CopyPoints(src, srcStride, count, dst, dstStride);
    if (n == 1) return m_first[0]->GetInverseTraCoordM(src, srcStride, count, dst, dstStride);
    RunChain(m_first + (n - 1), -1, n, src, srcStride, count, dst, dstStride,
             [](const TKr2DTransform& t, const vec2d* a, std::uint64_t as, std::uint64_t c, vec2d* b,
                std::uint64_t bs) { t.GetInverseTraCoordM(a, as, c, b, bs); });
}

double TCombinedTransform::GetTransformTime(bool arg) const {
    double sum = 0;
    for (const auto& t : m_transforms)
        sum += t->GetTransformTime(arg);
    return sum;
}

bool TCombinedTransform::GetMatrix(matr3x3* m) const {
    for (const auto& t : m_transforms)
        if (!t->GetMatrix(nullptr)) return false;
    if (!m) return true;
    matr3x3 product = matr3x3::Unit(), e;
    for (const auto& t : m_transforms) {
        t->GetMatrix(&e);
        product = e * product;
    }
    *m = product;
    return true;
}

bool TCombinedTransform::GetInverseMatrix(matr3x3* m) const {
    for (const auto& t : m_transforms)
        if (!t->GetInverseMatrix(nullptr)) return false;
    if (!m) return true;
    matr3x3 product = matr3x3::Unit(), e;
    for (const auto& t : m_transforms) {
        t->GetInverseMatrix(&e);
        product = product * e;
    }
    *m = product;
    return true;
}

void TCombinedTransform::SaveContent(TKrXIniWriter* writer) const {
    for (const auto& t : m_transforms) {
        writer->BeginSectionSE(std::string());
        t->SaveE(writer);
        writer->EndSectionE();
    }
}

void TCombinedTransform::LoadContent(TKrXIniReader* reader) {
    std::vector<var_a<TKr2DTransform*>> loaded;
    for (std::size_t i = 0; reader->ExistsE(i); ++i) {
        const std::size_t level = reader->EnterSectionE(i);
        loaded.push_back(TKr2DTransform::LoadE(reader));
        reader->ExitSectionE(level);
    }
    m_transforms.insert(m_transforms.end(), loaded.begin(), loaded.end());
    Refresh();
}
