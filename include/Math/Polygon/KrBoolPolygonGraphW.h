// kr::TBoolPolygonGraphW: the two-operand polygon graph that aligns and repairs regions.
#pragma once

#include "Math/Polygon/KrPolygonGraphW.h"

class TKrXIniWriter;

namespace kr {

/// The polygon graph of two operands (indexes 0 and 1). Each edge counts how often, and which
/// way, each operand's boundary runs along it; the region of either operand is rebuilt with Get.
/// Typical use: Init, PutBegin, Put operand 0 and operand 1, PutEnd (resolves), Get each.
///
/// Cost: insertion is O(1) per vertex; resolving visits every queued node and edge with one
/// quad-tree query each, P times with P passes; extraction is linear in the edges.
class KRSTD_API TBoolPolygonGraphW : public TPolygonGraphW_t<TBoolPolygonGraphWTraits> {
public:
    using TPolygonGraphW_t<TBoolPolygonGraphWTraits>::TPolygonGraphW_t;
};

/// XIni dumps of the two-operand graph's nodes, edges and contours (layouts as for TPolygonGraphW).
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TBoolPolygonGraphW::TNode& node);
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TBoolPolygonGraphW::TEdge& edge);
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TBoolPolygonGraphW::TContour& contour);

} // namespace kr
