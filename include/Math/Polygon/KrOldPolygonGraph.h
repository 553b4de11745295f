// kr::old: the earlier generation of the polygon graphs, kept for callers written against it.
#pragma once

#include "Math/Polygon/KrBoolPolygonGraphW.h"

namespace kr {
namespace old {

/// The earlier two-operand graph. It snaps every vertex as it is put in (an existing node within
/// the tolerance is reused, edges passing that close are split at once) instead of deferring the
/// work to resolving passes; PutEnd then only splits edges at nodes they pass. Same role and
/// interface as kr::TBoolPolygonGraphW; slower on large inputs, identical on small ones.
class KRSTD_API TBoolPolygonGraph : public TBoolPolygonGraphW {
public:
    TBoolPolygonGraph() { SetPassesCount(0); }
    TBoolPolygonGraph(const TKrLimits2d& lim, CORRECT_MODE mode, double eps)
        : TBoolPolygonGraphW(lim, mode, eps) {
        SetPassesCount(0);
    }
};

/// The earlier many-input graph, snapping on insertion like TBoolPolygonGraph.
class KRSTD_API TPolygonGraph : public TPolygonGraphW {
public:
    TPolygonGraph() { SetPassesCount(0); }
    TPolygonGraph(const TKrLimits2d& lim, CORRECT_MODE mode, double eps) : TPolygonGraphW(lim, mode, eps) {
        SetPassesCount(0);
    }
};

} // namespace old
} // namespace kr
