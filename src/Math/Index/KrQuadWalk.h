// The pointer quad trees' shared mechanics: child creation and the rectangle walk of kr::TQuadTree and
// kr::TPointsQuadTree.
#pragma once

#include "Math/Index/KrCellFrame.h"
#include "Math/Index/KrItemChunks.h"

#include <cstdint>
#include <vector>

namespace kr {
namespace QuadWalk {

/// Asks for the first lines of a node's ids (and with `cells` of their cells): a chunk of 16 or
/// 64 items spans several lines, and the hardware fetches ahead only from the second miss on.
template <class TChunk> inline void PrefetchItems(const TChunk* chunk, bool cells) noexcept {
    if (!chunk) return;
    const char* ids = reinterpret_cast<const char*>(chunk);
    const std::size_t idBytes = sizeof(*chunk) + std::size_t(chunk->count) * sizeof(std::uint64_t);
    for (std::size_t at = 64; at < idBytes && at < 512; at += 64)
        __builtin_prefetch(ids + at);
    if (!cells) return;
    const char* first = reinterpret_cast<const char*>(chunk->Cells());
    const std::size_t cellBytes = std::size_t(chunk->count) * sizeof(*chunk->Cells());
    for (std::size_t at = 0; at < cellBytes && at < 512; at += 64)
        __builtin_prefetch(first + at);
}

/// Makes child `c` of `node` (a node with parent, child[4] and childCount). The four children of
/// a node live in one block taken from `quads` when the first of them is made.
template <class TNode, class TQuads> TNode* NewChild(TQuads& quads, TNode* node, unsigned c) {
    TNode* first = nullptr;
    if (node->childCount == 0) {
        first = quads.New(typename TQuads::value_type{})->node;
    } else {
        for (unsigned i = 0; i < 4 && !first; ++i)
            if (node->child[i]) first = node->child[i] - i;
    }
    TNode* child = first + c;
    *child = TNode{};
    child->parent = node;
    node->child[c] = child;
    ++node->childCount;
    return child;
}

/// Appends the ids stored at and below `node` (a node with child[4], childCount and items).
template <class TNode, class TId> void AppendAll(const TNode* node, std::vector<TId>& ids) {
    for (const TNode* c : node->child) // fetched while this node's items are copied
        if (c) __builtin_prefetch(c);
    KrAppendAll(node->items, ids);
    for (const TNode* c : node->child)
        if (c && c->items) __builtin_prefetch(c->items);
    for (const TNode* c : node->child)
        if (c) PrefetchItems(c->items, false);
    for (const TNode* c : node->child)
        if (c) AppendAll(c, ids);
}

/// Appends the candidates for the query cells `q` from `node`, whose block is the cells
/// [x, x + 1) · 2^shift by [y, y + 1) · 2^shift: everything below a node lying wholly inside,
/// otherwise the node's items passing `hit` and the candidates of the children meeting `q`.
template <class TNode, class THit, class TId>
void Collect(const TNode* node, int shift, std::uint32_t x, std::uint32_t y, const TCellBox& q,
             const THit& hit, std::vector<TId>& ids) {
    const std::uint32_t span = (1u << shift) - 1;
    const std::uint32_t bx0 = x << shift, by0 = y << shift;
    if (q.Contains(bx0, by0, bx0 + span, by0 + span)) {
        AppendAll(node, ids);
        return;
    }
    // The children to visit are fetched from memory while this node's items are tested: a
    // query waits on cache misses far more than it computes.
    const TNode* visit[4];
    std::uint32_t visitX[4], visitY[4], n = 0;
    if (node->childCount != 0) {
        const int childShift = shift - 1;
        const std::uint32_t childSpan = (1u << childShift) - 1;
        for (std::uint32_t c = 0; c < 4; ++c) {
            const TNode* child = node->child[c];
            const std::uint32_t cx = 2 * x + (c & 1), cy = 2 * y + (c >> 1);
            const std::uint32_t cx0 = cx << childShift, cy0 = cy << childShift;
            if (!child || !q.Intersects(cx0, cy0, cx0 + childSpan, cy0 + childSpan)) continue;
            __builtin_prefetch(child);
            visit[n] = child, visitX[n] = cx, visitY[n] = cy, ++n;
        }
    }
    KrAppendHits(node->items, hit, ids);
    for (std::uint32_t i = 0; i < n; ++i)
        if (visit[i]->items) __builtin_prefetch(visit[i]->items);
    for (std::uint32_t i = 0; i < n; ++i)
        PrefetchItems(visit[i]->items, true);
    for (std::uint32_t i = 0; i < n; ++i)
        Collect(visit[i], shift - 1, visitX[i], visitY[i], q, hit, ids);
}

} // namespace QuadWalk
} // namespace kr
