// polygon_align: operands aligned in the polygon graph, then combined by Boost.Geometry.
// The overlays run on the same Boost.Geometry types as the bg back end, so they must be
// instantiated with the same robustness switch (see KrPolygonBG.cpp).
#define BOOST_GEOMETRY_NO_ROBUSTNESS

#include "Math/Polygon/KrPolygonAlign.h"

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "Core/KrExceptions.h"
#include "Core/KrLog.h"
#include "Core/KrMessage.h"
#include "Core/KrProgressHandler.h"
#include "Math/Polygon/KrBoolPolygonGraphW.h"
#include "Math/Polygon/KrBoolPolygonGraphW2.h"
#include "Math/Polygon/KrDomainBool.h"
#include "Math/Polygon/KrPolygonBG.h"
#include "Math/Polygon/KrPolygonBGConvert.h"
#include "Math/Polygon/KrPolygonGraphW.h"
#include "Math/Polygon/KrPolygonPerimeter.h"

#include <boost/geometry/algorithms/equals.hpp>
#include <boost/geometry/algorithms/is_valid.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace polygon_align {

namespace {

namespace bgeo = boost::geometry;

constexpr const char* kModule = "src/Math/Polygon/PolygonAlign";

enum class TOp { Union, Intersection, Difference, Xor };

// The graph takes one direction code for all contours of a region, so outer contours must run
// counter-clockwise and holes clockwise before they go in.
void Orient(TKrPlanarSet& s) {
    for (TKrDomain& d : s)
        for (std::size_t k = 0; k < d.size(); ++k)
            if (d[k].size() >= 3 && (GetContourSignedArea(d[k]) < 0) == (k == 0))
                std::reverse(d[k].begin(), d[k].end());
}

TKrPlanarSet ToSet(const TKrContour& c) {
    TKrPlanarSet s;
    if (!c.empty()) s.push_back({c});
    return s;
}
TKrPlanarSet ToSet(const TKrDomain& d) {
    TKrPlanarSet s;
    if (!d.empty()) s.push_back(d);
    return s;
}
TKrPlanarSet ToSet(const TKrPlanarSet& s) {
    return s;
}

// The graph validates its arguments when it is made; checking first gives the same errors
// when there is nothing to align.
void CheckArgs(kr::CORRECT_MODE mode, double precision) {
    if (!(precision > 0)) throw TKrMessage("@polygon_align: Invalid argument \"Eps\" = %1%") << precision;
    if (mode != kr::CORRECT_MODE_1 && mode != kr::CORRECT_MODE_2)
        throw TKrMessage("@polygon_align: Invalid argument \"Mode\" = %1%") << static_cast<int>(mode);
}

bool AlignOriented(TKrPlanarSet& a, TKrPlanarSet& b, kr::CORRECT_MODE mode, double precision,
                   bool crossings) {
    CheckArgs(mode, precision);
    TKrLimits2d lim = GetLimits(a);
    lim.add(GetLimits(b));
    if (lim.is_empty()) {
        a.clear();
        b.clear();
        return true;
    }
    lim.min -= vec2d(precision, precision);
    lim.max += vec2d(precision, precision);
    kr::TBoolPolygonGraphW g(lim, mode, precision);
    g.PutBegin();
    g.Put(a, 0, 0);
    g.Put(b, 0, 1);
    if (crossings) g.InsertCrossings();
    try {
        g.PutEnd();
        g.Get(a, 0);
        g.Get(b, 1);
    } catch (const TKrMessage&) {
        return false; // the graph has logged it
    }
    return true;
}

bool Combine(TOp op, const TKrPlanarSet& a, const TKrPlanarSet& b, TKrPlanarSet& out) {
    switch (op) {
    case TOp::Union:
        return bg::union_(a, b, out, 0);
    case TOp::Intersection:
        return bg::intersection(a, b, out, 0);
    case TOp::Difference:
        return bg::difference(a, b, out, 0);
    case TOp::Xor:
        return bg::xor_(a, b, out, 0);
    }
    return false;
}

// Boost.Geometry (without rescaling) can misjudge nodes where aligning left edges of different
// rings a hair apart: fuzzing found a union of two valid aligned operands coming back empty and a
// difference losing 32 units of area. Results are therefore held against what areas allow: an
// exclusive or exactly (its two differences must differ by what the operands differ by), the
// others by their bounds and, where such a node exists, by a second overlay (Verified). The slack
// is the operands' perimeters times the precision.
struct TAreas {
    double a, b, slack;
    TAreas(const TKrPlanarSet& sa, const TKrPlanarSet& sb, double precision)
        : a(GetPlanarSetArea(sa)), b(GetPlanarSetArea(sb)),
          slack(precision * (KrPolygonPerimeter::Perimeter(sa) + KrPolygonPerimeter::Perimeter(sb)) +
                1e-9 * (a + b)) {}
    bool Plausible(TOp op, double result) const {
        switch (op) {
        case TOp::Union:
            return result >= std::max(a, b) - slack && result <= a + b + slack;
        case TOp::Intersection:
            return result <= std::min(a, b) + slack;
        case TOp::Difference:
            return result >= a - b - slack && result <= a + slack;
        case TOp::Xor:
            return result >= std::fabs(a - b) - slack && result <= a + b + slack;
        }
        return false;
    }
};

// Exclusive or of aligned operands as the two differences, a - b first.
bool AlignedXor(const TKrPlanarSet& a, const TKrPlanarSet& b, const TAreas& areas, TKrPlanarSet& out,
                bool& plausible) {
    TKrPlanarSet ab, ba;
    if (!bg::difference(a, b, ab, 0) || !bg::difference(b, a, ba, 0)) return false;
    plausible = std::fabs(GetPlanarSetArea(ab) - GetPlanarSetArea(ba) - (areas.a - areas.b)) <= areas.slack;
    out = std::move(ab);
    out.insert(out.end(), std::make_move_iterator(ba.begin()), std::make_move_iterator(ba.end()));
    return true;
}

// Whether some vertex of the aligned operands has two edges leaving it less than 1e-3 rad apart
// without running along each other: the kind of node where the overlay's side decisions failed.
bool HasNarrowNode(const TKrPlanarSet& a, const TKrPlanarSet& b) {
    struct TEnd {
        double x, y, angle;
        bool operator<(const TEnd& o) const {
            return x != o.x ? x < o.x : y != o.y ? y < o.y : angle < o.angle;
        }
    };
    std::vector<TEnd> ends;
    for (const TKrPlanarSet* s : {&a, &b})
        for (const TKrDomain& d : *s)
            for (const TKrContour& c : d)
                for (std::size_t i = 0, n = c.size(); i < n; ++i) {
                    const vec3d& p = c[i];
                    const vec3d& next = c[(i + 1) % n];
                    const vec3d& prev = c[(i + n - 1) % n];
                    ends.push_back({p.x, p.y, std::atan2(next.y - p.y, next.x - p.x)});
                    ends.push_back({p.x, p.y, std::atan2(prev.y - p.y, prev.x - p.x)});
                }
    std::sort(ends.begin(), ends.end());
    constexpr double kNarrow = 1e-3, kTurn = 2 * 3.141592653589793;
    for (std::size_t from = 0, to; from < ends.size(); from = to) {
        for (to = from + 1; to < ends.size() && ends[to].x == ends[from].x && ends[to].y == ends[from].y;
             ++to) {
            const double gap = ends[to].angle - ends[to - 1].angle;
            if (gap > 0 && gap < kNarrow) return true;
        }
        const double wrap = ends[from].angle + kTurn - ends[to - 1].angle;
        if (to - from > 2 && wrap > 0 && wrap < kNarrow) return true;
    }
    return false;
}

// Where the aligned operands have a narrow node, union and intersection (and a difference with the
// intersection) must add up to the operands' areas; a second overlay checks it.
bool Verified(TOp op, const TKrPlanarSet& a, const TKrPlanarSet& b, const TAreas& areas,
              const TKrPlanarSet& result) {
    if (op == TOp::Xor || !HasNarrowNode(a, b)) return true;
    TKrPlanarSet other;
    if (!Combine(op == TOp::Intersection ? TOp::Union : TOp::Intersection, a, b, other)) return false;
    const double r = GetPlanarSetArea(result), o = GetPlanarSetArea(other);
    const double expected = op == TOp::Difference ? areas.a : areas.a + areas.b;
    return std::fabs(r + o - expected) <= areas.slack;
}

template <class A, class B>
bool Bool(TOp op, const A& a, const B& b, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision) {
    TKrPlanarSet sa = ToSet(a), sb = ToSet(b);
    Orient(sa);
    Orient(sb);
    out.clear();
    if (!AlignOriented(sa, sb, mode, precision, false)) return false;
    if (sa.empty() && sb.empty()) return true;
    const TAreas areas(sa, sb, precision);
    bool plausible = true;
    if (op == TOp::Xor) {
        if (!AlignedXor(sa, sb, areas, out, plausible)) return false;
    } else if (!Combine(op, sa, sb, out)) {
        return false;
    }
    if (plausible && areas.Plausible(op, GetPlanarSetArea(out)) && Verified(op, sa, sb, areas, out))
        return true;
    // The operands as given: what the bg back end answers.
    sa = ToSet(a), sb = ToSet(b);
    Orient(sa);
    Orient(sb);
    out.clear();
    return Combine(op, sa, sb, out);
}

// A message naming this unit, the line and the function, with the caught reason in its trace.
[[noreturn]] void Raise(int line, const char* signature) {
    const TKrMessage reason = KrGetExceptionReason();
    TKrMessage m("@%1%: %2%: %3%");
    m << kModule << line << std::string(signature);
    m.AppendMsg(reason);
    KrLogWriteError(m);
    throw m;
}

TKrLimits2d LimitsOf(const std::vector<const TKrPlanarSet*>& sets) {
    TKrLimits2d lim;
    for (const TKrPlanarSet* s : sets)
        if (s) lim.add(GetLimits(*s));
    return lim;
}

// Interleaves the bits of two 16-bit cell numbers: nearby cells get nearby codes.
std::uint64_t Morton(std::uint32_t x, std::uint32_t y) {
    std::uint64_t m = 0;
    for (int b = 0; b < 16; ++b)
        m |= ((std::uint64_t(x) >> b & 1) << (2 * b)) | ((std::uint64_t(y) >> b & 1) << (2 * b + 1));
    return m;
}

constexpr std::size_t kNodeMax = 8;
constexpr std::size_t kNodeMin = 4;

// Sizes of the nodes that n entries are packed into: full nodes of kNodeMax, the last two
// evened out so that no node holds fewer than kNodeMin (n >= kNodeMin).
std::vector<std::size_t> NodeSizes(std::size_t n) {
    std::vector<std::size_t> sizes(n / kNodeMax, kNodeMax);
    const std::size_t rest = n % kNodeMax;
    if (rest == 0) return sizes;
    if (rest >= kNodeMin || sizes.empty()) {
        sizes.push_back(rest);
    } else {
        const std::size_t both = kNodeMax + rest;
        sizes.back() = both - both / 2;
        sizes.push_back(both / 2);
    }
    return sizes;
}

// One level of a sort-tile-recursive packing: the entries sorted by x of their centres into
// vertical slices, each slice sorted by y and cut into nodes. Returns the nodes as index lists.
std::vector<std::vector<std::size_t>> PackLevel(const std::vector<TKrLimits2d>& boxes) {
    const std::size_t n = boxes.size();
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = i;
    auto cx = [&](std::size_t i) { return boxes[i].is_empty() ? 0.0 : boxes[i].center().x; };
    auto cy = [&](std::size_t i) { return boxes[i].is_empty() ? 0.0 : boxes[i].center().y; };
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return cx(a) < cx(b); });
    const std::size_t nodes = (n + kNodeMax - 1) / kNodeMax;
    const std::size_t slices = std::max<std::size_t>(1, std::size_t(std::ceil(std::sqrt(double(nodes)))));
    const std::size_t perSlice = slices * kNodeMax >= n ? (n + slices - 1) / slices : kNodeMax;
    std::vector<std::vector<std::size_t>> out;
    for (std::size_t from = 0; from < n;) {
        // Whole nodes per slice, and a short tail joins the last slice rather than standing alone.
        std::size_t to = std::min(n, from + (perSlice + kNodeMax - 1) / kNodeMax * kNodeMax);
        if (n - to < kNodeMin) to = n;
        std::sort(order.begin() + long(from), order.begin() + long(to),
                  [&](std::size_t a, std::size_t b) { return cy(a) < cy(b); });
        std::size_t at = from;
        for (std::size_t size : NodeSizes(to - from)) {
            out.emplace_back(order.begin() + long(at), order.begin() + long(at + size));
            at += size;
        }
        from = to;
    }
    return out;
}

// The area a single contour winds around a non-zero number of times, as simple domains: the
// contour goes into a graph with its self-crossings noded, and every edge between wound and
// unwound area becomes part of the rebuilt boundary. A bow tie gives its two triangles.
TKrPlanarSet RepairContour(const TKrContour& c, kr::CORRECT_MODE mode, double precision) {
    TKrPlanarSet out;
    const TKrLimits2d l = GetLimits(c);
    if (c.size() < 3 || l.is_empty()) return out;
    TKrLimits2d lim(l.min - vec2d(precision, precision), l.max + vec2d(precision, precision));
    kr::TBoolPolygonGraphW2 g(lim, mode, precision);
    g.PutBegin();
    g.Put(c, true, kr::TPolygonGraphTypes::kDirForward, 0);
    g.InsertCrossings();
    g.PutEnd();
    // Snapping may move an edge across another; a few more rounds node what it made.
    for (int round = 0; round < 4 && g.InsertCrossings() > 0; ++round) {
        g.PutBegin();
        g.PutEnd();
    }
    for (auto& e : g.Graph().Edges()) {
        if (!e.alive()) continue;
        std::uint8_t dir = kr::TPolygonGraphTypes::kDirForward;
        const long n = long(e.Data.Indexes.count(0, &dir));
        const long right = g.RayWinding(&e);
        const long left = right + (dir == kr::TPolygonGraphTypes::kDirBackward ? -n : n);
        auto& r = e.Data.Indexes.Index[1];
        r = kr::TPolygonGraphTypes::TBoolEdgeIndex{};
        if ((left != 0) != (right != 0)) {
            r.Dir = left != 0 ? kr::TPolygonGraphTypes::kDirForward : kr::TPolygonGraphTypes::kDirBackward;
            r.Count = 1;
        }
    }
    g.Get(out, 1, kr::GRAPH_GET_DROP_COLLINEAR);
    return out;
}

std::string Describe(boost::geometry::validity_failure_type failure) {
    switch (failure) {
    case bgeo::failure_few_points:
        return "a contour has too few points";
    case bgeo::failure_wrong_topological_dimension:
        return "a contour encloses no area";
    case bgeo::failure_spikes:
        return "a contour turns back on itself";
    case bgeo::failure_duplicate_points:
        return "a contour repeats a vertex";
    case bgeo::failure_not_closed:
        return "a contour is not closed";
    case bgeo::failure_self_intersections:
        return "its contours cross or touch each other";
    case bgeo::failure_wrong_orientation:
        return "a contour has the wrong orientation";
    case bgeo::failure_interior_rings_outside:
        return "a hole lies outside the outer contour";
    case bgeo::failure_nested_interior_rings:
        return "a hole lies inside another hole";
    case bgeo::failure_disconnected_interior:
        return "holes split the interior";
    case bgeo::failure_intersecting_interiors:
        return "domains overlap";
    case bgeo::failure_invalid_coordinate:
        return "a coordinate is not finite";
    default:
        return "not a valid region";
    }
}

void Progress(TKrProgressHandler* progress, double pos) {
    if (!progress) return;
    progress->SetPosNB(std::min(1.0, pos));
    progress->CheckBreak();
}

template <class V> std::vector<const TKrPlanarSet*> Pointers(const V& sets) {
    std::vector<const TKrPlanarSet*> p;
    p.reserve(sets.size());
    for (const auto& s : sets)
        p.push_back(&s);
    return p;
}

} // namespace

#define KRSTD_ALIGN_BOOL_DEF(A, B)                                                                           \
    bool union_(const A& a, const B& b, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision) {        \
        return Bool(TOp::Union, a, b, out, mode, precision);                                                 \
    }                                                                                                        \
    bool intersection(const A& a, const B& b, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision) {  \
        return Bool(TOp::Intersection, a, b, out, mode, precision);                                          \
    }                                                                                                        \
    bool difference(const A& a, const B& b, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision) {    \
        return Bool(TOp::Difference, a, b, out, mode, precision);                                            \
    }                                                                                                        \
    bool xor_(const A& a, const B& b, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision) {          \
        return Bool(TOp::Xor, a, b, out, mode, precision);                                                   \
    }                                                                                                        \
    bool union_(const A& a, const B& b, TKrPlanarSet& out, double precision) {                               \
        return Bool(TOp::Union, a, b, out, kr::CORRECT_MODE_2, precision);                                   \
    }                                                                                                        \
    bool intersection(const A& a, const B& b, TKrPlanarSet& out, double precision) {                         \
        return Bool(TOp::Intersection, a, b, out, kr::CORRECT_MODE_2, precision);                            \
    }                                                                                                        \
    bool difference(const A& a, const B& b, TKrPlanarSet& out, double precision) {                           \
        return Bool(TOp::Difference, a, b, out, kr::CORRECT_MODE_2, precision);                              \
    }                                                                                                        \
    bool xor_(const A& a, const B& b, TKrPlanarSet& out, double precision) {                                 \
        return Bool(TOp::Xor, a, b, out, kr::CORRECT_MODE_2, precision);                                     \
    }
KRSTD_ALIGN_BOOL_DEF(TKrContour, TKrContour)
KRSTD_ALIGN_BOOL_DEF(TKrContour, TKrDomain)
KRSTD_ALIGN_BOOL_DEF(TKrContour, TKrPlanarSet)
KRSTD_ALIGN_BOOL_DEF(TKrDomain, TKrContour)
KRSTD_ALIGN_BOOL_DEF(TKrDomain, TKrDomain)
KRSTD_ALIGN_BOOL_DEF(TKrDomain, TKrPlanarSet)
KRSTD_ALIGN_BOOL_DEF(TKrPlanarSet, TKrContour)
KRSTD_ALIGN_BOOL_DEF(TKrPlanarSet, TKrDomain)
KRSTD_ALIGN_BOOL_DEF(TKrPlanarSet, TKrPlanarSet)
#undef KRSTD_ALIGN_BOOL_DEF

double getEps(const TKrLimits2d& limits) {
    const vec2d size = limits.is_empty() ? vec2d(0, 0) : limits.size();
    return std::max(1e-10, 2 * std::max(size.x, size.y) * 1e-7);
}
double getEps(const TKrContour& c) {
    return getEps(GetLimits(c));
}
double getEps(const TKrDomain& d) {
    return getEps(GetLimits(d));
}
double getEps(const TKrPlanarSet& s) {
    return getEps(GetLimits(s));
}
double getEps(const std::vector<TKrPlanarSet>& sets) {
    return getEps(LimitsOf(Pointers(sets)));
}

void correct(const TKrContour& region, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision) {
    correct(ToSet(region), out, mode, precision);
}
void correct(const TKrDomain& region, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision) {
    correct(ToSet(region), out, mode, precision);
}
void correct(const TKrPlanarSet& region, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision) {
    CheckArgs(mode, precision);
    // Every contour is first made simple on its own; then each domain is its outer area minus
    // the union of its holes, and the domains are united.
    std::vector<TKrPlanarSet> domains;
    for (const TKrDomain& d : region) {
        if (d.empty()) continue;
        TKrPlanarSet area = RepairContour(d[0], mode, precision);
        if (d.size() > 1) {
            std::vector<TKrPlanarSet> holes;
            for (std::size_t k = 1; k < d.size(); ++k)
                holes.push_back(RepairContour(d[k], mode, precision));
            TKrPlanarSet holeUnion, rest;
            if (!bg::union_(holes, holeUnion, precision, nullptr) ||
                !bg::difference(area, holeUnion, rest, 0))
                throw TKrMessage("@polygon_align::correct: Boost.Geometry rejected the repaired contours");
            area.swap(rest);
        }
        if (!area.empty()) domains.push_back(std::move(area));
    }
    out.clear();
    if (domains.size() == 1)
        out = std::move(domains[0]);
    else if (!domains.empty() && !bg::union_(domains, out, precision, nullptr))
        throw TKrMessage("@polygon_align::correct: Boost.Geometry rejected the repaired domains");
}

bool equals(const TKrPlanarSet& a, const TKrPlanarSet& b, kr::CORRECT_MODE mode, double precision) {
    TKrPlanarSet sa = a, sb = b;
    Orient(sa);
    Orient(sb);
    try {
        if (!AlignOriented(sa, sb, mode, precision, true))
            throw TKrMessage("@polygon_align::equals: the sets could not be aligned");
        if (sa.empty() || sb.empty()) return sa.empty() && sb.empty();
        bg::TMultiPolygon ma, mb;
        bg::convert(sa, ma);
        bg::convert(sb, mb);
        return bgeo::equals(ma, mb);
    } catch (...) {
        Raise(__LINE__,
              "polygon_align::equals(const TKrPlanarSet&, const TKrPlanarSet&, kr::CORRECT_MODE, double)");
    }
}

bool is_valid(const TKrPlanarSet& set, std::string& reason) {
    reason.clear();
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (set[i].empty()) {
            reason = "Domain " + std::to_string(i) + " has no contours";
            return false;
        }
        for (std::size_t k = 0; k < set[i].size(); ++k) {
            const TKrContour& c = set[i][k];
            const std::string where = "Contour " + std::to_string(k) + " of domain " + std::to_string(i);
            for (const vec3d& p : c)
                if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                    reason = where + " has a coordinate that is not finite";
                    return false;
                }
            std::size_t distinct = 0;
            for (std::size_t j = 0; j < c.size(); ++j)
                if (j == 0 || c[j].x != c[j - 1].x || c[j].y != c[j - 1].y) ++distinct;
            if (distinct >= 2 && c.front().x == c.back().x && c.front().y == c.back().y) --distinct;
            if (distinct < 3) {
                reason = where + " has fewer than three distinct vertices";
                return false;
            }
        }
    }
    // Contours first, then each domain alone, then the domains together, so the reason names
    // the smallest part that is at fault.
    bgeo::validity_failure_type failure = bgeo::no_failure;
    for (std::size_t i = 0; i < set.size(); ++i) {
        for (std::size_t k = 0; k < set[i].size(); ++k)
            if (bg::intersects(set[i][k])) {
                reason =
                    "Contour " + std::to_string(k) + " of domain " + std::to_string(i) + " intersects itself";
                return false;
            }
        bg::TPolygon p;
        bg::convert(set[i], p);
        if (!bgeo::is_valid(p, failure)) {
            reason = "Domain " + std::to_string(i) + ": " + Describe(failure);
            return false;
        }
    }
    bg::TMultiPolygon m;
    bg::convert(set, m);
    if (bgeo::is_valid(m, failure)) return true;
    reason = failure == bgeo::failure_self_intersections || failure == bgeo::failure_intersecting_interiors
                 ? "Domains overlap"
                 : Describe(failure);
    return false;
}

bool AlignDomains(TKrPlanarSet& a, TKrPlanarSet& b, kr::CORRECT_MODE mode, double precision, bool crossings) {
    Orient(a);
    Orient(b);
    return AlignOriented(a, b, mode, precision, crossings);
}

bool union_simple(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out, kr::CORRECT_MODE mode,
                  double precision, TKrProgressHandler* progress) {
    CheckArgs(mode, precision);
    out.clear();
    std::vector<TKrPlanarSet> aligned;
    for (const TKrPlanarSet* s : sets)
        if (s && !s->empty()) aligned.push_back(*s);
    if (aligned.empty()) return true;
    bool ok = true;
    if (aligned.size() == 1) {
        ok = bg::union_(aligned[0], out, precision, progress);
    } else {
        for (TKrPlanarSet& s : aligned)
            Orient(s);
        TKrLimits2d lim = LimitsOf(Pointers(aligned));
        lim.min -= vec2d(precision, precision);
        lim.max += vec2d(precision, precision);
        try {
            kr::TPolygonGraphW g(lim, mode, precision);
            g.PutBegin();
            for (std::size_t i = 0; i < aligned.size(); ++i)
                g.Put(aligned[i], 0, i);
            g.PutEnd();
            std::vector<TKrPlanarSet*> slots;
            for (TKrPlanarSet& s : aligned)
                slots.push_back(&s);
            g.Get(slots.data(), slots.size(), 0, nullptr);
        } catch (const TKrMessage&) {
            ok = false;
        }
        ok = ok && bg::union_(aligned, out, precision, progress);
    }
    if (!ok) KrLogWriteError("union_ failed");
    return ok;
}

bool union_use_rtree(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out, kr::CORRECT_MODE mode,
                     double precision, TKrProgressHandler* progress) {
    try {
        std::vector<TKrPlanarSet> level;
        std::vector<TKrLimits2d> boxes;
        for (const TKrPlanarSet* s : sets)
            if (s && !s->empty()) {
                level.push_back(*s);
                boxes.push_back(GetLimits(*s));
            }
        out.clear();
        // Every union of a node removes at least three entries, so this bounds the work.
        const double total = level.size() > 1 ? double(level.size() - 1) / (kNodeMin - 1) : 1;
        double done = 0;
        while (level.size() > 1) {
            std::vector<TKrPlanarSet> next;
            std::vector<TKrLimits2d> nextBoxes;
            for (const std::vector<std::size_t>& node :
                 level.size() <= kNodeMax ? std::vector<std::vector<std::size_t>>{{}} : PackLevel(boxes)) {
                std::vector<const TKrPlanarSet*> members;
                if (node.empty()) // the root
                    members = Pointers(level);
                else
                    for (std::size_t i : node)
                        members.push_back(&level[i]);
                TKrPlanarSet r;
                if (!union_simple(members, r, mode, precision, nullptr)) return false;
                nextBoxes.push_back(GetLimits(r));
                next.push_back(std::move(r));
                Progress(progress, ++done / total);
            }
            level.swap(next);
            boxes.swap(nextBoxes);
        }
        if (!level.empty()) out = std::move(level[0]);
        Progress(progress, 1);
        return true;
    } catch (...) {
        Raise(__LINE__,
              "polygon_align::union_use_rtree(const std::vector<const TKrPlanarSet*>&, TKrPlanarSet&, "
              "kr::CORRECT_MODE, double, TKrProgressHandler*)");
    }
}

bool union_use_map(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out, kr::CORRECT_MODE mode,
                   double precision, TKrProgressHandler* progress) {
    out.clear();
    const TKrLimits2d lim = LimitsOf(sets);
    if (lim.is_empty()) return true;
    const vec2d size = lim.size();
    std::vector<TKrPlanarSet> level;
    {
        std::multimap<std::uint64_t, const TKrPlanarSet*> byCell;
        for (const TKrPlanarSet* s : sets) {
            if (!s || s->empty()) continue;
            const TKrLimits2d l = GetLimits(*s);
            if (l.is_empty()) continue;
            const vec2d c = l.center();
            auto cell = [](double v, double lo, double span) {
                return std::uint32_t(span > 0 ? std::min(65535.0, (v - lo) / span * 65535.0) : 0);
            };
            byCell.emplace(Morton(cell(c.x, lim.min.x, size.x), cell(c.y, lim.min.y, size.y)), s);
        }
        for (const auto& kv : byCell)
            level.push_back(*kv.second);
    }
    const double total = level.size() > 1 ? double(level.size() - 1) / (kNodeMax - 1) + 1 : 1;
    double done = 0;
    while (level.size() > 1) {
        // Neighbours in Morton order stay neighbours in the level above, so groups of
        // consecutive results keep meeting nearby regions only.
        std::vector<TKrPlanarSet> next;
        for (std::size_t from = 0; from < level.size(); from += kNodeMax) {
            std::vector<const TKrPlanarSet*> members;
            for (std::size_t i = from; i < std::min(level.size(), from + kNodeMax); ++i)
                members.push_back(&level[i]);
            TKrPlanarSet r;
            if (!union_simple(members, r, mode, precision, nullptr)) return false;
            next.push_back(std::move(r));
            Progress(progress, ++done / total);
        }
        level.swap(next);
    }
    if (!level.empty()) out = std::move(level[0]);
    Progress(progress, 1);
    return true;
}

bool union_(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out, kr::CORRECT_MODE mode,
            double precision, TKrProgressHandler* progress) {
    if (sets.size() > 7) return union_use_rtree(sets, out, mode, precision, progress);
    return union_simple(sets, out, mode, precision, progress);
}
bool union_(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out, double precision,
            TKrProgressHandler* progress) {
    return union_(sets, out, kr::CORRECT_MODE_2, precision, progress);
}
bool union_(const std::vector<TKrPlanarSet>& sets, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision,
            TKrProgressHandler* progress) {
    return union_(Pointers(sets), out, mode, precision, progress);
}
bool union_(const std::vector<TKrPlanarSet>& sets, TKrPlanarSet& out, double precision,
            TKrProgressHandler* progress) {
    return union_(Pointers(sets), out, kr::CORRECT_MODE_2, precision, progress);
}
bool union_(const std::vector<TKrPlanarSet*>& sets, TKrPlanarSet& out, kr::CORRECT_MODE mode,
            double precision, TKrProgressHandler* progress) {
    return union_(std::vector<const TKrPlanarSet*>(sets.begin(), sets.end()), out, mode, precision, progress);
}
bool union_(const std::vector<TKrPlanarSet*>& sets, TKrPlanarSet& out, double precision,
            TKrProgressHandler* progress) {
    return union_(std::vector<const TKrPlanarSet*>(sets.begin(), sets.end()), out, kr::CORRECT_MODE_2,
                  precision, progress);
}

} // namespace polygon_align
