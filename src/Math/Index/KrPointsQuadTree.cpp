// kr::TPointsQuadTree: bucket filling, pushing full leaves down, removal and rectangle queries.
#include "Math/Index/KrPointsQuadTree.h"

#include "Core/KrMessage.h"
#include "Math/Index/KrQuadWalk.h"

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
    m_quads.Clear(); // the blocks stay for refilling
    m_chunks.Clear();
    m_count = 0;
    m_frame = frame;
    m_limits = limits2d(Min, Max);
    m_levels = LevelsCount;
    m_capacity = Capacity;
    m_rootNode = TNode{};
    m_root = &m_rootNode;
}

void TPointsQuadTree::Deinit() noexcept {
    m_quads.Release();
    m_chunks.Release();
    m_rootNode = TNode{};
    m_count = 0;
    m_root = nullptr;
    m_frame = TCellFrame();
    m_limits = limits2d();
    m_levels = 0;
    m_capacity = 0;
}

void TPointsQuadTree::Clear() noexcept {
    if (!m_root) return;
    m_quads.Clear();
    m_chunks.Clear();
    m_count = 0;
    m_frame.bounds = m_limits;
    m_rootNode = TNode{};
}

void TPointsQuadTree::PushDown(TNode* node, int depth) {
    if (!node || node->childCount != 0 || depth < 0 || depth >= m_levels - 1) return;
    const int bit = m_levels - 2 - depth;
    for (const TItemChunk* c = node->items; c; c = c->next)
        for (std::uint32_t i = 0; i < c->count; ++i) {
            const TCell cell = c->Cells()[i];
            const unsigned k = ChildOf(cell.x, cell.y, bit);
            TNode* child = node->child[k] ? node->child[k] : QuadWalk::NewChild(m_quads, node, k);
            m_chunks.Push(child->items, c->Ids()[i], cell);
            ++child->itemCount;
        }
    m_chunks.Free(node->items);
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
        const unsigned c = ChildOf(x, y, m_levels - 2 - depth);
        node = node->child[c] ? node->child[c] : QuadWalk::NewChild(m_quads, node, c);
    }
    m_chunks.Push(node->items, id, TCell{x, y});
    ++node->itemCount;
    ++m_count;
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
    for (TItemChunk* c = node->items; c; c = c->next) {
        const TObjectId* ids = c->Ids();
        for (std::uint32_t i = 0; i < c->count; ++i) {
            if (ids[i] != id) continue;
            m_chunks.Remove(node->items, c, i);
            --node->itemCount;
            --m_count;
            return true;
        }
    }
    return false;
}

void TPointsQuadTree::GetRectAll(const TNode* node, std::vector<TObjectId>& ids) const {
    if (node) QuadWalk::AppendAll(node, ids);
}

void TPointsQuadTree::GetRect(const vec2d& min, const vec2d& max, std::vector<TObjectId>& ids) const {
    ids.clear();
    TCellBox q;
    if (!m_root || !m_frame.QueryCells(min, max, q)) return;
    QuadWalk::Collect(
        m_root, m_levels - 1, 0, 0, q,
        [&q](const TCell& c) { return (c.x >= q.x0) & (c.x <= q.x1) & (c.y >= q.y0) & (c.y <= q.y1); }, ids);
}

} // namespace kr
