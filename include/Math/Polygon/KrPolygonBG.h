// bg: Boolean operations, containment, repair and buffers of plane regions over Boost.Geometry.
#pragma once

#include "Core/KrExport.h"
#include "Math/Polygon/KrPolygonTypes.h"

#include <vector>

class TKrProgressHandler;

/// The Boost.Geometry back end: exact double coordinates, counter-clockwise closed rings inside.
/// Every operand is read in x and y only (z is ignored) and passed through Boost.Geometry's
/// `correct`, so rings of either orientation are accepted; results have counter-clockwise outer
/// contours, clockwise holes, no repeated closing vertex and z = 0. Coordinates that are not
/// finite throw a TKrMessage. The precision argument is accepted for symmetry with the grid back
/// ends and ignored. Boolean operations return false when Boost.Geometry rejects its input; cost
/// O((n + k) log n) for n vertices and k crossings.
namespace bg {

// union_, intersection, difference and xor_ for every pair of contour, domain and planar set.
#define KRSTD_BG_BOOL_DECL(A, B)                                                                             \
    KRSTD_API bool union_(const A& a, const B& b, TKrPlanarSet& out, double precision);                      \
    KRSTD_API bool intersection(const A& a, const B& b, TKrPlanarSet& out, double precision);                \
    KRSTD_API bool difference(const A& a, const B& b, TKrPlanarSet& out, double precision);                  \
    KRSTD_API bool xor_(const A& a, const B& b, TKrPlanarSet& out, double precision);                        \
    /** True when `a` lies inside `b`; points of the boundary count as inside. */                            \
    KRSTD_API bool contains(const A& a, const B& b, double precision);
KRSTD_BG_BOOL_DECL(TKrContour, TKrContour)
KRSTD_BG_BOOL_DECL(TKrContour, TKrDomain)
KRSTD_BG_BOOL_DECL(TKrContour, TKrPlanarSet)
KRSTD_BG_BOOL_DECL(TKrDomain, TKrContour)
KRSTD_BG_BOOL_DECL(TKrDomain, TKrDomain)
KRSTD_BG_BOOL_DECL(TKrDomain, TKrPlanarSet)
KRSTD_BG_BOOL_DECL(TKrPlanarSet, TKrContour)
KRSTD_BG_BOOL_DECL(TKrPlanarSet, TKrDomain)
KRSTD_BG_BOOL_DECL(TKrPlanarSet, TKrPlanarSet)
#undef KRSTD_BG_BOOL_DECL

/// True when the point (x, y) lies inside the region or on its boundary.
KRSTD_API bool contains(const vec3d& point, const TKrContour& region, double precision);
KRSTD_API bool contains(const vec3d& point, const TKrDomain& region, double precision);
KRSTD_API bool contains(const vec3d& point, const TKrPlanarSet& region, double precision);

/// True when the region's boundary intersects itself (or, for a planar set, when its domains
/// overlap). O(n log n).
KRSTD_API bool intersects(const TKrContour& region);
KRSTD_API bool intersects(const TKrDomain& region);
KRSTD_API bool intersects(const TKrPlanarSet& region);

/// Repairs orientation in place: outer contours counter-clockwise, holes clockwise; a repeated
/// closing vertex is dropped and z becomes 0. O(n).
KRSTD_API void correct(TKrContour& region);
KRSTD_API void correct(TKrDomain& region);
KRSTD_API void correct(TKrPlanarSet& region);

/// How buffers are built. The left distance grows a region (shrinks it when negative); a line
/// buffer that is asymmetric uses `distanceRight` on the right of the line's direction.
struct TBufferParams {
    enum TEnd { End_Round = 0, End_Flat = 1 };
    enum TJoin { Join_Round = 0, Join_Miter = 1 };
    double distance = 1.0;      ///< left (or both sides when symmetric)
    double distanceRight = 1.0; ///< right side, used only when `asymmetric`
    bool asymmetric = false;
    TEnd end = End_Round;     ///< line ends
    TJoin join = Join_Round;  ///< corners
    double miterLimit = 5.0;  ///< mitred corners longer than this times the distance are cut
    int pointsPerCircle = 36; ///< vertices of a full circle in round ends and joins
};

/// The region grown by the buffer distance (shrunk when negative). Returns false when
/// Boost.Geometry fails. Cost grows with the vertices times points per circle.
KRSTD_API bool buffer(const TKrContour& region, const TBufferParams& params, TKrPlanarSet& out);
KRSTD_API bool buffer(const TKrDomain& region, const TBufferParams& params, TKrPlanarSet& out);
KRSTD_API bool buffer(const TKrPlanarSet& region, const TBufferParams& params, TKrPlanarSet& out);
/// The area around an open polyline (the contour's last vertex is not joined to its first).
KRSTD_API bool line_buffer(const TKrContour& line, const TBufferParams& params, TKrPlanarSet& out);

/// Merges the domain into valid form: the outer contour minus the union of its holes, so
/// overlapping holes are combined and a hole reaching outside cuts the outer boundary.
KRSTD_API bool union_(const TKrDomain& domain, TKrPlanarSet& out, double precision);
/// The union of all domains of the set, combined pairwise in a balanced tree (O(n log n · log d)
/// for d domains). Reports progress and honours cancellation through the nullable handler.
KRSTD_API bool union_(const TKrPlanarSet& set, TKrPlanarSet& out, double precision,
                      TKrProgressHandler* progress);
/// The union of all domains of all sets; null pointers are skipped.
KRSTD_API bool union_(const std::vector<TKrPlanarSet>& sets, TKrPlanarSet& out, double precision,
                      TKrProgressHandler* progress);
KRSTD_API bool union_(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out, double precision,
                      TKrProgressHandler* progress);
KRSTD_API bool union_(const std::vector<TKrPlanarSet*>& sets, TKrPlanarSet& out, double precision,
                      TKrProgressHandler* progress);

} // namespace bg
