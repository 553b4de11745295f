// XIni persistence of contours, domains and planar sets.
#pragma once

#include "Core/KrExport.h"
#include "Math/Polygon/KrPolygonTypes.h"

#include <cstddef>

class TKrXIniReader;
class TKrXIniWriter;

// Layout, written into the current section (the caller opens and names it):
//   contour     one item "P" per vertex, each the three numbers x, y, z (WriteDouble3S);
//   domain      one section "Contour" per contour, outer first;
//   planar set  one section "Domain" per domain.
// Loading takes the section at `index` and reads only items of those names, in order, so other
// items may sit beside them. Malformed items throw the reader's TKrMessage; a vertex that is not
// finite throws "@%1%: vertex %2% is not finite". O(n).

KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TKrContour& contour);
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrContour& contour);
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TKrDomain& domain);
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDomain& domain);
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TKrPlanarSet& set);
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrPlanarSet& set);
