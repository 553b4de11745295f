// The polygon graph engine: insertion, resolving through the two quad trees, and extraction.
#include "Math/Polygon/KrPolygonGraphW.h"
#include "Math/Polygon/KrBoolPolygonGraphW.h"

#include "Core/KrConstants.h"
#include "Core/KrExceptions.h"
#include "Core/KrLog.h"
#include "Core/KrMessage.h"
#include "Core/KrModule.h"
#include "Core/KrProgressHandler.h"
#include "XIni/KrXIniWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>

namespace kr {

namespace {

constexpr const char* kModule = "src/Math/Polygon/BoolPolygonGraphW";
constexpr int kLevels = 10;
constexpr std::uint32_t kNodeBucket = 8;
// Progress is reported and cancellation polled once per this many resolving steps.
constexpr std::size_t kProgressStride = 4096;

// Shortest round-trip text of a number, independent of the process locale.
std::string Num(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

[[noreturn]] void ThrowText(const char* text) {
    throw TKrMessage(std::string("@") + text);
}

vec2d Lo(const vec2d& a, const vec2d& b) {
    return vec2d(std::min(a.x, b.x), std::min(a.y, b.y));
}
vec2d Hi(const vec2d& a, const vec2d& b) {
    return vec2d(std::max(a.x, b.x), std::max(a.y, b.y));
}

double ShoelaceArea(const std::vector<vec2d>& pts) {
    if (pts.size() < 3) return 0;
    double s = 0;
    for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++)
        s += (pts[j].x - pts[i].x) * (pts[j].y + pts[i].y);
    return s / 2;
}

[[noreturn]] void FailIndex(std::uint64_t index, const char* text) {
    throw TKrMessage(std::string("@Index %1%: ") + text) << static_cast<unsigned long>(index);
}

// Even-odd crossing test; a vertex pair counts when p.y lies in the half-open y range of the edge.
bool IsPointInsideDomain(const vec2d& p, const std::vector<vec2d>& pts) {
    bool inside = false;
    for (std::size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
        const vec2d& a = pts[i];
        const vec2d& b = pts[j];
        if ((a.y <= p.y) != (b.y <= p.y)) {
            const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
            if (x > p.x) inside = !inside;
        }
    }
    return inside;
}

std::string IndexesDesc(const TPolygonGraphTypes::TBoolEdgeIndexes& r) {
    std::ostringstream o;
    for (int i = 0; i < 2; ++i)
        o << (i ? " " : "") << "[" << int(r.Index[i].Dir) << "," << int(r.Index[i].Flags) << ","
          << r.Index[i].Count << "]";
    return o.str();
}
std::string IndexesDesc(const TPolygonGraphTypes::TEdgeIndexes& r) {
    std::ostringstream o;
    for (const auto& i : r.items)
        o << "[" << i.index << ":" << int(i.dir) << "]";
    return o.str();
}

void SaveIndexes(TKrXIniWriter* w, const TPolygonGraphTypes::TBoolEdgeIndexes& r) {
    for (const auto& i : r.Index) {
        w->BeginSectionS("");
        w->WriteSE("Dir", static_cast<unsigned>(i.Dir));
        w->WriteSE("Flags", static_cast<unsigned>(i.Flags));
        w->WriteSE("Count", static_cast<unsigned>(i.Count));
        w->EndSectionE();
    }
}
void SaveIndexes(TKrXIniWriter* w, const TPolygonGraphTypes::TEdgeIndexes& r) {
    for (const auto& i : r.items) {
        w->BeginSectionS("");
        w->WriteSE("Dir", static_cast<unsigned>(i.dir));
        w->WriteSE("Flags", static_cast<unsigned>(i.flag));
        w->WriteSE("Index", static_cast<unsigned long>(i.index));
        w->EndSectionE();
    }
}

void SavePos(TKrXIniWriter* w, const vec2d& p) {
    w->BeginSectionS("Pos");
    w->WriteSE(s_x, p.x);
    w->WriteSE(s_y, p.y);
    w->EndSectionE();
}

template <class TEdge> void SaveEdge(TKrXIniWriter* w, const TEdge& e) {
    w->BeginSectionS("Dir");
    w->WriteSE(s_x, e.Data.Dir.x);
    w->WriteSE(s_y, e.Data.Dir.y);
    w->EndSectionE();
    w->WriteSE("Len", e.Data.Len);
    w->BeginSectionS("Indexes");
    SaveIndexes(w, e.Data.Indexes);
    w->EndSectionE();
}

} // namespace

template <class T> TPolygonGraphW_t<T>::TPolygonGraphW_t() = default;

template <class T>
TPolygonGraphW_t<T>::TPolygonGraphW_t(const TKrLimits2d& lim, CORRECT_MODE mode, double eps) {
    Init(lim, mode, eps);
}

template <class T> TPolygonGraphW_t<T>::~TPolygonGraphW_t() = default;

template <class T> void TPolygonGraphW_t<T>::Init(const TKrLimits2d& lim, CORRECT_MODE mode, double eps) {
    const std::string sig =
        std::string("@") + T::kClassName + "::Init(const TKrLimits2d&, kr::CORRECT_MODE, double): ";
    if (lim.is_empty()) throw TKrMessage(sig + "Invalid argument \"Lim\"");
    if (!(eps > 0)) throw TKrMessage(sig + "Invalid argument \"Eps\" = %1%") << eps;
    if (mode != CORRECT_MODE_1 && mode != CORRECT_MODE_2)
        throw TKrMessage(sig + "Invalid argument \"Mode\" = %1%") << static_cast<int>(mode);
    m_graph.Clear();
    m_nodeQueue.clear();
    m_edgeQueue.clear();
    m_lim = lim;
    m_mode = mode;
    m_eps = eps;
    SetTolerances(eps);
    // A degenerate extent (all input on one line) still needs a box for the cell arithmetic.
    vec2d lo = lim.min, hi = lim.max;
    const double pad = std::max(eps, 1e-9 * std::max(std::abs(hi.x - lo.x), std::abs(hi.y - lo.y)));
    if (!(hi.x > lo.x)) lo.x -= pad, hi.x += pad;
    if (!(hi.y > lo.y)) lo.y -= pad, hi.y += pad;
    m_nodeTree.Init(lo, hi, kLevels, kNodeBucket);
    m_edgeTree.Init(lo, hi, kLevels);
}

template <class T> void TPolygonGraphW_t<T>::SetEps(double eps) {
    if (!(eps > 0))
        throw TKrMessage(std::string("@") + T::kClassName +
                         "::SetEps(double): Invalid argument \"Eps\" = %1%")
            << eps;
    m_eps = eps;
    SetTolerances(eps);
}

template <class T> void TPolygonGraphW_t<T>::SetTolerances(double eps) noexcept {
    m_tol.Eps = eps;
    m_tol.EpsNode = eps;
    m_tol.EpsNode2 = eps * eps;
    m_tol.EpsEdge = eps;
    m_tol.EpsEdge2 = eps * eps;
    m_tol.EpsDiag = 1.42 * eps;
}

template <class T> std::size_t TPolygonGraphW_t<T>::NodesCount() const noexcept {
    std::size_t n = 0;
    for (const TNode& x : m_graph.Nodes())
        n += x.alive();
    return n;
}

template <class T> std::size_t TPolygonGraphW_t<T>::EdgesCount() const noexcept {
    std::size_t n = 0;
    for (const TEdge& x : m_graph.Edges())
        n += x.alive();
    return n;
}

// Graph primitives ---------------------------------------------------------------------------

template <class T> typename TPolygonGraphW_t<T>::TNode* TPolygonGraphW_t<T>::AddNode(const vec2d& pos) {
    TNode* n = m_graph.NewNode();
    n->Data.Pos = pos;
    m_nodeTree.AddObject(n->Id, pos);
    QueueNode(n);
    return n;
}

template <class T> void TPolygonGraphW_t<T>::DeleteNode(TNode* n) {
    if (!n->alive()) ThrowText("Node already deleted");
    if (!n->Edges.empty()) ThrowText("DeleteNode linked with edges");
    n->Flags |= GRAPH_FLAG_DELETED;
    m_nodeTree.DeleteObject(n->Id, n->Data.Pos);
}

template <class T>
typename TPolygonGraphW_t<T>::TEdge* TPolygonGraphW_t<T>::AddEdge(TNode* a, TNode* b,
                                                                  const TIndexes& indexes) {
    if (a == b) ThrowText("Looping Detected");
    if (indexes.empty()) return nullptr;
    // A node has few edges, so a scan finds an edge already joining the two nodes.
    for (TEdge* e : a->Edges) {
        if (e->other(a) != b) continue;
        if (e->Node[0] == a)
            e->Data.Indexes.merge(indexes);
        else
            e->Data.Indexes.merge_inverse(indexes);
        if (e->Data.Indexes.empty()) {
            DeleteEdge(e);
            return nullptr;
        }
        return e;
    }
    TEdge* e = m_graph.NewEdge(a, b);
    const vec2d d = b->Data.Pos - a->Data.Pos;
    e->Data.Len = norm(d);
    e->Data.Dir = e->Data.Len > 0 ? d / e->Data.Len : vec2d(1, 0);
    e->Data.Indexes = indexes;
    m_edgeTree.AddObject(e->Id, a->Data.Pos, b->Data.Pos, &e->Data.Handle);
    QueueEdge(e);
    return e;
}

template <class T> void TPolygonGraphW_t<T>::DeleteEdge(TEdge* e) {
    if (!e->alive()) return;
    e->Flags |= GRAPH_FLAG_DELETED;
    m_edgeTree.DeleteObject(e->Id, e->Data.Handle);
    for (TNode* n : e->Node) {
        auto& v = n->Edges;
        v.erase(std::find(v.begin(), v.end(), e));
        // A node left without edges goes when the queue reaches it; deleting it here would
        // pull it from under a collapse that is still re-attaching edges to it.
        QueueNode(n);
    }
}

template <class T> void TPolygonGraphW_t<T>::Collapse(TNode* keep, TNode* other) {
    if (keep == other || !other->alive()) return;
    std::vector<TEdge*> edges;
    edges.swap(other->Edges);
    for (TEdge* e : edges) {
        if (!e->alive()) continue;
        TNode* far = e->other(other);
        const bool otherFirst = e->Node[0] == other;
        const TIndexes indexes = e->Data.Indexes;
        // Detach from the far end; the near end's list was taken above.
        e->Flags |= GRAPH_FLAG_DELETED;
        m_edgeTree.DeleteObject(e->Id, e->Data.Handle);
        auto& v = far->Edges;
        v.erase(std::find(v.begin(), v.end(), e));
        QueueNode(far);
        if (far == keep) continue; // shrank to a point
        if (otherFirst)
            AddEdge(keep, far, indexes);
        else
            AddEdge(far, keep, indexes);
    }
    DeleteNode(other);
    QueueNode(keep);
    for (std::size_t i = 0; i < keep->Edges.size(); ++i)
        for (std::size_t j = i + 1; j < keep->Edges.size(); ++j)
            if (keep->Edges[i]->other(keep) == keep->Edges[j]->other(keep))
                ThrowText("Double edge detected!");
}

template <class T> void TPolygonGraphW_t<T>::QueueNode(TNode* n) {
    if (n->Flags & (GRAPH_FLAG_QUEUED | GRAPH_FLAG_DELETED)) return;
    n->Flags |= GRAPH_FLAG_QUEUED;
    m_nodeQueue.push_back(n);
}

template <class T> void TPolygonGraphW_t<T>::QueueEdge(TEdge* e) {
    if (e->Flags & (GRAPH_FLAG_QUEUED | GRAPH_FLAG_DELETED)) return;
    e->Flags |= GRAPH_FLAG_QUEUED;
    m_edgeQueue.push_back(e);
}

template <class T> void TPolygonGraphW_t<T>::QueueAll() {
    for (TNode& n : m_graph.Nodes())
        QueueNode(&n);
    for (TEdge& e : m_graph.Edges())
        QueueEdge(&e);
}

template <class T>
bool TPolygonGraphW_t<T>::CanSplitEdge(const TEdge* e, const TNode* n, double tol) const noexcept {
    if (!e->alive() || !n->alive() || e->Node[0] == n || e->Node[1] == n) return false;
    const vec2d d = n->Data.Pos - e->Node[0]->Data.Pos;
    const double t = dot(d, e->Data.Dir);
    if (!(t > 0 && t < e->Data.Len)) return false;
    if (std::abs(cross(e->Data.Dir, d)) > tol) return false;
    if (m_stableSplit) {
        const double tol2 = tol * tol;
        if (norm2(d) <= tol2 || norm2(n->Data.Pos - e->Node[1]->Data.Pos) <= tol2) return false;
    }
    return true;
}

template <class T> void TPolygonGraphW_t<T>::SplitEdge(TEdge* e, TNode* n) {
    KR_CHECK(e->alive() && n->alive() && e->Node[0] != n && e->Node[1] != n);
    TNode* a = e->Node[0];
    TNode* b = e->Node[1];
    const TIndexes indexes = e->Data.Indexes;
    DeleteEdge(e);
    AddEdge(a, n, indexes);
    AddEdge(n, b, indexes);
    QueueNode(n);
}

// Queries --------------------------------------------------------------------------------------

template <class T>
void TPolygonGraphW_t<T>::GetClosedEpsEdges(const vec2d& p, double tol, std::vector<TEdge*>& out) const {
    out.clear();
    std::vector<std::uint64_t> ids;
    m_edgeTree.GetRect(p - vec2d(tol, tol), p + vec2d(tol, tol), ids);
    for (std::uint64_t id : ids) {
        TEdge* e = const_cast<TEdge*>(&m_graph.Edge(id));
        if (!e->alive()) continue;
        const vec2d d = p - e->Node[0]->Data.Pos;
        const double t = dot(d, e->Data.Dir);
        if (t > 0 && t < e->Data.Len && std::abs(cross(e->Data.Dir, d)) <= tol) out.push_back(e);
    }
}

template <class T>
void TPolygonGraphW_t<T>::GetClosedEpsNodes(const TEdge* e, double tol, std::vector<TNode*>& out) const {
    out.clear();
    const vec2d& a = e->Node[0]->Data.Pos;
    const vec2d& b = e->Node[1]->Data.Pos;
    std::vector<std::uint64_t> ids;
    m_nodeTree.GetRect(Lo(a, b) - vec2d(tol, tol), Hi(a, b) + vec2d(tol, tol), ids);
    for (std::uint64_t id : ids) {
        TNode* n = const_cast<TNode*>(&m_graph.Node(id));
        if (!n->alive() || n == e->Node[0] || n == e->Node[1]) continue;
        const vec2d d = n->Data.Pos - a;
        const double t = dot(d, e->Data.Dir);
        if (t > 0 && t < e->Data.Len && std::abs(cross(e->Data.Dir, d)) <= tol) out.push_back(n);
    }
    std::sort(out.begin(), out.end(), [&](const TNode* x, const TNode* y) {
        return dot(x->Data.Pos - a, e->Data.Dir) < dot(y->Data.Pos - a, e->Data.Dir);
    });
}

// Insertion ------------------------------------------------------------------------------------

template <class T> typename TPolygonGraphW_t<T>::TNode* TPolygonGraphW_t<T>::InsertNodeR0(const vec2d& pos) {
    const double tol = m_tol.EpsNode;
    std::vector<std::uint64_t> ids;
    m_nodeTree.GetRect(pos - vec2d(tol, tol), pos + vec2d(tol, tol), ids);
    TNode* n = nullptr;
    double bestD = m_tol.EpsNode2;
    for (std::uint64_t id : ids) {
        TNode* m = &m_graph.Node(id);
        const double d = norm2(m->Data.Pos - pos);
        if (m->alive() && d <= bestD) n = m, bestD = d;
    }
    if (!n) n = AddNode(pos);
    std::vector<TEdge*> edges;
    GetClosedEpsEdges(n->Data.Pos, m_tol.EpsEdge, edges);
    for (TEdge* e : edges)
        if (CanSplitEdge(e, n, m_tol.EpsEdge)) SplitEdge(e, n);
    return n;
}

template <class T>
void TPolygonGraphW_t<T>::PutContour(const TKrContour& c, bool closed, const TIndexes& indexes) {
    if (c.size() < 2 || indexes.empty()) return;
    std::vector<TNode*> nodes;
    nodes.reserve(c.size());
    for (const vec3d& p : c) {
        const vec2d q(p.x, p.y);
        if (!std::isfinite(q.x) || !std::isfinite(q.y))
            throw TKrMessage(std::string("@") + T::kClassName + "::Put(): Invalid point (%1%, %2%)")
                << q.x << q.y;
        // PutRN: raw nodes, resolved later; with no passes every vertex is resolved at once.
        nodes.push_back(m_passes == 0 ? InsertNodeR0(q) : AddNode(q));
    }
    const std::size_t n = nodes.size();
    for (std::size_t i = 0; i + 1 < n + (closed ? 1 : 0); ++i) {
        TNode* a = nodes[i];
        TNode* b = nodes[(i + 1) % n];
        if (a != b && a->alive() && b->alive()) AddEdge(a, b, indexes);
    }
}

template <class T> void TPolygonGraphW_t<T>::Put(const TKrContour& c, std::uint8_t dir, std::uint64_t index) {
    Put(c, true, dir, index);
}

template <class T>
void TPolygonGraphW_t<T>::Put(const TKrContour& c, bool closed, std::uint8_t dir, std::uint64_t index) {
    if (index >= TIndexes::operands())
        throw TKrMessage(std::string("@") + T::kClassName + "::Put(): Invalid operand index %1%") << index;
    if (dir > TPolygonGraphTypes::kDirBackward)
        throw TKrMessage(std::string("@") + T::kClassName + "::Put(): Invalid direction code %1%")
            << unsigned(dir);
    Put(c, closed, TIndexes(dir, index));
}

template <class T> void TPolygonGraphW_t<T>::Put(const TKrDomain& d, std::uint8_t dir, std::uint64_t index) {
    PutBegin();
    for (const TKrContour& c : d)
        Put(c, true, dir, index);
    PutEnd();
}

template <class T>
void TPolygonGraphW_t<T>::Put(const TKrPlanarSet& s, std::uint8_t dir, std::uint64_t index) {
    PutBegin();
    for (const TKrDomain& d : s)
        Put(d, dir, index);
    PutEnd();
}

template <class T> void TPolygonGraphW_t<T>::Put(const TKrContour& c, bool closed, const TIndexes& indexes) {
    PutBegin();
    PutContour(c, closed, indexes);
    PutEnd();
}

template <class T> void TPolygonGraphW_t<T>::Put(const TKrDomain& d, const TIndexes& indexes) {
    PutBegin();
    for (const TKrContour& c : d)
        PutContour(c, true, indexes);
    PutEnd();
}

template <class T> void TPolygonGraphW_t<T>::Put(const TKrPlanarSet& s, const TIndexes& indexes) {
    PutBegin();
    for (const TKrDomain& d : s)
        for (const TKrContour& c : d)
            PutContour(c, true, indexes);
    PutEnd();
}

// Crossings ------------------------------------------------------------------------------------

template <class T>
bool TPolygonGraphW_t<T>::intersection(const TEdge* a, const TEdge* b, vec2d& point) noexcept {
    const vec2d& p0 = a->Node[0]->Data.Pos;
    const vec2d& p1 = a->Node[1]->Data.Pos;
    const vec2d& q0 = b->Node[0]->Data.Pos;
    const vec2d& q1 = b->Node[1]->Data.Pos;
    const double d1 = cross(p1 - p0, q0 - p0);
    const double d2 = cross(p1 - p0, q1 - p0);
    const double d3 = cross(q1 - q0, p0 - q0);
    const double d4 = cross(q1 - q0, p1 - q0);
    if (!((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0))) return false;
    if (!((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return false;
    point = q0 + (q1 - q0) * (d1 / (d1 - d2));
    return true;
}

template <class T>
typename TPolygonGraphW_t<T>::TEdge* TPolygonGraphW_t<T>::GetCrossedEdge(const TEdge* e) const {
    if (!e->alive()) return nullptr;
    std::vector<std::uint64_t> ids;
    m_edgeTree.GetRect(Lo(e->Node[0]->Data.Pos, e->Node[1]->Data.Pos),
                       Hi(e->Node[0]->Data.Pos, e->Node[1]->Data.Pos), ids);
    vec2d p;
    for (std::uint64_t id : ids) {
        const TEdge* f = &m_graph.Edge(id);
        if (f == e || !f->alive()) continue;
        if (f->Node[0] == e->Node[0] || f->Node[0] == e->Node[1] || f->Node[1] == e->Node[0] ||
            f->Node[1] == e->Node[1])
            continue;
        if (intersection(e, f, p)) return const_cast<TEdge*>(f);
    }
    return nullptr;
}

template <class T> typename TPolygonGraphW_t<T>::TNode* TPolygonGraphW_t<T>::InsertNode(const vec2d& point) {
    // Crossings must be noded even where the stability test would refuse: a crossing left in
    // place breaks the planarity the extraction relies on.
    const bool stable = m_stableSplit;
    m_stableSplit = false;
    TNode* n = nullptr;
    try {
        n = InsertNodeR0(point);
    } catch (...) {
        m_stableSplit = stable;
        throw;
    }
    m_stableSplit = stable;
    QueueNode(n);
    return n;
}

template <class T> std::size_t TPolygonGraphW_t<T>::InsertCrossings(std::uint64_t fromEdge) {
    std::vector<vec2d> points;
    std::vector<std::uint64_t> ids;
    auto& all = m_graph.Edges();
    for (std::size_t i = fromEdge; i < all.size(); ++i) {
        const TEdge& e = all[i];
        if (!e.alive()) continue;
        const vec2d& a = e.Node[0]->Data.Pos;
        const vec2d& b = e.Node[1]->Data.Pos;
        m_edgeTree.GetRect(Lo(a, b), Hi(a, b), ids);
        for (std::uint64_t id : ids) {
            if (id >= fromEdge && id <= e.Id) continue; // each pair once
            const TEdge& f = m_graph.Edge(id);
            if (!f.alive()) continue;
            vec2d p;
            if (intersection(&e, &f, p)) points.push_back(p);
        }
    }
    for (const vec2d& p : points)
        InsertNode(p);
    return points.size();
}

// Resolving ------------------------------------------------------------------------------------

template <class T> void TPolygonGraphW_t<T>::ResolveNode(TNode* n, double tol, bool edgesQuery) {
    if (n->Edges.empty()) {
        DeleteNode(n);
        return;
    }
    std::vector<std::uint64_t> ids;
    m_nodeTree.GetRect(n->Data.Pos - vec2d(tol, tol), n->Data.Pos + vec2d(tol, tol), ids);
    for (std::uint64_t id : ids) {
        TNode* m = &m_graph.Node(id);
        if (m != n && m->alive() && norm2(m->Data.Pos - n->Data.Pos) <= tol * tol) Collapse(n, m);
    }
    if (n->Edges.empty()) {
        DeleteNode(n);
        return;
    }
    if (!edgesQuery) return;
    std::vector<TEdge*> edges;
    GetClosedEpsEdges(n->Data.Pos, tol, edges);
    for (TEdge* e : edges)
        if (CanSplitEdge(e, n, tol)) SplitEdge(e, n);
}

template <class T> void TPolygonGraphW_t<T>::ResolveEdge(TEdge* e, double tol) {
    std::vector<TNode*> nodes;
    GetClosedEpsNodes(e, tol, nodes);
    // One split per visit: the two halves are queued and bring the remaining nodes back.
    for (TNode* m : nodes) {
        const vec2d& a = e->Node[0]->Data.Pos;
        const vec2d p = a + e->Data.Dir * dot(m->Data.Pos - a, e->Data.Dir);
        const double tol2 = tol * tol;
        if (norm2(p - a) > tol2 && norm2(p - e->Node[1]->Data.Pos) > tol2) {
            // A node at the foot of the perpendicular: the node pass then snaps m onto it.
            TNode* foot = AddNode(p);
            SplitEdge(e, foot);
            return;
        }
        if (CanSplitEdge(e, m, tol)) {
            SplitEdge(e, m);
            return;
        }
    }
}

template <class T>
void TPolygonGraphW_t<T>::Resolve(double tol, TKrProgressHandler* progress, double from, double to) {
    const std::size_t budget = static_cast<std::size_t>(m_budget.First) *
                                   (m_nodeQueue.size() + m_edgeQueue.size() + m_graph.Nodes().size()) +
                               1024;
    std::size_t steps = 0;
    std::size_t ni = 0, ei = 0;
    // Node positions never change, so when every edge is queued, the edges' own passes find
    // every node that existed before; only nodes made during this run look for edges themselves.
    // This saves most edge-index queries, the dearest kind (long edges sit high in the tree).
    bool allEdgesQueued = true;
    for (const TEdge& e : m_graph.Edges())
        if (e.alive() && !(e.Flags & GRAPH_FLAG_QUEUED)) allEdgesQueued = false;
    const std::uint64_t oldNodes = allEdgesQueued ? m_graph.Nodes().size() : 0;
    while (ni < m_nodeQueue.size() || ei < m_edgeQueue.size()) {
        if (++steps > budget) ThrowText("Looping Detected");
        if (progress && steps % kProgressStride == 0) {
            const double left = double(m_nodeQueue.size() - ni + m_edgeQueue.size() - ei);
            progress->SetPosNB(from + (to - from) * (double(steps) / (steps + left)));
            progress->CheckBreak();
        }
        if (ni < m_nodeQueue.size()) {
            TNode* n = m_nodeQueue[ni++];
            n->Flags &= ~GRAPH_FLAG_QUEUED;
            if (n->alive()) ResolveNode(n, tol, n->Id >= oldNodes);
        } else {
            TEdge* e = m_edgeQueue[ei++];
            e->Flags &= ~GRAPH_FLAG_QUEUED;
            if (e->alive()) ResolveEdge(e, tol);
        }
        // Keep the queues from growing without bound on long runs.
        if (ni == m_nodeQueue.size() && ni > 0) m_nodeQueue.clear(), ni = 0;
        if (ei == m_edgeQueue.size() && ei > 0 && ni == m_nodeQueue.size()) m_edgeQueue.clear(), ei = 0;
    }
    m_nodeQueue.clear();
    m_edgeQueue.clear();
    if (progress) progress->SetPosNB(to);
}

template <class T> void TPolygonGraphW_t<T>::PutEnd(TKrProgressHandler* progress) {
    if (m_putLevel > 0 && --m_putLevel > 0) return;
    if (!m_nodeTree.IsInit()) return;
    const unsigned P = m_passes;
    if (P <= 1 || !m_multiPass) {
        Resolve(m_eps, progress, 0, 1);
        return;
    }
    const std::string format = KrModule_Initializer::instance().get_resource_string(
        "global.GraphResolving", "Resolving the polygon graph: pass %1% of %2%");
    for (unsigned k = 1; k <= P; ++k) {
        const double tol = m_eps / std::ldexp(1.0, static_cast<int>(P - k));
        SetTolerances(tol);
        if (progress) {
            progress->SetMessage((TKrMessage(format) << k << P).std_str());
            progress->SetPosNB(double(k - 1) / P);
            progress->CheckBreak();
        }
        Resolve(tol, progress, double(k - 1) / P, double(k) / P);
        if (k < P) QueueAll();
    }
    SetTolerances(m_eps);
    m_multiPass = false;
}

// Extraction -----------------------------------------------------------------------------------

template <class T> void TPolygonGraphW_t<T>::GetImpl(TPlanarSet& out, std::uint64_t index, unsigned flags) {
    (void)flags;
    out.clear();
    std::size_t passes = 0;
    for (TEdge& e : m_graph.Edges()) {
        e.Data.Used = 0;
        if (e.alive()) passes += e.Data.Indexes.count(index, nullptr);
    }
    const std::size_t stepsMax = passes * m_budget.Second + 16;
    std::size_t steps = 0;
    std::vector<std::int64_t> pos(m_graph.Nodes().size(), -1); // place of a node on the open path
    std::vector<TContour> contours;
    std::vector<TNode*> path;
    TContour pathEdges;

    auto usable = [&](TEdge* e, const TNode* from, bool* back) {
        if (!e->alive()) return false;
        std::uint8_t dir;
        const std::uint32_t c = e->Data.Indexes.count(index, &dir);
        if (c == 0 || e->Data.Used >= c) return false;
        if (dir == TPolygonGraphTypes::kDirForward && e->Node[0] == from) {
            *back = false;
            return true;
        }
        if (dir == TPolygonGraphTypes::kDirBackward && e->Node[1] == from) {
            *back = true;
            return true;
        }
        return false;
    };
    auto fail = [index](const char* text) { FailIndex(index, text); };

    for (TEdge& e0 : m_graph.Edges()) {
        bool back0;
        while (usable(&e0, e0.Node[0], &back0) || usable(&e0, e0.Node[1], &back0)) {
            TNode* cur = e0.Node[back0 ? 1 : 0];
            path.assign(1, cur);
            pathEdges.clear();
            pos[cur->Id] = 0;
            vec2d din(1, 0);
            for (;;) {
                if (++steps > stepsMax)
                    throw TKrMessage("@Index %1%: Unexpected Edges size (%2%)!")
                        << static_cast<unsigned long>(index) << static_cast<unsigned long>(passes);
                TEdgeHandler best;
                double bestA = std::numeric_limits<double>::infinity();
                bool any = false;
                for (TEdge* e : cur->Edges) {
                    bool back;
                    if (!usable(e, cur, &back)) continue;
                    any = true;
                    const vec2d d = back ? -e->Data.Dir : e->Data.Dir;
                    const double a = GetSinexHON(din, d);
                    if (a < bestA) bestA = a, best = TEdgeHandler{e, back};
                }
                if (!any) FailIndex(index, "Contact not found");
                if (!best.Edge) FailIndex(index, "pRightEdge not found");
                ++best.Edge->Data.Used;
                pathEdges.push_back(best);
                din = best.Dir();
                TNode* w = const_cast<TNode*>(best.To());
                if (pos[w->Id] < 0) {
                    pos[w->Id] = static_cast<std::int64_t>(path.size());
                    path.push_back(w);
                    cur = w;
                    continue;
                }
                const std::size_t k = static_cast<std::size_t>(pos[w->Id]);
                TContour loop(pathEdges.begin() + static_cast<std::ptrdiff_t>(k), pathEdges.end());
                if (loop.empty()) fail("Unexpected empty contour!");
                contours.push_back(std::move(loop));
                for (std::size_t i = k + 1; i < path.size(); ++i)
                    pos[path[i]->Id] = -1;
                path.resize(k + 1);
                pathEdges.resize(k);
                cur = w;
                if (k == 0) break;
            }
            pos[path[0]->Id] = -1;
        }
    }

    // Outer contours run counter-clockwise, holes clockwise; zero-area loops carry no region.
    struct TLoop {
        std::vector<vec2d> pts;
        double area;
        TKrLimits2d lim;
        std::size_t idx;
    };
    std::vector<TLoop> outers, holes;
    for (std::size_t i = 0; i < contours.size(); ++i) {
        TLoop l;
        l.idx = i;
        for (const TEdgeHandler& h : contours[i]) {
            l.pts.push_back(h.From()->Data.Pos);
            l.lim.add(h.From()->Data.Pos);
        }
        l.area = ShoelaceArea(l.pts);
        if (l.area > 0)
            outers.push_back(std::move(l));
        else if (l.area < 0)
            holes.push_back(std::move(l));
    }
    // Smallest first, so that a hole goes to the innermost outer contour holding it.
    std::sort(outers.begin(), outers.end(), [](const TLoop& a, const TLoop& b) { return a.area < b.area; });
    out.resize(outers.size());
    for (std::size_t i = 0; i < outers.size(); ++i)
        out[i].push_back(contours[outers[i].idx]);
    for (const TLoop& h : holes) {
        const TContour& hc = contours[h.idx];
        if (hc.size() < 3)
            throw TKrMessage("@Index %1%: Find Hole (index %2%, size %3%) check point failed!")
                << static_cast<unsigned long>(index) << static_cast<unsigned long>(h.idx)
                << static_cast<unsigned long>(hc.size());
        // An edge midpoint lies on no other edge of a resolved graph, unlike a vertex that a hole
        // may share with its outer contour.
        const vec2d p = (hc[0].From()->Data.Pos + hc[0].To()->Data.Pos) / 2.0;
        std::size_t owner = outers.size();
        for (std::size_t i = 0; i < outers.size() && owner == outers.size(); ++i)
            if (outers[i].lim.contains(p) && IsPointInsideDomain(p, outers[i].pts)) owner = i;
        if (owner == outers.size()) fail("Find Hole owner failed!");
        out[owner].push_back(hc);
    }
}

template <class T> void TPolygonGraphW_t<T>::Get(TPlanarSet& out, std::uint64_t index, unsigned flags) {
    try {
        GetImpl(out, index, flags);
    } catch (...) {
        const TKrMessage reason = KrGetExceptionReason();
        TKrMessage m("@%1%: %2%: %3%");
        m << kModule << __LINE__ << std::string(T::kClassName) + "::Get(TPlanarSet&, uint64_t, unsigned)";
        m.AppendMsg(reason);
        KrLogWriteError(m);
        throw m;
    }
}

template <class T> void TPolygonGraphW_t<T>::Get(TKrPlanarSet& out, std::uint64_t index, unsigned flags) {
    TPlanarSet s;
    Get(s, index, flags);
    Convert(s, out, flags);
}

template <class T>
void TPolygonGraphW_t<T>::Get(TKrPlanarSet** sets, std::size_t count, unsigned flags,
                              TKrProgressHandler* progress) {
    for (std::size_t i = 0; i < count; ++i) {
        if (progress) {
            progress->SetPosNB(double(i) / count);
            progress->CheckBreak();
        }
        if (sets[i]) Get(*sets[i], i, flags);
    }
    if (progress) progress->SetPosNB(1);
}

template <class T> void TPolygonGraphW_t<T>::Convert(const TContour& c, TKrContour& out, unsigned flags) {
    out.clear();
    out.reserve(c.size());
    const std::size_t n = c.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (flags & GRAPH_GET_DROP_COLLINEAR) {
            const vec2d din = c[(i + n - 1) % n].Dir();
            const vec2d dout = c[i].Dir();
            if (std::abs(cross(din, dout)) <= 1e-12 && dot(din, dout) > 0) continue;
        }
        const vec2d& p = c[i].From()->Data.Pos;
        out.push_back(vec3d(p.x, p.y, 0));
    }
}

template <class T> void TPolygonGraphW_t<T>::Convert(const TDomain& d, TKrDomain& out, unsigned flags) {
    out.resize(d.size());
    for (std::size_t i = 0; i < d.size(); ++i)
        Convert(d[i], out[i], flags);
}

template <class T> void TPolygonGraphW_t<T>::Convert(const TPlanarSet& s, TKrPlanarSet& out, unsigned flags) {
    out.resize(s.size());
    for (std::size_t i = 0; i < s.size(); ++i)
        Convert(s[i], out[i], flags);
}

template <class T>
std::size_t TPolygonGraphW_t<T>::Convert(const TContour& c, vec2d* buf, std::size_t BufSize) {
    std::size_t count = 0;
    for (const TEdgeHandler& h : c) {
        if (count == BufSize) ThrowText("Count == BufSize");
        buf[count++] = h.From()->Data.Pos;
    }
    return count;
}

// Checks and diagnostics -----------------------------------------------------------------------

template <class T>
bool TPolygonGraphW_t<T>::Check(const std::string& name, TKrProgressHandler* progress) const {
    std::size_t i = 0;
    for (const TNode& n : m_graph.Nodes()) {
        if (progress && ++i % kProgressStride == 0) progress->CheckBreak();
        if (!n.alive()) continue;
        for (std::size_t a = 0; a < n.Edges.size(); ++a)
            for (std::size_t b = a + 1; b < n.Edges.size(); ++b)
                if (n.Edges[a]->other(&n) == n.Edges[b]->other(&n))
                    throw TKrMessage("@%1%: Detect double edges") << name;
    }
    return true;
}

template <class T> void TPolygonGraphW_t<T>::CheckEdgeIndexes() const {
    for (const TEdge& e : m_graph.Edges())
        if (e.alive() && e.Data.Indexes.empty()) ThrowText("Edge has no indexes");
}

template <class T>
void TPolygonGraphW_t<T>::GetEdges(const TKrLimits2d& lim, std::vector<TEdge*>& edges) const {
    edges.clear();
    if (lim.is_empty() || !m_edgeTree.IsInit()) return;
    std::vector<std::uint64_t> ids;
    m_edgeTree.GetRect(lim.min, lim.max, ids);
    for (std::uint64_t id : ids) {
        TEdge* e = const_cast<TEdge*>(&m_graph.Edge(id));
        if (!e->alive()) continue;
        TKrLimits2d el;
        el.add(e->Node[0]->Data.Pos);
        el.add(e->Node[1]->Data.Pos);
        if (el.intersects(lim)) edges.push_back(e);
    }
}

template <class T> std::string TPolygonGraphW_t<T>::GetNeighboursDesc(const TNode* n) const {
    std::string s = "(" + Num(n->Data.Pos.x) + ", " + Num(n->Data.Pos.y) + "):";
    for (const TEdge* e : n->Edges) {
        const vec2d& p = e->other(n)->Data.Pos;
        s += "\n  -> (" + Num(p.x) + ", " + Num(p.y) + ") " + (e->Node[0] == n ? "out " : "in ") +
             IndexesDesc(e->Data.Indexes);
    }
    return s;
}

template <class T>
void TPolygonGraphW_t<T>::LogWriteEdgeHandler(const std::string& title, const TEdgeHandler& h) const {
    const vec2d& a = h.From()->Data.Pos;
    const vec2d& b = h.To()->Data.Pos;
    KrLogWriteInfo("KrPolygonGraph", title + ": (" + Num(a.x) + ", " + Num(a.y) + ") -> (" + Num(b.x) + ", " +
                                         Num(b.y) + ") " + IndexesDesc(h.Edge->Data.Indexes));
}

template <class T> void TPolygonGraphW_t<T>::XIniSaveE(TKrXIniWriter* writer) const {
    writer->BeginSectionS("Nodes");
    for (const TNode& n : m_graph.Nodes()) {
        if (!n.alive()) continue;
        writer->BeginSectionS("");
        SavePos(writer, n.Data.Pos);
        writer->EndSectionE();
    }
    writer->EndSectionE();
    writer->BeginSectionS("Edges");
    for (const TEdge& e : m_graph.Edges()) {
        if (!e.alive()) continue;
        writer->BeginSectionS("");
        SaveEdge(writer, e);
        writer->EndSectionE();
    }
    writer->EndSectionE();
}

template class TPolygonGraphW_t<TBoolPolygonGraphWTraits>;
template class TPolygonGraphW_t<TPolygonGraphWTraits>;

namespace {
template <class TContour> void SaveContour(TKrXIniWriter* writer, const TContour& contour) {
    for (const auto& h : contour) {
        writer->BeginSectionS("");
        SavePos(writer, h.From()->Data.Pos);
        writer->EndSectionE();
    }
}
} // namespace

void XIniSaveE(TKrXIniWriter* writer, const TPolygonGraphW::TNode& node) {
    SavePos(writer, node.Data.Pos);
}
void XIniSaveE(TKrXIniWriter* writer, const TPolygonGraphW::TEdge& edge) {
    SaveEdge(writer, edge);
}
void XIniSaveE(TKrXIniWriter* writer, const TPolygonGraphW::TContour& contour) {
    SaveContour(writer, contour);
}
void XIniSaveE(TKrXIniWriter* writer, const TBoolPolygonGraphW::TNode& node) {
    SavePos(writer, node.Data.Pos);
}
void XIniSaveE(TKrXIniWriter* writer, const TBoolPolygonGraphW::TEdge& edge) {
    SaveEdge(writer, edge);
}
void XIniSaveE(TKrXIniWriter* writer, const TBoolPolygonGraphW::TContour& contour) {
    SaveContour(writer, contour);
}

} // namespace kr
