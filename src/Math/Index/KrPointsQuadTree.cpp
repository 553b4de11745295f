// kr::TPointsQuadTree: bucket filling, pushing full leaves down, removal and rectangle queries.
#include "Math/Index/KrPointsQuadTree.h"

#include "Core/KrMessage.h"

#include <string>

namespace kr {

namespace {
const char kInitSignature[] = "@void kr::TPointsQuadTree::Init(const vec2d &, const vec2d &, int, uint32_t)";
const char kAddSignature[] = "@void kr::TPointsQuadTree::AddObject(TObjectId, const vec2d &)";

[[noreturn]] void Fail(const char* signature, const char* reason) {
    throw TKrMessage(std::string(signature) + ": " + reason);
}

/// The child of a node whose children split on `bit` of the cell indices.
inline unsigned ChildOf(std::uint32_t x, std::uint32_t y, int bit) noexcept {
    return ((x >> bit) & 1) | (((y >> bit) & 1) << 1);
}
} // namespace

void TPointsQuadTree::Init(const vec2d& Min, const vec2d& Max, int LevelsCount, std::uint32_t Capacity) {
    if (LevelsCount < 1 || LevelsCount > kMaxLevels) Fail(kInitSignature, "Invalid argument LevelsCount");
    const std::uint32_t n = 1u << (LevelsCount - 1);
    TCellFrame frame;
    if (!frame.Setup(Min, Max, n, n, false)) Fail(kInitSignature, "Invalid arguments Min, Max");
    Deinit();
    m_frame = frame;
    m_limits = limits2d(Min, Max);
    m_levels = LevelsCount;
    m_capacity = Capacity;
    m_root = NewNode(nullptr);
}

void TPointsQuadTree::Deinit() noexcept {
    m_nodes.Release();
    m_items.Release();
    m_root = nullptr;
    m_frame = TCellFrame();
    m_limits = limits2d();
    m_levels = 0;
    m_capacity = 0;
}

void TPointsQuadTree::Clear() noexcept {
    if (!m_root) return;
    m_nodes.Clear();
    m_items.Clear();
    m_frame.bounds = m_limits;
    m_root = m_nodes.New(TNode{}); // cannot throw: the first block is kept
}

TPointsQuadTree::TNode* TPointsQuadTree::NewNode(TNode* parent) {
    TNode* node = m_nodes.New(TNode{});
    node->parent = parent;
    return node;
}

void TPointsQuadTree::PushDown(TNode* node, int depth) {
    if (!node || node->childCount != 0 || depth < 0 || depth >= m_levels - 1) return;
    const int bit = m_levels - 2 - depth;
    // Make the children first, so that running out of memory leaves the leaf as it was.
    for (const TItem* item = node->items; item; item = item->next) {
        TNode*& child = node->child[ChildOf(item->x, item->y, bit)];
        if (!child) child = NewNode(node);
    }
    for (TItem* item = node->items; item;) {
        TItem* next = item->next;
        TNode* child = node->child[ChildOf(item->x, item->y, bit)];
        item->next = child->items;
        child->items = item;
        ++child->itemCount;
        item = next;
    }
    node->childCount = 0;
    for (const TNode* c : node->child)
        node->childCount += c != nullptr;
    node->items = nullptr;
    node->itemCount = 0;
}

void TPointsQuadTree::AddObject(TObjectId id, const vec2d& point) {
    if (!TCellFrame::IsFinite(point)) Fail(kAddSignature, "Invalid argument Point");
    if (!m_root) Fail(kAddSignature, "The tree is not initialised");
    const std::uint32_t x = m_frame.CellX(point.x), y = m_frame.CellY(point.y);
    TNode* node = m_root;
    for (int depth = 0; depth < m_levels - 1; ++depth) {
        if (node->childCount == 0) {
            if (node->itemCount < m_capacity) break;
            PushDown(node, depth);
        }
        TNode*& child = node->child[ChildOf(x, y, m_levels - 2 - depth)];
        if (!child) {
            child = NewNode(node);
            ++node->childCount;
        }
        node = child;
    }
    node->items = m_items.New(TItem{id, x, y, node->items});
    ++node->itemCount;
    m_frame.bounds.add(point);
}

bool TPointsQuadTree::DeleteObject(TObjectId id, const vec2d& point) noexcept {
    if (!m_root || !TCellFrame::IsFinite(point)) return false;
    const std::uint32_t x = m_frame.CellX(point.x), y = m_frame.CellY(point.y);
    TNode* node = m_root;
    for (int depth = 0; depth < m_levels - 1 && node->childCount != 0; ++depth) {
        node = node->child[ChildOf(x, y, m_levels - 2 - depth)];
        if (!node) return false;
    }
    for (TItem** link = &node->items; *link; link = &(*link)->next) {
        if ((*link)->id != id) continue;
        TItem* item = *link;
        *link = item->next;
        --node->itemCount;
        m_items.Delete(item);
        return true;
    }
    return false;
}

void TPointsQuadTree::GetRectAll(const TNode* node, std::vector<TObjectId>& ids) const {
    if (!node) return;
    for (const TItem* item = node->items; item; item = item->next)
        ids.push_back(item->id);
    for (const TNode* c : node->child)
        if (c) GetRectAll(c, ids);
}

void TPointsQuadTree::Collect(const TNode* node, int level, std::uint32_t x, std::uint32_t y, const TCellBox& q,
                              std::vector<TObjectId>& ids) const {
    const int shift = m_levels - 1 - level;
    const std::uint32_t span = (1u << shift) - 1;
    const std::uint32_t bx0 = x << shift, by0 = y << shift;
    if (q.Contains(bx0, by0, bx0 + span, by0 + span)) {
        GetRectAll(node, ids);
        return;
    }
    for (const TItem* item = node->items; item; item = item->next)
        if (item->x >= q.x0 && item->x <= q.x1 && item->y >= q.y0 && item->y <= q.y1) ids.push_back(item->id);
    if (node->childCount == 0) return;
    const int childShift = shift - 1;
    const std::uint32_t childSpan = (1u << childShift) - 1;
    for (std::uint32_t c = 0; c < 4; ++c) {
        const TNode* child = node->child[c];
        if (!child) continue;
        const std::uint32_t cx = 2 * x + (c & 1), cy = 2 * y + (c >> 1);
        const std::uint32_t cx0 = cx << childShift, cy0 = cy << childShift;
        if (q.Intersects(cx0, cy0, cx0 + childSpan, cy0 + childSpan)) Collect(child, level + 1, cx, cy, q, ids);
    }
}

void TPointsQuadTree::GetRect(const vec2d& min, const vec2d& max, std::vector<TObjectId>& ids) const {
    ids.clear();
    TCellBox q;
    if (!m_root || !m_frame.QueryCells(min, max, q)) return;
    Collect(m_root, 0, 0, 0, q, ids);
}

} // namespace kr
