// Union of many regions: noding, resolving, winding numbers of the faces, extraction.
#include "Math/Polygon/KrBoolPolygonGraphW2.h"

#include "Core/KrMessage.h"
#include "Core/KrProgressHandler.h"

#include <algorithm>
#include <cmath>

namespace kr {

namespace {

using TTypes = TPolygonGraphTypes;

// A monotonic stand-in for the angle of a direction, counter-clockwise from +x, in [0, 4).
double PseudoAngle(const vec2d& d) {
    const double s = std::abs(d.x) + std::abs(d.y);
    if (s == 0) return 0;
    const double p = d.y / s;
    if (d.x < 0) return 2 - p;
    return d.y < 0 ? 4 + p : p;
}

// Operand 0's signed passes along an edge from its first node to its second.
long SignedCount(const TBoolPolygonGraphW2::TEdge& e) {
    std::uint8_t dir;
    const long c = static_cast<long>(e.Data.Indexes.count(0, &dir));
    return dir == TTypes::kDirBackward ? -c : c;
}

// Interleaves the bits of two 16-bit cell numbers: nearby cells get nearby codes.
std::uint64_t Morton(std::uint32_t x, std::uint32_t y) {
    std::uint64_t m = 0;
    for (int b = 0; b < 16; ++b)
        m |= ((std::uint64_t(x) >> b & 1) << (2 * b)) | ((std::uint64_t(y) >> b & 1) << (2 * b + 1));
    return m;
}

// Sets united in one graph at the bottom of the cascade, and results united at each level above.
constexpr std::size_t kGroup = 8;

} // namespace

long TBoolPolygonGraphW2::RayWinding(const TEdge* e) const {
    const vec2d m = (e->Node[0]->Data.Pos + e->Node[1]->Data.Pos) / 2.0;
    const vec2d right(e->Data.Dir.y, -e->Data.Dir.x);
    // Of the axis directions pointing to the edge's right, the one with the shortest way out of
    // the limits keeps the query strip short. The ray never runs along the edge itself.
    static const vec2d kAxes[4] = {vec2d(1, 0), vec2d(-1, 0), vec2d(0, 1), vec2d(0, -1)};
    const vec2d lo = m_edgeTree.Limits().min;
    const vec2d hi = m_edgeTree.Limits().max;
    const double way[4] = {hi.x - m.x, m.x - lo.x, hi.y - m.y, m.y - lo.y};
    int axis = -1;
    for (int i = 0; i < 4; ++i)
        if (dot(kAxes[i], right) > 1e-12 && (axis < 0 || way[i] < way[axis])) axis = i;
    if (axis < 0) axis = 0; // a zero-length edge: any ray will do
    // Rotate so that the ray is the +x axis from the midpoint; rotations keep the winding sign.
    auto rot = [axis, &m](const vec2d& p) {
        const vec2d d = p - m;
        switch (axis) {
        case 0:
            return d;
        case 1:
            return vec2d(-d.x, -d.y);
        case 2:
            return vec2d(d.y, -d.x);
        default:
            return vec2d(-d.y, d.x);
        }
    };
    vec2d qmin = m, qmax = m;
    switch (axis) {
    case 0:
        qmax.x = hi.x;
        break;
    case 1:
        qmin.x = lo.x;
        break;
    case 2:
        qmax.y = hi.y;
        break;
    default:
        qmin.y = lo.y;
        break;
    }
    std::vector<std::uint64_t> ids;
    m_edgeTree.GetRect(qmin, qmax, ids);
    long w = 0;
    for (std::uint64_t id : ids) {
        const TEdge& f = m_graph.Edge(id);
        if (&f == e || !f.alive()) continue;
        const long c = SignedCount(f);
        if (c == 0) continue;
        const vec2d a = rot(f.Node[0]->Data.Pos);
        const vec2d b = rot(f.Node[1]->Data.Pos);
        // Half-open in y: a vertex on the ray counts for exactly one of its two edges.
        if ((a.y <= 0) == (b.y <= 0)) continue;
        const double x = a.x + (0 - a.y) * (b.x - a.x) / (b.y - a.y);
        if (x <= 0) continue;
        w += b.y > a.y ? c : -c;
    }
    return w;
}

void TBoolPolygonGraphW2::MarkUnionBoundary() {
    auto& edges = m_graph.Edges();
    const std::size_t E = edges.size();
    // Half-edge h = 2·id + back runs from Node[back] to Node[1 − back]; its face lies on its left.
    std::vector<std::uint32_t> slot(2 * E, 0); // place of h among its origin's sorted edges
    for (TNode& n : m_graph.Nodes()) {
        if (!n.alive()) continue;
        auto angle = [&n](const TEdge* e) {
            return PseudoAngle(e->Node[0] == &n ? e->Data.Dir : -e->Data.Dir);
        };
        std::sort(n.Edges.begin(), n.Edges.end(),
                  [&](const TEdge* a, const TEdge* b) { return angle(a) < angle(b); });
        for (std::size_t i = 0; i < n.Edges.size(); ++i) {
            const TEdge* e = n.Edges[i];
            slot[2 * e->Id + (e->Node[0] == &n ? 0 : 1)] = static_cast<std::uint32_t>(i);
        }
    }
    auto origin = [&](std::size_t h) { return edges[h / 2].Node[h & 1]; };
    auto halfOf = [](const TEdge* e, const TNode* from) { return 2 * e->Id + (e->Node[0] == from ? 0 : 1); };
    // The face to the left of u→v continues with the edge leaving v next clockwise from v→u.
    auto next = [&](std::size_t h) {
        const std::size_t twin = h ^ 1;
        const TNode* v = origin(twin);
        const std::size_t deg = v->Edges.size();
        const std::size_t k = slot[twin];
        return halfOf(v->Edges[(k + deg - 1) % deg], v);
    };

    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<std::size_t> face(2 * E, kNone);
    std::vector<std::size_t> faceStart; // CSR of the half-edges of each face
    std::vector<std::size_t> faceHalves;
    for (std::size_t h0 = 0; h0 < 2 * E; ++h0) {
        if (face[h0] != kNone || !edges[h0 / 2].alive()) continue;
        const std::size_t f = faceStart.size();
        faceStart.push_back(faceHalves.size());
        std::size_t h = h0;
        do {
            if (face[h] != kNone) throw TKrMessage("@Looping Detected");
            face[h] = f;
            faceHalves.push_back(h);
            h = next(h);
        } while (h != h0);
    }
    const std::size_t F = faceStart.size();
    faceStart.push_back(faceHalves.size());

    // Winding numbers: one ray per connected component, then across edges, where the left face
    // exceeds the right one by the edge's signed passes.
    std::vector<long> wind(F, 0);
    std::vector<char> known(F, 0);
    std::vector<std::size_t> queue;
    for (std::size_t f0 = 0; f0 < F; ++f0) {
        if (known[f0]) continue;
        const std::size_t h = faceHalves[faceStart[f0]];
        const TEdge& e = edges[h / 2];
        const long rightOfEdge = RayWinding(&e);
        wind[f0] = (h & 1) ? rightOfEdge : rightOfEdge + SignedCount(e);
        known[f0] = 1;
        queue.assign(1, f0);
        while (!queue.empty()) {
            const std::size_t f = queue.back();
            queue.pop_back();
            for (std::size_t i = faceStart[f]; i < faceStart[f + 1]; ++i) {
                const std::size_t g = face[faceHalves[i] ^ 1];
                if (known[g]) continue;
                const long s = SignedCount(edges[faceHalves[i] / 2]);
                wind[g] = wind[f] - ((faceHalves[i] & 1) ? -s : s);
                known[g] = 1;
                queue.push_back(g);
            }
        }
    }

    for (TEdge& e : edges) {
        if (!e.alive()) continue;
        const bool inLeft = wind[face[2 * e.Id]] > 0;
        const bool inRight = wind[face[2 * e.Id + 1]] > 0;
        TTypes::TBoolEdgeIndex& r = e.Data.Indexes.Index[1];
        r = TTypes::TBoolEdgeIndex{};
        if (inLeft != inRight) {
            r.Dir = inLeft ? TTypes::kDirForward : TTypes::kDirBackward;
            r.Count = 1;
        }
    }
}

void TBoolPolygonGraphW2::UnionFlat(const TKrPlanarSet* const* sets, std::size_t count, TKrPlanarSet& out,
                                    double tol, TKrProgressHandler* progress) {
    out.clear();
    TKrLimits2d lim;
    for (std::size_t i = 0; i < count; ++i)
        if (sets[i]) lim.add(GetLimits(*sets[i]));
    if (lim.is_empty()) return;
    lim.min -= vec2d(tol, tol);
    lim.max += vec2d(tol, tol);
    TBoolPolygonGraphW2 g(lim, CORRECT_MODE_2, tol);
    // Features closer than the tolerance merge in a union anyway, so the passes of growing
    // tolerance that keep them apart while aligning would only triple the work.
    g.SetPassesCount(1);
    g.PutBegin();
    for (std::size_t i = 0; i < count; ++i) {
        if (!sets[i]) continue;
        for (const TKrDomain& d : *sets[i]) {
            for (std::size_t k = 0; k < d.size(); ++k) {
                if (d[k].size() < 3) continue;
                const double a = GetContourSignedArea(d[k]);
                if (a == 0 || !std::isfinite(a)) continue;
                // Outer contours count +1 inside, holes −1, whichever way they were drawn.
                const bool forward = (a > 0) == (k == 0);
                g.Put(d[k], true, forward ? TTypes::kDirForward : TTypes::kDirBackward, 0);
            }
        }
    }
    // Crossings are noded on the raw input; snapping then moves edges only where it made new
    // ones, so later rounds look at those alone.
    g.InsertCrossings();
    std::uint64_t checked = g.m_graph.Edges().size();
    g.PutEnd(progress);
    for (unsigned round = 0; round < g.m_rounds.First; ++round) {
        const std::uint64_t made = g.m_graph.Edges().size();
        if (g.InsertCrossings(checked) == 0) break;
        checked = made;
        // The new crossing nodes are snapped to their neighbours; past the restart budget they
        // stay where they were computed, which keeps the graph planar all the same.
        if (round < g.m_rounds.Second) g.Resolve(g.m_eps, nullptr, 0, 1);
    }
    g.MarkUnionBoundary();
    g.Get(out, 1, GRAPH_GET_DROP_COLLINEAR);
}

bool TBoolPolygonGraphW2::UnionAllImpl(const TKrPlanarSet* const* sets, std::size_t count, TKrPlanarSet& out,
                                       const double* eps, TKrProgressHandler* progress) {
    out.clear();
    TKrLimits2d lim;
    std::vector<std::pair<std::uint64_t, const TKrPlanarSet*>> order;
    for (std::size_t i = 0; i < count; ++i) {
        if (!sets[i]) continue;
        const TKrLimits2d l = GetLimits(*sets[i]);
        if (l.is_empty()) continue;
        lim.add(l);
        order.emplace_back(0, sets[i]);
    }
    if (lim.is_empty()) return true;
    const vec2d ext = lim.size();
    const double tol = eps ? *eps : std::max(1e-10, 2 * std::max(ext.x, ext.y) * 1e-7);
    if (order.size() <= kGroup) {
        std::vector<const TKrPlanarSet*> p;
        for (const auto& o : order)
            p.push_back(o.second);
        UnionFlat(p.data(), p.size(), out, tol, progress);
        return true;
    }
    // A cascade: neighbours (in Morton order of their centres) are united in small groups, then
    // the groups' results in turn. Inside a group most boundary is interior and vanishes, so the
    // higher levels meet only what is left of it, instead of one arrangement of every crossing.
    for (auto& o : order) {
        const vec2d c = GetLimits(*o.second).center();
        const auto q = [](double v, double lo, double span) {
            const double t = span > 0 ? (v - lo) / span : 0;
            return static_cast<std::uint32_t>(std::clamp(t, 0.0, 1.0) * 65535.0);
        };
        o.first = Morton(q(c.x, lim.min.x, ext.x), q(c.y, lim.min.y, ext.y));
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<const TKrPlanarSet*> level;
    for (const auto& o : order)
        level.push_back(o.second);
    std::vector<TKrPlanarSet> results, previous;
    const double groupsTotal = double(level.size()) / (kGroup - 1) + 1;
    double groupsDone = 0;
    while (level.size() > 1) {
        results.assign((level.size() + kGroup - 1) / kGroup, TKrPlanarSet());
        for (std::size_t g = 0; g < results.size(); ++g) {
            if (progress) {
                progress->SetPosNB(std::min(1.0, groupsDone++ / groupsTotal));
                progress->CheckBreak();
            }
            const std::size_t from = g * kGroup;
            UnionFlat(level.data() + from, std::min(kGroup, level.size() - from), results[g], tol, nullptr);
        }
        previous.swap(results);
        level.clear();
        for (const TKrPlanarSet& r : previous)
            level.push_back(&r);
    }
    out = std::move(previous[0]);
    if (progress) progress->SetPosNB(1);
    return true;
}

bool TBoolPolygonGraphW2::UnionAll(const std::vector<TKrPlanarSet>& sets, TKrPlanarSet& out,
                                   const double* eps, TKrProgressHandler* progress) {
    std::vector<const TKrPlanarSet*> p(sets.size());
    for (std::size_t i = 0; i < sets.size(); ++i)
        p[i] = &sets[i];
    return UnionAllImpl(p.data(), p.size(), out, eps, progress);
}

bool TBoolPolygonGraphW2::UnionAll(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out,
                                   const double* eps, TKrProgressHandler* progress) {
    return UnionAllImpl(sets.data(), sets.size(), out, eps, progress);
}

bool TBoolPolygonGraphW2::UnionAll(const std::vector<TKrPlanarSet*>& sets, TKrPlanarSet& out,
                                   const double* eps, TKrProgressHandler* progress) {
    std::vector<const TKrPlanarSet*> p(sets.begin(), sets.end());
    return UnionAllImpl(p.data(), p.size(), out, eps, progress);
}

} // namespace kr
