// clipper: Boolean operations of plane regions on a 64-bit integer grid over the Clipper library.
#include "Math/Polygon/KrPolygonClipper.h"

#include "Math/Polygon/KrPolygonClipperConvert.h"
#include "Math/Polygon/KrPolygonGrid.h"

namespace clipper {

namespace {

enum class TOp { Union, Intersection, Difference, Xor };

template <class A> void ToPaths(const A& a, ClipperLib::Paths& out, double s) {
    if constexpr (std::is_same<A, TKrContour>::value) {
        out.resize(1);
        convert(a, out[0], vec2d(s, s), vec2d(0, 0));
    } else {
        convert(a, out, vec2d(s, s), vec2d(0, 0));
    }
}

template <class A> void ToPaths(const A& a, ClipperLib::Paths& out) {
    convert(a, out);
}

// One Clipper pass: a as subject, b as clip, both closed, even-odd fill. Clipper throws its own
// exception for coordinates beyond its range; that is a refusal like any other.
template <class Out, class Back>
bool Execute(ClipperLib::Clipper& c, ClipperLib::ClipType type, const ClipperLib::Paths& a,
             const ClipperLib::Paths& b, Out& out, const Back& back) {
    try {
        c.Clear();
        if (!c.AddPaths(a, ClipperLib::ptSubject, true)) return false;
        if (!c.AddPaths(b, ClipperLib::ptClip, true)) return false;
        ClipperLib::PolyTree tree;
        if (!c.Execute(type, tree, ClipperLib::pftEvenOdd, ClipperLib::pftEvenOdd)) return false;
        Out part;
        back(tree, part);
        out.insert(out.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
        return true;
    } catch (const ClipperLib::clipperException&) {
        return false;
    }
}

template <class Out, class Back>
bool Run(TOp op, const ClipperLib::Paths& a, const ClipperLib::Paths& b, Out& out, const Back& back) {
    out.clear();
    ClipperLib::Clipper c;
    switch (op) {
    case TOp::Union:
        return Execute(c, ClipperLib::ctUnion, a, b, out, back);
    case TOp::Intersection:
        return Execute(c, ClipperLib::ctIntersection, a, b, out, back);
    case TOp::Difference:
        return Execute(c, ClipperLib::ctDifference, a, b, out, back);
    case TOp::Xor:
        // Two differences instead of Clipper's xor: the pieces of a come first and stay apart
        // from those of b.
        return Execute(c, ClipperLib::ctDifference, a, b, out, back) &&
               Execute(c, ClipperLib::ctDifference, b, a, out, back);
    }
    return false;
}

template <class A, class B> bool Bool(TOp op, const A& a, const B& b, TKrPlanarSet& out, double precision) {
    const double s = KrPolygonGrid::GridScale(precision, "clipper::convert");
    ClipperLib::Paths pa, pb;
    ToPaths(a, pa, s);
    ToPaths(b, pb, s);
    return Run(op, pa, pb, out, [precision](const ClipperLib::PolyTree& t, TKrPlanarSet& r) {
        _convert(t, r, vec2d(precision, precision), vec2d(0, 0));
    });
}

template <class A, class B> bool Bool(TOp op, const A& a, const B& b, kr::TPlanarSet2<int>& out) {
    ClipperLib::Paths pa, pb;
    ToPaths(a, pa);
    ToPaths(b, pb);
    return Run(op, pa, pb, out,
               [](const ClipperLib::PolyTree& t, kr::TPlanarSet2<int>& r) { _convert(t, r); });
}

} // namespace

#define KRSTD_CLIPPER_BOOL_DEF(A, B, OUT, ...)                                                               \
    bool union_(const A& a, const B& b, OUT& out __VA_ARGS__) {                                              \
        return Bool(TOp::Union, a, b, out KRSTD_CLIPPER_ARG);                                                \
    }                                                                                                        \
    bool intersection(const A& a, const B& b, OUT& out __VA_ARGS__) {                                        \
        return Bool(TOp::Intersection, a, b, out KRSTD_CLIPPER_ARG);                                         \
    }                                                                                                        \
    bool difference(const A& a, const B& b, OUT& out __VA_ARGS__) {                                          \
        return Bool(TOp::Difference, a, b, out KRSTD_CLIPPER_ARG);                                           \
    }                                                                                                        \
    bool xor_(const A& a, const B& b, OUT& out __VA_ARGS__) {                                                \
        return Bool(TOp::Xor, a, b, out KRSTD_CLIPPER_ARG);                                                  \
    }

#define KRSTD_CLIPPER_ARG , precision
#define KRSTD_CLIPPER_BOOL_DEF_D(A, B) KRSTD_CLIPPER_BOOL_DEF(A, B, TKrPlanarSet, , double precision)
KRSTD_CLIPPER_BOOL_DEF_D(TKrContour, TKrContour)
KRSTD_CLIPPER_BOOL_DEF_D(TKrContour, TKrDomain)
KRSTD_CLIPPER_BOOL_DEF_D(TKrContour, TKrPlanarSet)
KRSTD_CLIPPER_BOOL_DEF_D(TKrDomain, TKrContour)
KRSTD_CLIPPER_BOOL_DEF_D(TKrDomain, TKrDomain)
KRSTD_CLIPPER_BOOL_DEF_D(TKrDomain, TKrPlanarSet)
KRSTD_CLIPPER_BOOL_DEF_D(TKrPlanarSet, TKrContour)
KRSTD_CLIPPER_BOOL_DEF_D(TKrPlanarSet, TKrDomain)
KRSTD_CLIPPER_BOOL_DEF_D(TKrPlanarSet, TKrPlanarSet)
#undef KRSTD_CLIPPER_ARG
#define KRSTD_CLIPPER_ARG
#define KRSTD_CLIPPER_BOOL_DEF_I(A, B) KRSTD_CLIPPER_BOOL_DEF(kr::A<int>, kr::B<int>, kr::TPlanarSet2<int>, )
KRSTD_CLIPPER_BOOL_DEF_I(TContour2, TContour2)
KRSTD_CLIPPER_BOOL_DEF_I(TContour2, TDomain2)
KRSTD_CLIPPER_BOOL_DEF_I(TContour2, TPlanarSet2)
KRSTD_CLIPPER_BOOL_DEF_I(TDomain2, TContour2)
KRSTD_CLIPPER_BOOL_DEF_I(TDomain2, TDomain2)
KRSTD_CLIPPER_BOOL_DEF_I(TDomain2, TPlanarSet2)
KRSTD_CLIPPER_BOOL_DEF_I(TPlanarSet2, TContour2)
KRSTD_CLIPPER_BOOL_DEF_I(TPlanarSet2, TDomain2)
KRSTD_CLIPPER_BOOL_DEF_I(TPlanarSet2, TPlanarSet2)
#undef KRSTD_CLIPPER_ARG
#undef KRSTD_CLIPPER_BOOL_DEF_I
#undef KRSTD_CLIPPER_BOOL_DEF_D
#undef KRSTD_CLIPPER_BOOL_DEF

} // namespace clipper
