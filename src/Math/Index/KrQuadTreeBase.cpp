// KrQuadTree::TKrQuadTreeBase: box descent by node centres, record numbers, the shared query.
#include "Math/Index/KrQuadTreeBase.h"

#include <cmath>
#include <stdexcept>

namespace KrQuadTree {

namespace {

// The one formula for a child's centre: AddObject and the queries must compute bit-identical
// centres, or an object on a centre line could be missed by a query touching it.
inline vec2d ChildCentre(const vec2d& c, unsigned quadrant, const vec2d& half) {
    return {c.x + ((quadrant & 1) ? half.x : -half.x), c.y + ((quadrant & 2) ? half.y : -half.y)};
}

// Runs of object records grow to 2^8 per node.
constexpr std::uint16_t kMaxRunLog = 8;

inline bool IsNaN(const vec2d& p) {
    return std::isnan(p.x) || std::isnan(p.y);
}

} // namespace

TKrQuadTreeBase::TKrQuadTreeBase() = default;
TKrQuadTreeBase::TKrQuadTreeBase(TKrQuadTreeBase&&) noexcept = default;
TKrQuadTreeBase& TKrQuadTreeBase::operator=(TKrQuadTreeBase&&) noexcept = default;
TKrQuadTreeBase::~TKrQuadTreeBase() = default;

bool TKrQuadTreeBase::Init(const vec2d& min, const vec2d& max, const STreeOptions* options) {
    m_initialized = false;
    m_nodes.Release();
    m_objects.Release();
    m_freeObjects = kNone;
    m_objectsCount = 0;

    const STreeOptions opts = options ? *options : STreeOptions();
    const unsigned levels = opts.MaxLevels == 0 ? 1 : opts.MaxLevels;
    if (levels > kMaxTreeLevels) return false;
    const vec2d extent = max - min;
    const vec2d centre = min + extent / 2.0;
    // Written so that NaN fails as well.
    if (!(extent.x >= 1e-30 && extent.y >= 1e-30)) return false;
    if (!std::isfinite(extent.x) || !std::isfinite(extent.y) || !std::isfinite(centre.x) ||
        !std::isfinite(centre.y))
        return false;

    m_limits = limits2d(min, max);
    m_levels = levels;
    m_half[0] = extent / 2.0;
    for (unsigned i = 1; i < kMaxTreeLevels; ++i)
        m_half[i] = m_half[i - 1] / 2.0;
    m_nodes.SetGrowBlock(opts.NodesGrowBlock);
    m_objects.SetGrowBlock(opts.ObjectsGrowBlock);
    m_nodes.reserve(m_nodes.GrowBlock());
    m_objects.reserve(opts.ObjectsReserve);
    m_initialized = true;
    Clear();
    return true;
}

void TKrQuadTreeBase::Clear() {
    m_nodes.clear();
    m_objects.clear();
    m_freeObjects = kNone;
    m_objectsCount = 0;
    if (m_initialized) NewNode();
}

std::uint32_t TKrQuadTreeBase::NewNode() {
    if (m_nodes.size() >= kFreed) throw std::length_error("KrQuadTree::TKrQuadTreeBase: too many nodes");
    const std::uint32_t n = static_cast<std::uint32_t>(m_nodes.Add());
    SNode& node = m_nodes[n];
    node.Child[0] = node.Child[1] = node.Child[2] = node.Child[3] = 0;
    node.First = kNone;
    node.RunNext = 0;
    node.RunLeft = 0;
    node.RunLog = 0;
    return n;
}

std::uint32_t TKrQuadTreeBase::NewObject(std::uint32_t node, std::uint64_t id) {
    SNode& nd = m_nodes[node];
    std::uint32_t n;
    if (nd.RunLeft) {
        n = nd.RunNext++;
        --nd.RunLeft;
    } else if (m_freeObjects != kNone) {
        n = m_freeObjects;
        m_freeObjects = m_objects[n].Next;
    } else {
        // A new run for this node; its spare records are marked unused so that DeleteObject
        // refuses their numbers.
        const std::uint32_t size = 1u << nd.RunLog;
        if (m_objects.size() + size >= kFreed)
            throw std::length_error("KrQuadTree::TKrQuadTreeBase: too many objects");
        n = static_cast<std::uint32_t>(m_objects.size());
        for (std::uint32_t k = 0; k < size; ++k)
            m_objects[m_objects.Add()].Prev = kFreed;
        nd.RunNext = n + 1;
        nd.RunLeft = static_cast<std::uint16_t>(size - 1);
        if (nd.RunLog < kMaxRunLog) ++nd.RunLog;
    }
    m_objects[n].Id = id;
    return n;
}

bool TKrQuadTreeBase::Clamp(vec2d& lo, vec2d& hi) const {
    if (IsNaN(lo) || IsNaN(hi)) return false;
    if (lo.x > hi.x) std::swap(lo.x, hi.x);
    if (lo.y > hi.y) std::swap(lo.y, hi.y);
    const vec2d& a = m_limits.min;
    const vec2d& b = m_limits.max;
    lo.x = lo.x < a.x ? a.x : lo.x > b.x ? b.x : lo.x;
    lo.y = lo.y < a.y ? a.y : lo.y > b.y ? b.y : lo.y;
    hi.x = hi.x < a.x ? a.x : hi.x > b.x ? b.x : hi.x;
    hi.y = hi.y < a.y ? a.y : hi.y > b.y ? b.y : hi.y;
    return true;
}

bool TKrQuadTreeBase::AddObject(std::uint64_t id, const vec2d& min, const vec2d& max, SObjRcrdNums* nums) {
    vec2d lo = min, hi = max;
    if (!m_initialized || !Clamp(lo, hi)) return false;

    std::uint32_t n = 0;
    vec2d c = m_limits.min + m_half[0];
    for (unsigned level = 1; level < m_levels; ++level) {
        unsigned q;
        if (hi.x <= c.x)
            q = 0;
        else if (lo.x >= c.x)
            q = 1;
        else
            break;
        if (hi.y <= c.y) {
        } else if (lo.y >= c.y) {
            q += 2;
        } else {
            break;
        }
        std::uint32_t child = m_nodes[n].Child[q];
        if (!child) {
            child = NewNode(); // never moves m_nodes[n]
            m_nodes[n].Child[q] = child;
        }
        n = child;
        c = ChildCentre(c, q, m_half[level]);
    }

    const std::uint32_t o = NewObject(n, id);
    SNode& node = m_nodes[n];
    SObject& obj = m_objects[o];
    obj.Prev = kNone;
    obj.Next = node.First;
    if (node.First != kNone) m_objects[node.First].Prev = o;
    node.First = o;
    ++m_objectsCount;
    if (nums) *nums = {n, o};
    return true;
}

bool TKrQuadTreeBase::AddObject(std::uint64_t id, const limits2d& box, SObjRcrdNums* nums) {
    if (box.is_empty()) return false;
    return AddObject(id, box.min, box.max, nums);
}

bool TKrQuadTreeBase::DeleteObject(std::uint64_t id, const SObjRcrdNums& nums) {
    if (nums.Node >= m_nodes.size() || nums.Object >= m_objects.size()) return false;
    SObject& obj = m_objects[nums.Object];
    if (obj.Prev == kFreed || obj.Id != id) return false;
    SNode& node = m_nodes[nums.Node];
    if (obj.Prev == kNone) {
        if (node.First != nums.Object) return false;
        node.First = obj.Next;
    } else {
        m_objects[obj.Prev].Next = obj.Next;
    }
    if (obj.Next != kNone) m_objects[obj.Next].Prev = obj.Prev;
    obj.Prev = kFreed;
    obj.Next = m_freeObjects;
    m_freeObjects = nums.Object;
    --m_objectsCount;
    return true;
}

template <class Sink> void TKrQuadTreeBase::Collect(vec2d lo, vec2d hi, SNodePath& path, Sink& sink) const {
    if (!m_initialized || !Clamp(lo, hi)) return;
    auto emit = [&](std::uint32_t o) {
        for (; o != kNone; o = m_objects[o].Next)
            sink(m_objects[o].Id);
    };

    unsigned d = 0;
    path.Node[0] = 0;
    path.Centre[0] = m_limits.min + m_half[0];
    path.Quadrant[0] = 0;
    emit(m_nodes[0].First);
    for (;;) {
        const SNode& node = m_nodes[path.Node[d]];
        const vec2d c = path.Centre[d];
        // Which sides of the centre lines the query reaches (both when it touches them).
        const bool left = lo.x <= c.x, right = hi.x >= c.x, below = lo.y <= c.y, above = hi.y >= c.y;
        bool descended = false;
        while (path.Quadrant[d] < 4) {
            const unsigned q = path.Quadrant[d]++;
            const std::uint32_t child = node.Child[q];
            if (!child || !((q & 1) ? right : left) || !((q & 2) ? above : below)) continue;
            path.Centre[d + 1] = ChildCentre(c, q, m_half[d + 1]);
            ++d;
            path.Node[d] = child;
            path.Quadrant[d] = 0;
            emit(m_nodes[child].First);
            descended = true;
            break;
        }
        if (descended) continue;
        if (d == 0) break;
        --d;
    }
}

void TKrQuadTreeBase::GetRectImpl(const vec2d& a, const vec2d& b, std::vector<std::uint64_t>& ids,
                                  SNodePath& path) const {
    ids.clear();
    auto sink = [&ids](std::uint64_t id) { ids.push_back(id); };
    Collect(a, b, path, sink);
}

std::size_t TKrQuadTreeBase::GetRectImpl(const limits2d& rect, std::size_t& count,
                                         std::vector<std::uint64_t>& ids, SNodePath& path) const {
    count = 0;
    if (rect.is_empty()) return 0;
    auto sink = [&ids, &count](std::uint64_t id) {
        if (count == ids.size()) ids.resize(ids.size() < 64 ? 64 : 2 * ids.size());
        ids[count++] = id;
    };
    Collect(rect.min, rect.max, path, sink);
    return count;
}

} // namespace KrQuadTree
