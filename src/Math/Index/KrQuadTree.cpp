// kr::TQuadTree: placement on the cell hierarchy, removal with pruning, rectangle queries.
#include "Math/Index/KrQuadTree.h"

#include "Core/KrMessage.h"

#include <algorithm>
#include <string>

namespace kr {

namespace {
const char kInitSignature[] = "@void kr::TQuadTree::Init(const vec2d &, const vec2d &, int)";
const char kAddPointSignature[] = "@void kr::TQuadTree::AddObject(TObjectId, const vec2d &, TObjectHandle *)";
const char kAddRectSignature[] =
    "@void kr::TQuadTree::AddObject(TObjectId, const vec2d &, const vec2d &, TObjectHandle *)";

[[noreturn]] void Fail(const char* signature, const char* reason) {
    throw TKrMessage(std::string(signature) + ": " + reason);
}

/// Bit length of v (0 for 0).
int BitLength(std::uint32_t v) noexcept {
    return v ? 32 - __builtin_clz(v) : 0;
}
} // namespace

void TQuadTree::Init(const vec2d& Min, const vec2d& Max, int LevelsCount) {
    if (LevelsCount < 1 || LevelsCount > kMaxLevels) Fail(kInitSignature, "Invalid argument LevelsCount");
    const std::uint32_t n = 1u << (LevelsCount - 1);
    TCellFrame frame;
    if (!frame.Setup(Min, Max, n, n, false)) Fail(kInitSignature, "Invalid arguments Min, Max");
    Deinit();
    m_frame = frame;
    m_limits = limits2d(Min, Max);
    m_levels = LevelsCount;
    m_root = NewNode(nullptr);
}

void TQuadTree::Deinit() noexcept {
    m_nodes.Release();
    m_items.Release();
    m_root = nullptr;
    m_frame = TCellFrame();
    m_limits = limits2d();
    m_levels = 0;
}

void TQuadTree::Clear() noexcept {
    if (!m_root) return;
    m_nodes.Clear();
    m_items.Clear();
    m_frame.bounds = m_limits;
    m_root = m_nodes.New(TNode{}); // cannot throw: the first block is kept
}

TQuadTree::TNode* TQuadTree::NewNode(TNode* parent) {
    TNode* node = m_nodes.New(TNode{});
    node->parent = parent;
    return node;
}

TQuadTree::TObjectHandle TQuadTree::HandleOf(const TCellBox& c) const noexcept {
    const int shift = std::max(BitLength(c.x0 ^ c.x1), BitLength(c.y0 ^ c.y1));
    return MakeHandle(m_levels - 1 - shift, c.x0 >> shift, c.y0 >> shift);
}

bool TQuadTree::GetNodeIndex(const vec2d& point, TObjectHandle* index) const noexcept {
    return GetNodeIndex(point, point, index);
}

bool TQuadTree::GetNodeIndex(const vec2d& min, const vec2d& max, TObjectHandle* index) const noexcept {
    if (!m_root || !TCellFrame::IsFinite(min) || !TCellFrame::IsFinite(max)) return false;
    const TCellBox c{m_frame.CellX(std::min(min.x, max.x)), m_frame.CellY(std::min(min.y, max.y)),
                     m_frame.CellX(std::max(min.x, max.x)), m_frame.CellY(std::max(min.y, max.y))};
    if (index) *index = HandleOf(c);
    return true;
}

TQuadTree::TNode* TQuadTree::GetNode(TObjectHandle index) const noexcept {
    const int level = HandleLevel(index);
    const std::uint32_t x = HandleX(index), y = HandleY(index);
    if (!m_root || level >= m_levels || (x >> level) != 0 || (y >> level) != 0) return nullptr;
    TNode* node = m_root;
    for (int bit = level - 1; bit >= 0 && node; --bit)
        node = node->child[((x >> bit) & 1) | (((y >> bit) & 1) << 1)];
    return node;
}

TQuadTree::TNode* TQuadTree::QueryNode(TObjectHandle index) {
    const int level = HandleLevel(index);
    const std::uint32_t x = HandleX(index), y = HandleY(index);
    if (!m_root || level >= m_levels || (x >> level) != 0 || (y >> level) != 0) return nullptr;
    TNode* node = m_root;
    for (int bit = level - 1; bit >= 0; --bit) {
        TNode*& child = node->child[((x >> bit) & 1) | (((y >> bit) & 1) << 1)];
        if (!child) {
            child = NewNode(node);
            ++node->childCount;
        }
        node = child;
    }
    return node;
}

void TQuadTree::AddItem(TObjectId id, const TCellBox& cells, TObjectHandle* handle, const char* signature) {
    if (!m_root) Fail(signature, "The tree is not initialised");
    const TObjectHandle h = HandleOf(cells);
    TNode* node = QueryNode(h);
    TItem* item = m_items.New(TItem{id, node->items, cells.x0, cells.y0, cells.x1, cells.y1});
    node->items = item;
    if (handle) *handle = h;
}

void TQuadTree::AddObject(TObjectId id, const vec2d& point, TObjectHandle* handle) {
    if (!TCellFrame::IsFinite(point)) Fail(kAddPointSignature, "Invalid argument Point");
    const std::uint32_t x = m_frame.CellX(point.x), y = m_frame.CellY(point.y);
    AddItem(id, TCellBox{x, y, x, y}, handle, kAddPointSignature);
    m_frame.bounds.add(point);
}

void TQuadTree::AddObject(TObjectId id, const vec2d& min, const vec2d& max, TObjectHandle* handle) {
    if (!TCellFrame::IsFinite(min) || !TCellFrame::IsFinite(max)) Fail(kAddRectSignature, "Invalid arguments Min, Max");
    const vec2d lo(std::min(min.x, max.x), std::min(min.y, max.y));
    const vec2d hi(std::max(min.x, max.x), std::max(min.y, max.y));
    AddItem(id, TCellBox{m_frame.CellX(lo.x), m_frame.CellY(lo.y), m_frame.CellX(hi.x), m_frame.CellY(hi.y)},
            handle, kAddRectSignature);
    m_frame.bounds.add(lo);
    m_frame.bounds.add(hi);
}

bool TQuadTree::Unlink(TObjectId id, TNode* node) noexcept {
    for (TItem** link = &node->items; *link; link = &(*link)->next) {
        if ((*link)->id != id) continue;
        TItem* item = *link;
        *link = item->next;
        m_items.Delete(item);
        Prune(node);
        return true;
    }
    return false;
}

void TQuadTree::Prune(TNode* node) noexcept {
    while (node != m_root && !node->items && node->childCount == 0) {
        TNode* parent = node->parent;
        for (TNode*& c : parent->child)
            if (c == node) c = nullptr;
        --parent->childCount;
        m_nodes.Delete(node);
        node = parent;
    }
}

bool TQuadTree::DeleteObject(TObjectId id, TObjectHandle handle) {
    TNode* node = GetNode(handle);
    return node && Unlink(id, node);
}

bool TQuadTree::DeleteObject(TObjectId id, const vec2d& point) {
    TObjectHandle h;
    return GetNodeIndex(point, &h) && DeleteObject(id, h);
}

bool TQuadTree::DeleteObject(TObjectId id, const vec2d& min, const vec2d& max) {
    TObjectHandle h;
    return GetNodeIndex(min, max, &h) && DeleteObject(id, h);
}

bool TQuadTree::DeleteObject(TObjectId id, TNode* node) {
    return node && Unlink(id, node);
}

void TQuadTree::FreeBelow(TNode* node) noexcept {
    for (TItem* item = node->items; item;) {
        TItem* next = item->next;
        m_items.Delete(item);
        item = next;
    }
    node->items = nullptr;
    for (TNode*& c : node->child) {
        if (!c) continue;
        FreeBelow(c);
        m_nodes.Delete(c);
        c = nullptr;
    }
    node->childCount = 0;
}

void TQuadTree::DeleteNode(TNode* node) noexcept {
    if (!node || !m_root) return;
    FreeBelow(node);
    Prune(node);
}

void TQuadTree::GetRectAll(const TNode* node, std::vector<TObjectId>& ids) const {
    if (!node) return;
    for (const TItem* item = node->items; item; item = item->next)
        ids.push_back(item->id);
    for (const TNode* c : node->child)
        if (c) GetRectAll(c, ids);
}

void TQuadTree::Collect(const TNode* node, int level, std::uint32_t x, std::uint32_t y, const TCellBox& q,
                        std::vector<TObjectId>& ids) const {
    const int shift = m_levels - 1 - level;
    const std::uint32_t bx0 = x << shift, by0 = y << shift;
    const std::uint32_t bx1 = bx0 + ((1u << shift) - 1), by1 = by0 + ((1u << shift) - 1);
    if (q.Contains(bx0, by0, bx1, by1)) {
        GetRectAll(node, ids);
        return;
    }
    for (const TItem* item = node->items; item; item = item->next)
        if (q.Intersects(item->x0, item->y0, item->x1, item->y1)) ids.push_back(item->id);
    if (node->childCount == 0) return;
    const int childShift = shift - 1;
    for (std::uint32_t c = 0; c < 4; ++c) {
        const TNode* child = node->child[c];
        if (!child) continue;
        const std::uint32_t cx = 2 * x + (c & 1), cy = 2 * y + (c >> 1);
        const std::uint32_t cx0 = cx << childShift, cy0 = cy << childShift;
        const std::uint32_t span = (1u << childShift) - 1;
        if (q.Intersects(cx0, cy0, cx0 + span, cy0 + span)) Collect(child, level + 1, cx, cy, q, ids);
    }
}

void TQuadTree::GetRect(const vec2d& min, const vec2d& max, std::vector<TObjectId>& ids) const {
    ids.clear();
    TCellBox q;
    if (!m_root || !m_frame.QueryCells(min, max, q)) return;
    Collect(m_root, 0, 0, 0, q, ids);
}

} // namespace kr
