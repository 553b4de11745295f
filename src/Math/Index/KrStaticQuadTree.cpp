// kr::TStaticQuadTree: the two counting passes, depth-first numbering, propagation and queries.
#include "Math/Index/KrStaticQuadTree.h"

#include "Core/KrMessage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

namespace kr {

namespace {
const char kInitSignature[] = "@void kr::TStaticQuadTree::Init(const limits2d &, int)";

[[noreturn]] void Fail(const char* signature, const char* reason) {
    throw TKrMessage(std::string(signature) + ": " + reason);
}
} // namespace

void TStaticQuadTree::Init(const limits2d& limits, int levels) {
    if (levels < 1 || levels > kMaxLevels) Fail(kInitSignature, "Invalid argument LevelsCount");
    const std::uint32_t n = 1u << (levels - 1);
    TCellFrame frame;
    if (limits.empty || !frame.Setup(limits.min, limits.max, n, n, true))
        Fail(kInitSignature, "Invalid arguments Min, Max");
    m_quads.Clear();
    m_layout.clear();
    m_flat.clear();
    m_flatOn = false;
    m_root = TNode{};
    m_frame = frame;
    m_limits = limits;
    m_levels = levels;
    m_ids.clear();
    m_counted = 0;
    m_phase = EPhase::Counting;
    m_propagated = false;
}

void TStaticQuadTree::Deinit() noexcept {
    m_quads.Release();
    std::vector<TQuad>().swap(m_layout);
    std::vector<std::uint64_t>().swap(m_flat);
    m_flatOn = false;
    m_root = TNode{};
    m_frame = TCellFrame();
    m_limits = limits2d();
    m_levels = 0;
    std::vector<TObjectId>().swap(m_ids);
    m_counted = 0;
    m_phase = EPhase::None;
    m_propagated = false;
}

TStaticQuadTree::TNode* TStaticQuadTree::Descend(int level, std::uint32_t x, std::uint32_t y, bool make) {
    TNode* node = &m_root;
    for (int bit = level - 1; bit >= 0; --bit) {
        if (!node->children) {
            if (!make) return nullptr;
            node->children = m_quads.New(TQuad{})->node;
        }
        node = &node->children[((x >> bit) & 1) | (((y >> bit) & 1) << 1)];
    }
    return node;
}

void TStaticQuadTree::Count(TNode* node) {
    ++node->count;
    ++m_counted;
}

void TStaticQuadTree::InitPoint(const vec2d& point) {
    const char* const signature = "@void kr::TStaticQuadTree::InitPoint(const vec2d &)";
    if (!TCellFrame::IsFinite(point)) Fail(signature, "Invalid argument point");
    if (m_phase != EPhase::Counting || m_counted == UINT32_MAX)
        Fail(signature, "not counting, or too many points");
    const std::uint32_t x = m_frame.CellX(point.x), y = m_frame.CellY(point.y);
    if (m_flatOn) {
        ++m_flat[FlatIndex(x, y)];
        ++m_counted;
    } else {
        Count(Descend(m_levels - 1, x, y, true));
        // Enough points to be worth a table of every finest cell: count the rest there.
        const std::uint64_t cells = std::uint64_t(1) << (2 * (m_levels - 1));
        if (m_levels <= kFlatMaxLevels && m_counted >= std::max<std::uint64_t>(cells >> 4, 1)) {
            m_flat.assign(cells, 0);
            m_flatOn = true;
        }
    }
    m_frame.bounds.add(point);
}

TStaticQuadTree::TNode* TStaticQuadTree::InitNode(int level, std::uint32_t x, std::uint32_t y) {
    const char* const signature = "@TNode *kr::TStaticQuadTree::InitNode(int, uint32_t, uint32_t)";
    if (m_phase != EPhase::Counting || m_counted == UINT32_MAX)
        Fail(signature, "not counting, or too many points");
    if (level < 0 || level >= m_levels || (x >> level) != 0 || (y >> level) != 0)
        Fail(signature, "Invalid arguments level, x, y");
    TNode* node = Descend(level, x, y, true);
    Count(node);
    // What is counted here may lie anywhere beyond the limits on the sides the node touches.
    const std::uint32_t last = (1u << level) - 1;
    const double inf = std::numeric_limits<double>::infinity();
    limits2d& b = m_frame.bounds;
    if (x == 0) b.min.x = -inf;
    if (x == last) b.max.x = inf;
    if (y == 0) b.min.y = -inf;
    if (y == last) b.max.y = inf;
    return node;
}

void TStaticQuadTree::Number(TNode* node, std::uint32_t& offset, std::size_t& quads) noexcept {
    node->start = offset;
    offset += node->count;
    if (!node->children) return;
    // Move the children to the next place of the depth-first layout, so that every subtree's
    // nodes lie together: a query reads the nodes of its region from adjacent memory.
    TQuad& moved = m_layout[quads++];
    std::copy(node->children, node->children + 4, moved.node);
    node->children = moved.node;
    for (int c = 0; c < 4; ++c)
        Number(&node->children[c], offset, quads);
}

void TStaticQuadTree::AddPointBegin() {
    if (m_phase != EPhase::Counting) Fail("@void kr::TStaticQuadTree::AddPointBegin()", "not counting");
    std::uint32_t offset = 0;
    std::size_t quads = 0;
    if (m_flatOn) {
        // Merge the table with the nodes counted on the tree into one new depth-first layout.
        std::uint64_t total = 0;
        const TNode counted = m_root;
        m_layout.resize(CountQuads(&counted, 0, 0, 0, total) + m_levels);
        Place(&counted, &m_root, 0, 0, 0, offset, quads);
    } else {
        m_layout.resize(m_quads.Size());
        Number(&m_root, offset, quads);
    }
    m_quads.Clear();
    m_ids.resize(offset);
    m_phase = EPhase::Filling;
}

void TStaticQuadTree::Store(TNode* node, TObjectId id) {
    if (m_phase != EPhase::Filling || !node || node->count == 0)
        Fail("@void kr::TStaticQuadTree::AddPoint(const vec2d &, TObjectId)",
             "more points than counted at this node, or not filling");
    m_ids[node->start++] = id;
    --node->count;
}

void TStaticQuadTree::StoreFlat(std::uint32_t x, std::uint32_t y, TObjectId id) {
    std::uint64_t& slots = m_flat[FlatIndex(x, y)];
    if (m_phase != EPhase::Filling || (slots >> 32) == 0)
        Fail("@void kr::TStaticQuadTree::AddPoint(const vec2d &, TObjectId)",
             "more points than counted at this node, or not filling");
    m_ids[static_cast<std::uint32_t>(slots)] = id;
    slots += 1 - (std::uint64_t(1) << 32);
}

void TStaticQuadTree::AddPoint(const vec2d& point, TObjectId id) {
    const std::uint32_t x = m_frame.CellX(point.x), y = m_frame.CellY(point.y);
    if (m_flatOn)
        StoreFlat(x, y, id);
    else
        Store(Descend(m_levels - 1, x, y, false), id);
}

void TStaticQuadTree::AddNode(int level, std::uint32_t x, std::uint32_t y, TObjectId id) {
    const bool inside = level >= 0 && level < m_levels && (x >> level) == 0 && (y >> level) == 0;
    if (inside && m_flatOn && level == m_levels - 1)
        StoreFlat(x, y, id);
    else
        Store(inside ? Descend(level, x, y, false) : nullptr, id);
}

std::size_t TStaticQuadTree::CountQuads(const TNode* from, int level, std::uint32_t x, std::uint32_t y,
                                        std::uint64_t& total) const noexcept {
    total = from ? from->count : 0;
    if (level == m_levels - 1) {
        total += m_flat[FlatIndex(x, y)];
        return 0;
    }
    std::size_t quads = 0;
    for (std::uint32_t c = 0; c < 4; ++c) {
        std::uint64_t below = 0;
        const TNode* child = from && from->children ? &from->children[c] : nullptr;
        quads += CountQuads(child, level + 1, 2 * x + (c & 1), 2 * y + (c >> 1), below);
        total += below;
    }
    // The children's block is made when anything lies below this node.
    return quads + (total > (from ? from->count : 0) ? 1 : 0);
}

std::uint64_t TStaticQuadTree::Place(const TNode* from, TNode* to, int level, std::uint32_t x,
                                     std::uint32_t y, std::uint32_t& offset, std::size_t& quads) noexcept {
    std::uint64_t own = from ? from->count : 0;
    const bool finest = level == m_levels - 1;
    const std::size_t cell = finest ? FlatIndex(x, y) : 0;
    if (finest) own += m_flat[cell];
    const TNode* fromChildren = from ? from->children : nullptr;
    *to = TNode{nullptr, offset, static_cast<std::uint32_t>(own)};
    offset += static_cast<std::uint32_t>(own);
    if (finest) {
        m_flat[cell] = (own << 32) | to->start;
        return own;
    }
    // Children take the next block of the layout, given back when nothing lies below; the
    // blocks of empty grandchildren were given back before, so it is still the last one.
    const std::size_t mark = quads;
    TNode* children = m_layout[quads++].node;
    std::uint64_t below = 0;
    for (std::uint32_t c = 0; c < 4; ++c)
        below += Place(fromChildren ? &fromChildren[c] : nullptr, &children[c], level + 1, 2 * x + (c & 1),
                       2 * y + (c >> 1), offset, quads);
    if (below)
        to->children = children;
    else
        quads = mark;
    return own + below;
}

void TStaticQuadTree::CloseUp(TNode* node, int level, std::uint32_t x, std::uint32_t y, std::uint32_t& begin,
                              std::uint32_t& to, bool propagate) noexcept {
    if (m_flatOn && level == m_levels - 1) {
        const std::uint64_t slots = m_flat[FlatIndex(x, y)];
        node->start = static_cast<std::uint32_t>(slots);
        node->count = static_cast<std::uint32_t>(slots >> 32);
    }
    // While filling, start is the next free slot and count the slots left: a node's run ends at
    // start + count, where the next node in depth-first order begins.
    const std::uint32_t filled = node->start - begin, end = node->start + node->count;
    if (to != begin && filled) std::memmove(&m_ids[to], &m_ids[begin], filled * sizeof(TObjectId));
    node->start = to;
    node->count = filled;
    to += filled;
    begin = end;
    if (!node->children) return;
    for (std::uint32_t c = 0; c < 4; ++c) {
        CloseUp(&node->children[c], level + 1, 2 * x + (c & 1), 2 * y + (c >> 1), begin, to, propagate);
        if (propagate) node->count += node->children[c].count;
    }
}

void TStaticQuadTree::AddPointEnd(bool propagate) {
    if (m_phase != EPhase::Filling) Fail("@void kr::TStaticQuadTree::AddPointEnd(bool)", "not filling");
    std::uint32_t begin = 0, to = 0;
    CloseUp(&m_root, 0, 0, 0, begin, to, propagate);
    m_ids.resize(to);
    m_propagated = propagate;
    m_phase = EPhase::Ready;
}

bool TStaticQuadTree::GetNodeRect(const TNodeIndex& index, limits2d* rect) const noexcept {
    const int level = index.level;
    if (level < 0 || level >= m_levels || (index.x >> level) != 0 || (index.y >> level) != 0) {
        if (rect) rect->clear();
        return false;
    }
    if (rect) {
        const double parts = static_cast<double>(1u << level);
        const vec2d step((m_limits.max.x - m_limits.min.x) / parts,
                         (m_limits.max.y - m_limits.min.y) / parts);
        const vec2d lo(m_limits.min.x + index.x * step.x, m_limits.min.y + index.y * step.y);
        *rect = limits2d(lo, lo + step);
    }
    return true;
}

const TStaticQuadTree::TNode* TStaticQuadTree::GetNode(const TNodeIndex& index) const noexcept {
    const int level = index.level;
    if (level < 0 || level >= m_levels || (index.x >> level) != 0 || (index.y >> level) != 0) return nullptr;
    return const_cast<TStaticQuadTree*>(this)->Descend(level, index.x, index.y, false);
}

void TStaticQuadTree::CollectAll(const TNode* node, std::vector<TObjectId>& ids) const {
    const TObjectId* all = m_ids.data();
    ids.insert(ids.end(), all + node->start, all + node->start + node->count);
    if (node->children)
        for (int c = 0; c < 4; ++c)
            CollectAll(&node->children[c], ids);
}

void TStaticQuadTree::Collect(const TNode* node, int level, std::uint32_t x, std::uint32_t y,
                              const TCellBox& q, std::vector<TObjectId>& ids) const {
    const int shift = m_levels - 1 - level;
    const std::uint32_t span = (1u << shift) - 1;
    const std::uint32_t bx0 = x << shift, by0 = y << shift;
    const TObjectId* all = m_ids.data();
    if (q.Contains(bx0, by0, bx0 + span, by0 + span)) {
        if (m_propagated)
            ids.insert(ids.end(), all + node->start, all + node->start + node->count);
        else
            CollectAll(node, ids);
        return;
    }
    if (!node->children) {
        ids.insert(ids.end(), all + node->start, all + node->start + node->count);
        return;
    }
    const TNode* children = node->children;
    __builtin_prefetch(children); // one line: the four children
    std::uint32_t own = node->count;
    if (m_propagated) own -= children[0].count + children[1].count + children[2].count + children[3].count;
    ids.insert(ids.end(), all + node->start, all + node->start + own);
    const int childShift = shift - 1;
    const std::uint32_t childSpan = (1u << childShift) - 1;
    for (std::uint32_t c = 0; c < 4; ++c) {
        if (children[c].count == 0 && !children[c].children) continue;
        const std::uint32_t cx = 2 * x + (c & 1), cy = 2 * y + (c >> 1);
        const std::uint32_t cx0 = cx << childShift, cy0 = cy << childShift;
        if (q.Intersects(cx0, cy0, cx0 + childSpan, cy0 + childSpan))
            Collect(&children[c], level + 1, cx, cy, q, ids);
    }
}

void TStaticQuadTree::GetRect(const limits2d& rect, std::vector<TObjectId>& ids) const {
    ids.clear();
    TCellBox q;
    if (m_phase != EPhase::Ready || rect.empty || !m_frame.QueryCells(rect.min, rect.max, q)) return;
    Collect(&m_root, 0, 0, 0, q, ids);
}

} // namespace kr
