// Merge rules of the edge index records and the turning pseudo-angle.
#include "Math/Polygon/KrPolygonGraphTypes.h"

#include <algorithm>

namespace kr {

namespace {

using TBoolEdgeIndex = TPolygonGraphTypes::TBoolEdgeIndex;

std::uint8_t Flip(std::uint8_t dir) noexcept {
    return dir == TPolygonGraphTypes::kDirNone ? dir : static_cast<std::uint8_t>(dir ^ 1u);
}

// Adds `count` passes in `dir` to `r`: opposite passes cancel, the larger side keeps its way.
void AddPasses(TBoolEdgeIndex& r, std::uint8_t dir, std::uint32_t count) noexcept {
    if (count == 0) return;
    if (r.Count == 0) {
        r.Dir = dir;
        r.Count = count;
    } else if (r.Dir == dir) {
        r.Count += count;
    } else if (r.Count > count) {
        r.Count -= count;
    } else if (r.Count < count) {
        r.Count = count - r.Count;
        r.Dir = dir;
    } else {
        r.Count = 0;
        r.Dir = TPolygonGraphTypes::kDirNone;
    }
}

} // namespace

void TPolygonGraphTypes::TBoolEdgeIndexes::merge(std::uint8_t dir, unsigned operand) {
    if (operand < 2) AddPasses(Index[operand], dir, 1);
}

void TPolygonGraphTypes::TBoolEdgeIndexes::merge(const TBoolEdgeIndexes& other) {
    for (int i = 0; i < 2; ++i)
        AddPasses(Index[i], other.Index[i].Dir, other.Index[i].Count);
}

void TPolygonGraphTypes::TBoolEdgeIndexes::merge_inverse(const TBoolEdgeIndexes& other) {
    for (int i = 0; i < 2; ++i)
        AddPasses(Index[i], Flip(other.Index[i].Dir), other.Index[i].Count);
}

TPolygonGraphTypes::TBoolEdgeIndexes TPolygonGraphTypes::TBoolEdgeIndexes::inverse() const {
    TBoolEdgeIndexes r = *this;
    for (TBoolEdgeIndex& i : r.Index)
        i.Dir = Flip(i.Dir);
    return r;
}

std::uint32_t TPolygonGraphTypes::TBoolEdgeIndexes::count(std::uint64_t operand,
                                                          std::uint8_t* dir) const noexcept {
    if (operand >= 2 || Index[operand].Count == 0) {
        if (dir) *dir = kDirNone;
        return 0;
    }
    if (dir) *dir = Index[operand].Dir;
    return Index[operand].Count;
}

void TPolygonGraphTypes::TEdgeIndexes::merge(std::uint8_t dir, std::uint64_t index) {
    const std::uint8_t opposite = Flip(dir);
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (it->index == index && it->dir == opposite) {
            items.erase(it);
            return;
        }
    }
    items.push_back(TEdgeIndex{0, dir, index});
}

void TPolygonGraphTypes::TEdgeIndexes::merge(const TEdgeIndexes& other) {
    for (const TEdgeIndex& i : other.items)
        merge(i.dir, i.index);
}

void TPolygonGraphTypes::TEdgeIndexes::merge_inverse(const TEdgeIndexes& other) {
    for (const TEdgeIndex& i : other.items)
        merge(Flip(i.dir), i.index);
}

TPolygonGraphTypes::TEdgeIndexes TPolygonGraphTypes::TEdgeIndexes::inverse() const {
    TEdgeIndexes r = *this;
    for (TEdgeIndex& i : r.items)
        i.dir = Flip(i.dir);
    return r;
}

bool TPolygonGraphTypes::TEdgeIndexes::contains(std::uint64_t index, std::uint8_t* dir) const noexcept {
    for (const TEdgeIndex& i : items) {
        if (i.index == index) {
            if (dir) *dir = i.dir;
            return true;
        }
    }
    if (dir) *dir = kDirNone;
    return false;
}

std::uint32_t TPolygonGraphTypes::TEdgeIndexes::count(std::uint64_t index, std::uint8_t* dir) const noexcept {
    // Entries of one index never run both ways (merge cancels those), so they all share a way.
    std::uint32_t n = 0;
    std::uint8_t d = kDirNone;
    for (const TEdgeIndex& i : items) {
        if (i.index == index) {
            ++n;
            d = i.dir;
        }
    }
    if (dir) *dir = d;
    return n;
}

double GetSinexHON(const vec2d& a, const vec2d& b) noexcept {
    double s = std::clamp(a.x * b.y - a.y * b.x, -1.0, 1.0);
    if (a.x * b.x + a.y * b.y < 0) s = s > 0 ? 2 - s : -2 - s;
    return s;
}

} // namespace kr
