// polygon_align: Boolean operations that align both operands in the polygon graph first.
#pragma once

#include "Core/KrExport.h"
#include "Math/Polygon/KrPolygonTypes.h"

#include <string>
#include <vector>

class TKrProgressHandler;

/// The aligning back end. Both operands go into one two-operand polygon graph with the
/// precision as its snapping tolerance: vertices closer than it are merged, vertices near an
/// edge of the other operand are inserted into that edge, so nearly coincident boundaries
/// become exactly coincident. The two aligned regions are then combined by Boost.Geometry.
/// Operands of either orientation are accepted (each outer contour is turned counter-clockwise,
/// its holes clockwise, before alignment); results have counter-clockwise outer contours,
/// clockwise holes and z = 0. A precision not above 0 or a mode other than 1 or 2 throws a
/// TKrMessage, as do coordinates that are not finite; an internal failure of the graph returns
/// false (the graph logs it). Cost: the graph's resolving, about O(n log n) for n vertices,
/// plus the Boost.Geometry overlay.
namespace polygon_align {

// union_, intersection, difference and xor_ for every pair of contour, domain and planar set,
// with correction mode 2 or with a given mode.
#define KRSTD_ALIGN_BOOL_DECL(A, B)                                                                          \
    KRSTD_API bool union_(const A& a, const B& b, TKrPlanarSet& out, double precision);                      \
    KRSTD_API bool intersection(const A& a, const B& b, TKrPlanarSet& out, double precision);                \
    KRSTD_API bool difference(const A& a, const B& b, TKrPlanarSet& out, double precision);                  \
    KRSTD_API bool xor_(const A& a, const B& b, TKrPlanarSet& out, double precision);                        \
    KRSTD_API bool union_(const A& a, const B& b, TKrPlanarSet& out, kr::CORRECT_MODE mode,                  \
                          double precision);                                                                 \
    KRSTD_API bool intersection(const A& a, const B& b, TKrPlanarSet& out, kr::CORRECT_MODE mode,            \
                                double precision);                                                           \
    KRSTD_API bool difference(const A& a, const B& b, TKrPlanarSet& out, kr::CORRECT_MODE mode,              \
                              double precision);                                                             \
    KRSTD_API bool xor_(const A& a, const B& b, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision);
KRSTD_ALIGN_BOOL_DECL(TKrContour, TKrContour)
KRSTD_ALIGN_BOOL_DECL(TKrContour, TKrDomain)
KRSTD_ALIGN_BOOL_DECL(TKrContour, TKrPlanarSet)
KRSTD_ALIGN_BOOL_DECL(TKrDomain, TKrContour)
KRSTD_ALIGN_BOOL_DECL(TKrDomain, TKrDomain)
KRSTD_ALIGN_BOOL_DECL(TKrDomain, TKrPlanarSet)
KRSTD_ALIGN_BOOL_DECL(TKrPlanarSet, TKrContour)
KRSTD_ALIGN_BOOL_DECL(TKrPlanarSet, TKrDomain)
KRSTD_ALIGN_BOOL_DECL(TKrPlanarSet, TKrPlanarSet)
#undef KRSTD_ALIGN_BOOL_DECL

/// A default precision for regions of this extent: max(1e-10, 2·max(width, height)·1e-7)
/// (1e-10 for empty limits). The region forms take the region's limits first. O(n).
KRSTD_API double getEps(const TKrLimits2d& limits);
KRSTD_API double getEps(const TKrContour& c);
KRSTD_API double getEps(const TKrDomain& d);
KRSTD_API double getEps(const TKrPlanarSet& s);
KRSTD_API double getEps(const std::vector<TKrPlanarSet>& sets);

/// Repairs a region through the graph: vertices closer than the precision are merged, proper
/// self-crossings become vertices, and the area covered a positive number of times (each
/// contour taken with its orientation as a domain's outer contour or hole) is written to `out`
/// as disjoint domains. Throws a TKrMessage for a bad mode or precision.
KRSTD_API void correct(const TKrContour& region, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision);
KRSTD_API void correct(const TKrDomain& region, TKrPlanarSet& out, kr::CORRECT_MODE mode, double precision);
KRSTD_API void correct(const TKrPlanarSet& region, TKrPlanarSet& out, kr::CORRECT_MODE mode,
                       double precision);

/// True when the two sets cover the same area once aligned onto each other (so vertex order,
/// start vertex and differences below the precision do not matter). An internal failure is
/// raised as a TKrMessage with the reason in its trace.
KRSTD_API bool equals(const TKrPlanarSet& a, const TKrPlanarSet& b, kr::CORRECT_MODE mode, double precision);

/// True when the set is a valid region: finite coordinates, contours of at least three distinct
/// vertices, no self-crossing boundaries, holes inside their domain and domains not
/// overlapping. Otherwise `reason` tells the first problem found; it is cleared on success.
KRSTD_API bool is_valid(const TKrPlanarSet& set, std::string& reason);

/// Aligns the two sets onto each other in place (both replaced by their regions rebuilt from a
/// shared graph). With `crossings` the proper crossings between the boundaries become vertices
/// of both, so the results share every point their boundaries meet in. Returns false when the
/// graph fails (logged); throws a TKrMessage for a bad mode or precision.
KRSTD_API bool AlignDomains(TKrPlanarSet& a, TKrPlanarSet& b, kr::CORRECT_MODE mode, double precision,
                            bool crossings);

/// The union of all sets (null pointers skipped): union_use_rtree above 7 sets, union_simple
/// otherwise. Cancellation through the nullable handler surfaces as its exception.
KRSTD_API bool union_(const std::vector<TKrPlanarSet>& sets, TKrPlanarSet& out, double precision,
                      TKrProgressHandler* progress);
KRSTD_API bool union_(const std::vector<TKrPlanarSet>& sets, TKrPlanarSet& out, kr::CORRECT_MODE mode,
                      double precision, TKrProgressHandler* progress);
KRSTD_API bool union_(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out, double precision,
                      TKrProgressHandler* progress);
KRSTD_API bool union_(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out, kr::CORRECT_MODE mode,
                      double precision, TKrProgressHandler* progress);
KRSTD_API bool union_(const std::vector<TKrPlanarSet*>& sets, TKrPlanarSet& out, double precision,
                      TKrProgressHandler* progress);
KRSTD_API bool union_(const std::vector<TKrPlanarSet*>& sets, TKrPlanarSet& out, kr::CORRECT_MODE mode,
                      double precision, TKrProgressHandler* progress);

/// All sets aligned against each other in one many-input graph, then united by Boost.Geometry.
/// On failure writes "union_ failed" to the error log and returns false. Cost grows with the
/// total vertex count; best for a few sets.
KRSTD_API bool union_simple(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out,
                            kr::CORRECT_MODE mode, double precision, TKrProgressHandler* progress);
/// Sets packed into an R-tree over their limits (nodes of 4 to 8 entries); the entries of every
/// node are united with union_simple, from the leaves upwards, so each union meets only nearby
/// regions. Internal failures are raised as a TKrMessage "@<module>: <line>: <signature>".
KRSTD_API bool union_use_rtree(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out,
                               kr::CORRECT_MODE mode, double precision, TKrProgressHandler* progress);
/// Sets grouped by a map keyed on the Morton code of their centres, eight consecutive ones per
/// union_simple, level by level. Simpler than the R-tree and as good for sets of similar size.
KRSTD_API bool union_use_map(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out,
                             kr::CORRECT_MODE mode, double precision, TKrProgressHandler* progress);

} // namespace polygon_align
