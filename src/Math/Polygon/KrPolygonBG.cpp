// bg: Boolean operations, containment, repair, buffers and merges of plane regions over Boost.Geometry.
// Boost.Geometry of this generation rescales coordinates onto an integer grid inside its overlay
// unless told otherwise; that moves crossing points by up to 1e-7 of the extent, which this back
// end, exact in doubles, must not do. Only this unit runs overlays, so the switch stays local
// (a program that links the static library and runs its own overlays on the same types must
// define it as well, or the two instantiations differ).
#define BOOST_GEOMETRY_NO_ROBUSTNESS

#include "Math/Polygon/KrPolygonBG.h"

// Boost.Geometry's envelope strategies start a box in a state g++ 12 cannot prove initialised
// once inlined into the overlay code (a known false positive of its headers); the warning is
// attributed to this unit, so it is silenced here rather than for the whole build.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "Core/KrProgressHandler.h"
#include "Math/Polygon/KrPolygonBGConvert.h"

#include <boost/geometry/algorithms/buffer.hpp>
#include <boost/geometry/algorithms/covered_by.hpp>
#include <boost/geometry/algorithms/difference.hpp>
#include <boost/geometry/algorithms/intersection.hpp>
#include <boost/geometry/algorithms/intersects.hpp>
#include <boost/geometry/algorithms/union.hpp>
#include <boost/geometry/strategies/buffer.hpp>
#include <boost/geometry/strategies/strategies.hpp>

#include <exception>
#include <iterator>
#include <utility>

namespace bg {

namespace {

namespace bgeo = boost::geometry;

enum class TOp { Union, Intersection, Difference, Xor };

TPolygon ToBg(const TKrContour& c) {
    TPolygon p;
    convert(c, p);
    return p;
}
TPolygon ToBg(const TKrDomain& d) {
    TPolygon p;
    convert(d, p);
    return p;
}
TMultiPolygon ToBg(const TKrPlanarSet& s) {
    TMultiPolygon m;
    convert(s, m);
    return m;
}

// Boost.Geometry reports input it cannot handle (for example self-crossing rings) by throwing
// its own exceptions; the facade turns them into a false return.
template <class GA, class GB> bool Run(TOp op, const GA& a, const GB& b, TMultiPolygon& r) {
    try {
        switch (op) {
        case TOp::Union:
            bgeo::union_(a, b, r);
            break;
        case TOp::Intersection:
            bgeo::intersection(a, b, r);
            break;
        case TOp::Difference:
            bgeo::difference(a, b, r);
            break;
        case TOp::Xor: {
            // As the two differences side by side: they share no interior, and this generation's
            // sym_difference drops pieces of crossing star polygons that both differences keep.
            TMultiPolygon ba;
            bgeo::difference(a, b, r);
            bgeo::difference(b, a, ba);
            r.insert(r.end(), std::make_move_iterator(ba.begin()), std::make_move_iterator(ba.end()));
            break;
        }
        }
        return true;
    } catch (const bgeo::exception&) {
        return false;
    }
}

template <class A, class B> bool Bool(TOp op, const A& a, const B& b, TKrPlanarSet& out) {
    const auto ga = ToBg(a);
    const auto gb = ToBg(b);
    TMultiPolygon r;
    if (!Run(op, ga, gb, r)) return false;
    convert(r, out);
    return true;
}

// Balanced pairwise union of the pieces: every piece takes part in O(log n) unions rather than
// the O(n) of a running union, which keeps large merges near O(n log n).
bool MergeAll(std::vector<TMultiPolygon>& pieces, TKrPlanarSet& out, TKrProgressHandler* progress) {
    const std::size_t total = pieces.size() > 1 ? pieces.size() - 1 : 1;
    std::size_t done = 0;
    while (pieces.size() > 1) {
        std::vector<TMultiPolygon> next;
        next.reserve((pieces.size() + 1) / 2);
        for (std::size_t i = 0; i + 1 < pieces.size(); i += 2) {
            TMultiPolygon r;
            if (!Run(TOp::Union, pieces[i], pieces[i + 1], r)) return false;
            next.push_back(std::move(r));
            if (progress) {
                progress->SetPosNB(double(++done) / double(total));
                progress->CheckBreak();
            }
        }
        if (pieces.size() % 2) next.push_back(std::move(pieces.back()));
        pieces.swap(next);
    }
    out.clear();
    if (!pieces.empty()) convert(pieces[0], out);
    if (progress) progress->SetPosNB(1.0);
    return true;
}

void AddDomains(const TKrPlanarSet& s, std::vector<TMultiPolygon>& pieces) {
    for (const TKrDomain& d : s) {
        TMultiPolygon m;
        m.resize(1);
        convert(d, m[0]);
        pieces.push_back(std::move(m));
    }
}

template <class G, class Distance>
bool BufferWith(const G& g, const TBufferParams& p, const Distance& distance, TKrPlanarSet& out) {
    const int points = p.pointsPerCircle < 3 ? 3 : p.pointsPerCircle;
    const bgeo::strategy::buffer::side_straight side;
    const bgeo::strategy::buffer::point_circle circle(points);
    TMultiPolygon r;
    try {
        auto withJoin = [&](const auto& join) {
            if (p.end == TBufferParams::End_Flat)
                bgeo::buffer(g, r, distance, side, join, bgeo::strategy::buffer::end_flat(), circle);
            else
                bgeo::buffer(g, r, distance, side, join, bgeo::strategy::buffer::end_round(points), circle);
        };
        if (p.join == TBufferParams::Join_Miter)
            withJoin(bgeo::strategy::buffer::join_miter(p.miterLimit));
        else
            withJoin(bgeo::strategy::buffer::join_round(points));
    } catch (const bgeo::exception&) {
        return false;
    }
    convert(r, out);
    return true;
}

template <class G> bool Buffer(const G& g, const TBufferParams& p, TKrPlanarSet& out) {
    if (p.asymmetric)
        return BufferWith(
            g, p, bgeo::strategy::buffer::distance_asymmetric<double>(p.distance, p.distanceRight), out);
    return BufferWith(g, p, bgeo::strategy::buffer::distance_symmetric<double>(p.distance), out);
}

} // namespace

#define KRSTD_BG_BOOL_DEF(A, B)                                                                              \
    bool union_(const A& a, const B& b, TKrPlanarSet& out, double) {                                         \
        return Bool(TOp::Union, a, b, out);                                                                  \
    }                                                                                                        \
    bool intersection(const A& a, const B& b, TKrPlanarSet& out, double) {                                   \
        return Bool(TOp::Intersection, a, b, out);                                                           \
    }                                                                                                        \
    bool difference(const A& a, const B& b, TKrPlanarSet& out, double) {                                     \
        return Bool(TOp::Difference, a, b, out);                                                             \
    }                                                                                                        \
    bool xor_(const A& a, const B& b, TKrPlanarSet& out, double) {                                           \
        return Bool(TOp::Xor, a, b, out);                                                                    \
    }                                                                                                        \
    bool contains(const A& a, const B& b, double) {                                                          \
        return bgeo::covered_by(ToBg(a), ToBg(b));                                                           \
    }
KRSTD_BG_BOOL_DEF(TKrContour, TKrContour)
KRSTD_BG_BOOL_DEF(TKrContour, TKrDomain)
KRSTD_BG_BOOL_DEF(TKrContour, TKrPlanarSet)
KRSTD_BG_BOOL_DEF(TKrDomain, TKrContour)
KRSTD_BG_BOOL_DEF(TKrDomain, TKrDomain)
KRSTD_BG_BOOL_DEF(TKrDomain, TKrPlanarSet)
KRSTD_BG_BOOL_DEF(TKrPlanarSet, TKrContour)
KRSTD_BG_BOOL_DEF(TKrPlanarSet, TKrDomain)
KRSTD_BG_BOOL_DEF(TKrPlanarSet, TKrPlanarSet)
#undef KRSTD_BG_BOOL_DEF

bool contains(const vec3d& point, const TKrContour& region, double) {
    return bgeo::covered_by(TPoint(point.x, point.y), ToBg(region));
}
bool contains(const vec3d& point, const TKrDomain& region, double) {
    return bgeo::covered_by(TPoint(point.x, point.y), ToBg(region));
}
bool contains(const vec3d& point, const TKrPlanarSet& region, double) {
    return bgeo::covered_by(TPoint(point.x, point.y), ToBg(region));
}

bool intersects(const TKrContour& region) {
    TRing r;
    convert(region, r);
    return bgeo::intersects(r);
}
bool intersects(const TKrDomain& region) {
    return bgeo::intersects(ToBg(region));
}
bool intersects(const TKrPlanarSet& region) {
    return bgeo::intersects(ToBg(region));
}

void correct(TKrContour& region) {
    TRing r;
    convert(region, r);
    convert(r, region);
}
void correct(TKrDomain& region) {
    convert(ToBg(region), region);
}
void correct(TKrPlanarSet& region) {
    convert(ToBg(region), region);
}

bool buffer(const TKrContour& region, const TBufferParams& params, TKrPlanarSet& out) {
    return Buffer(ToBg(region), params, out);
}
bool buffer(const TKrDomain& region, const TBufferParams& params, TKrPlanarSet& out) {
    return Buffer(ToBg(region), params, out);
}
bool buffer(const TKrPlanarSet& region, const TBufferParams& params, TKrPlanarSet& out) {
    return Buffer(ToBg(region), params, out);
}

bool line_buffer(const TKrContour& line, const TBufferParams& params, TKrPlanarSet& out) {
    TRing check; // the finite-coordinate check of the conversions
    _convert(line, check, false);
    TLineString ls(check.begin(), check.end());
    return Buffer(ls, params, out);
}

bool union_(const TKrDomain& domain, TKrPlanarSet& out, double) {
    out.clear();
    if (domain.empty()) return true;
    TMultiPolygon outer;
    outer.resize(1);
    convert(domain[0], outer[0]);
    std::vector<TMultiPolygon> holes;
    for (std::size_t i = 1; i < domain.size(); ++i) {
        TMultiPolygon h;
        h.resize(1);
        convert(domain[i], h[0]);
        holes.push_back(std::move(h));
    }
    TKrPlanarSet holeSet;
    if (!MergeAll(holes, holeSet, nullptr)) return false;
    TMultiPolygon holeUnion, r;
    convert(holeSet, holeUnion);
    if (!Run(TOp::Difference, outer, holeUnion, r)) return false;
    convert(r, out);
    return true;
}

bool union_(const TKrPlanarSet& set, TKrPlanarSet& out, double, TKrProgressHandler* progress) {
    std::vector<TMultiPolygon> pieces;
    AddDomains(set, pieces);
    return MergeAll(pieces, out, progress);
}

bool union_(const std::vector<TKrPlanarSet>& sets, TKrPlanarSet& out, double, TKrProgressHandler* progress) {
    std::vector<TMultiPolygon> pieces;
    for (const TKrPlanarSet& s : sets)
        AddDomains(s, pieces);
    return MergeAll(pieces, out, progress);
}

bool union_(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out, double,
            TKrProgressHandler* progress) {
    std::vector<TMultiPolygon> pieces;
    for (const TKrPlanarSet* s : sets)
        if (s) AddDomains(*s, pieces);
    return MergeAll(pieces, out, progress);
}

bool union_(const std::vector<TKrPlanarSet*>& sets, TKrPlanarSet& out, double precision,
            TKrProgressHandler* progress) {
    return union_(std::vector<const TKrPlanarSet*>(sets.begin(), sets.end()), out, precision, progress);
}

} // namespace bg
