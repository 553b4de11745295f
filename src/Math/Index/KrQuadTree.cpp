// kr::TQuadTree: placement on the cell hierarchy, removal with pruning, rectangle queries.
#include "Math/Index/KrQuadTree.h"

#include "Core/KrMessage.h"
#include "Math/Index/KrQuadWalk.h"

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
    m_quads.Clear(); // the blocks stay for refilling
    m_chunks.Clear();
    m_count = 0;
    m_frame = frame;
    m_limits = limits2d(Min, Max);
    m_levels = LevelsCount;
    m_rootNode = TNode{};
    m_root = &m_rootNode;
}

void TQuadTree::Deinit() noexcept {
    m_quads.Release();
    m_chunks.Release();
    m_rootNode = TNode{};
    m_count = 0;
    m_root = nullptr;
    m_frame = TCellFrame();
    m_limits = limits2d();
    m_levels = 0;
}

void TQuadTree::Clear() noexcept {
    if (!m_root) return;
    m_quads.Clear();
    m_chunks.Clear();
    m_count = 0;
    m_frame.bounds = m_limits;
    m_rootNode = TNode{};
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
        const unsigned c = ((x >> bit) & 1) | (((y >> bit) & 1) << 1);
        node = node->child[c] ? node->child[c] : QuadWalk::NewChild(m_quads, node, c);
    }
    return node;
}

void TQuadTree::AddItem(TObjectId id, const TCellBox& cells, TObjectHandle* handle, const char* signature) {
    if (!m_root) Fail(signature, "The tree is not initialised");
    const TObjectHandle h = HandleOf(cells);
    TNode* node = QueryNode(h);
    m_chunks.Push(node->items, id, cells);
    ++node->itemCount;
    ++m_count;
    if (handle) *handle = h;
}

void TQuadTree::AddObject(TObjectId id, const vec2d& point, TObjectHandle* handle) {
    if (!TCellFrame::IsFinite(point)) Fail(kAddPointSignature, "Invalid argument Point");
    const std::uint32_t x = m_frame.CellX(point.x), y = m_frame.CellY(point.y);
    AddItem(id, TCellBox{x, y, x, y}, handle, kAddPointSignature);
    m_frame.bounds.add(point);
}

void TQuadTree::AddObject(TObjectId id, const vec2d& min, const vec2d& max, TObjectHandle* handle) {
    if (!TCellFrame::IsFinite(min) || !TCellFrame::IsFinite(max))
        Fail(kAddRectSignature, "Invalid arguments Min, Max");
    const vec2d lo(std::min(min.x, max.x), std::min(min.y, max.y));
    const vec2d hi(std::max(min.x, max.x), std::max(min.y, max.y));
    AddItem(id, TCellBox{m_frame.CellX(lo.x), m_frame.CellY(lo.y), m_frame.CellX(hi.x), m_frame.CellY(hi.y)},
            handle, kAddRectSignature);
    m_frame.bounds.add(lo);
    m_frame.bounds.add(hi);
}

bool TQuadTree::Unlink(TObjectId id, TNode* node) noexcept {
    for (TItemChunk* c = node->items; c; c = c->next) {
        const TObjectId* ids = c->Ids();
        for (std::uint32_t i = 0; i < c->count; ++i) {
            if (ids[i] != id) continue;
            m_chunks.Remove(node->items, c, i);
            --node->itemCount;
            --m_count;
            Prune(node);
            return true;
        }
    }
    return false;
}

void TQuadTree::Prune(TNode* node) noexcept {
    while (node != m_root && !node->items && node->childCount == 0) {
        TNode* parent = node->parent;
        unsigned i = 0;
        while (parent->child[i] != node)
            ++i;
        parent->child[i] = nullptr;
        if (--parent->childCount == 0) m_quads.Delete(reinterpret_cast<TQuad*>(node - i));
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
    m_count -= node->itemCount;
    node->itemCount = 0;
    m_chunks.Free(node->items);
    if (node->childCount == 0) return;
    TNode* first = nullptr;
    for (unsigned i = 0; i < 4; ++i) {
        if (!node->child[i]) continue;
        first = node->child[i] - i;
        FreeBelow(node->child[i]);
        node->child[i] = nullptr;
    }
    m_quads.Delete(reinterpret_cast<TQuad*>(first));
    node->childCount = 0;
}

void TQuadTree::DeleteNode(TNode* node) noexcept {
    if (!node || !m_root) return;
    FreeBelow(node);
    Prune(node);
}

void TQuadTree::GetRectAll(const TNode* node, std::vector<TObjectId>& ids) const {
    if (node) QuadWalk::AppendAll(node, ids);
}

void TQuadTree::GetRect(const vec2d& min, const vec2d& max, std::vector<TObjectId>& ids) const {
    ids.clear();
    TCellBox q;
    if (!m_root || !m_frame.QueryCells(min, max, q)) return;
    QuadWalk::Collect(
        m_root, m_levels - 1, 0, 0, q,
        [&q](const TCellBox& b) { return (b.x0 <= q.x1) & (b.x1 >= q.x0) & (b.y0 <= q.y1) & (b.y1 >= q.y0); },
        ids);
}

} // namespace kr
