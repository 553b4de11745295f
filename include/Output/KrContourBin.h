// Contours and domains in a compact little-endian binary record on a standard I/O stream.
#pragma once

#include "Core/KrExport.h"
#include "Math/Polygon/KrPolygonTypes.h"

#include <cstdio>

// A contour record is: unsigned 64-bit version (1), unsigned 64-bit vertex count n, then n
// vertices of three IEEE-754 doubles x, y, z (24 bytes each). A domain is an unsigned 64-bit
// contour count followed by that many contour records. Every function returns false for a null
// file and as soon as a read or write transfers less than asked; a failed load leaves what was
// read so far.

/// Writes the contour record at the file's position.
KRSTD_API bool SaveContourAsBIN(const TKrContour& contour, std::FILE* file);
/// Reads a contour record; its version word is not checked. The contour grows as vertices
/// arrive, so a count larger than the file holds fails at the file's end instead of allocating
/// for the count.
KRSTD_API bool LoadContourAsBIN(TKrContour& contour, std::FILE* file);
/// Writes the contour count and every contour record.
KRSTD_API bool SaveDomainAsBIN(const TKrDomain& domain, std::FILE* file);
/// Reads the contour count and that many contour records; a count of 0 gives an empty domain.
KRSTD_API bool LoadDomainAsBIN(TKrDomain& domain, std::FILE* file);
