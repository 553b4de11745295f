// bp: Boolean operations of plane regions on a 32-bit integer grid over Boost.Polygon.
#include "Math/Polygon/KrPolygonBP.h"

#include "Math/Polygon/KrPolygonBPConvert.h"

namespace bp {

namespace {

enum class TOp { Union, Intersection, Difference, Xor };

void Insert(const TPolygonWithHoles& p, TPolygonSet& set) {
    set.insert(p);
}
void Insert(const std::vector<TPolygonWithHoles>& v, TPolygonSet& set) {
    set.insert(v.begin(), v.end());
}

template <class A> void ToSet(const A& a, TPolygonSet& set, double precision) {
    std::conditional_t<std::is_same<A, TKrPlanarSet>::value, std::vector<TPolygonWithHoles>,
                       TPolygonWithHoles>
        g;
    convert(a, g, precision);
    Insert(g, set);
}

template <class A> void ToSet(const A& a, TPolygonSet& set) {
    std::conditional_t<std::is_same<A, kr::TPlanarSet2<int>>::value, std::vector<TPolygonWithHoles>,
                       TPolygonWithHoles>
        g;
    convert(a, g);
    Insert(g, set);
}

void Apply(TOp op, TPolygonSet& a, const TPolygonSet& b, std::vector<TPolygonWithHoles>& r) {
    using namespace boost::polygon::operators;
    switch (op) {
    case TOp::Union:
        a |= b;
        break;
    case TOp::Intersection:
        a &= b;
        break;
    case TOp::Difference:
        a -= b;
        break;
    case TOp::Xor:
        a ^= b;
        break;
    }
    a.get(r);
}

template <class A, class B> bool Bool(TOp op, const A& a, const B& b, TKrPlanarSet& out, double precision) {
    TPolygonSet sa, sb;
    ToSet(a, sa, precision);
    ToSet(b, sb, precision);
    std::vector<TPolygonWithHoles> r;
    Apply(op, sa, sb, r);
    convert(r, out, precision);
    return true;
}

template <class A, class B> bool Bool(TOp op, const A& a, const B& b, kr::TPlanarSet2<int>& out) {
    TPolygonSet sa, sb;
    ToSet(a, sa);
    ToSet(b, sb);
    std::vector<TPolygonWithHoles> r;
    Apply(op, sa, sb, r);
    convert(r, out);
    return true;
}

} // namespace

#define KRSTD_BP_BOOL_DEF(A, B, OUT, ...)                                                                    \
    bool union_(const A& a, const B& b, OUT& out __VA_ARGS__) {                                              \
        return Bool(TOp::Union, a, b, out KRSTD_BP_ARG);                                                     \
    }                                                                                                        \
    bool intersection(const A& a, const B& b, OUT& out __VA_ARGS__) {                                        \
        return Bool(TOp::Intersection, a, b, out KRSTD_BP_ARG);                                              \
    }                                                                                                        \
    bool difference(const A& a, const B& b, OUT& out __VA_ARGS__) {                                          \
        return Bool(TOp::Difference, a, b, out KRSTD_BP_ARG);                                                \
    }                                                                                                        \
    bool xor_(const A& a, const B& b, OUT& out __VA_ARGS__) {                                                \
        return Bool(TOp::Xor, a, b, out KRSTD_BP_ARG);                                                       \
    }

#define KRSTD_BP_ARG , precision
#define KRSTD_BP_BOOL_DEF_D(A, B) KRSTD_BP_BOOL_DEF(A, B, TKrPlanarSet, , double precision)
KRSTD_BP_BOOL_DEF_D(TKrContour, TKrContour)
KRSTD_BP_BOOL_DEF_D(TKrContour, TKrDomain)
KRSTD_BP_BOOL_DEF_D(TKrContour, TKrPlanarSet)
KRSTD_BP_BOOL_DEF_D(TKrDomain, TKrContour)
KRSTD_BP_BOOL_DEF_D(TKrDomain, TKrDomain)
KRSTD_BP_BOOL_DEF_D(TKrDomain, TKrPlanarSet)
KRSTD_BP_BOOL_DEF_D(TKrPlanarSet, TKrContour)
KRSTD_BP_BOOL_DEF_D(TKrPlanarSet, TKrDomain)
KRSTD_BP_BOOL_DEF_D(TKrPlanarSet, TKrPlanarSet)
#undef KRSTD_BP_ARG
#define KRSTD_BP_ARG
#define KRSTD_BP_BOOL_DEF_I(A, B) KRSTD_BP_BOOL_DEF(kr::A<int>, kr::B<int>, kr::TPlanarSet2<int>, )
KRSTD_BP_BOOL_DEF_I(TContour2, TContour2)
KRSTD_BP_BOOL_DEF_I(TContour2, TDomain2)
KRSTD_BP_BOOL_DEF_I(TContour2, TPlanarSet2)
KRSTD_BP_BOOL_DEF_I(TDomain2, TContour2)
KRSTD_BP_BOOL_DEF_I(TDomain2, TDomain2)
KRSTD_BP_BOOL_DEF_I(TDomain2, TPlanarSet2)
KRSTD_BP_BOOL_DEF_I(TPlanarSet2, TContour2)
KRSTD_BP_BOOL_DEF_I(TPlanarSet2, TDomain2)
KRSTD_BP_BOOL_DEF_I(TPlanarSet2, TPlanarSet2)
#undef KRSTD_BP_ARG
#undef KRSTD_BP_BOOL_DEF_I
#undef KRSTD_BP_BOOL_DEF_D
#undef KRSTD_BP_BOOL_DEF

} // namespace bp
