// TKrTXTWriter: points, polylines, contours, domains, planar sets and meshes as vector text blocks.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Math/Polygon/KrPolygonTypes.h"
#include "Streams/KrStream.h"
#include "System/KrPath.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TKrBufferedWriter;

/// Writes geometry into the line-oriented vector text format other tools import. Each object is
/// one block: the header line `X "layer" 0 N 4 "layer"` (N = vertex lines + 5), the lines
/// OBJECT_NAME=, OBJECT_COLOR=, OBJECT_SYMBOL= and OBJECT_SIZE=1, one "x,y,z" line per vertex and
/// a "*" line; lines end with a line feed. Numbers are written in fixed notation with the
/// writer's precision, independent of the process locale.
///
/// Every Save returns false when no stream is held or a write failed; after a failed write every
/// later Save fails too. Output is collected in a 64 KiB buffer and handed to the stream at the
/// end of each Save, so a Save costs one stream write per 64 KiB, not one per line. Null layer
/// and name arguments take the defaults of each operation; a null name writes an empty one.
/// The static forms taking a file name first write one object into a new file (precision 8).
/// One thread at a time.
class KRSTD_API TKrTXTWriter {
public:
    /// Default object and layer names.
    static const char* s_szPoint;     // "Point"
    static const char* s_szPoints;    // "Points"
    static const char* s_szLine;      // "Line"
    static const char* s_szLines;     // "Lines"
    static const char* s_szPlanarSet; // "PlanarSet"

    /// A writer without a stream; every Save fails until Create.
    TKrTXTWriter();
    /// Creates (or truncates) the file; open failures throw as the file stream throws them.
    explicit TKrTXTWriter(const TKrPath& path, int precision = 8);
    /// Shares `stream`; a stream that is not open is dropped and the writer stays uncreated.
    explicit TKrTXTWriter(const var_a<TKrStream*>& stream, int precision = 8);
    /// Releases the stream; never throws (every Save has already handed its output on).
    ~TKrTXTWriter();
    TKrTXTWriter(const TKrTXTWriter&) = delete;
    TKrTXTWriter& operator=(const TKrTXTWriter&) = delete;

    /// Releases an earlier stream and creates (or truncates) the file; true when it is open.
    /// Open failures throw as the file stream throws them.
    bool Create(const TKrPath& path);
    /// Releases the stream.
    void Destroy() noexcept;
    bool IsCreated() const noexcept { return static_cast<bool>(m_stream); }
    /// Digits after the decimal point of coordinates (8 by default; negative means 6).
    int GetPrecision() const noexcept { return m_precision; }
    void SetPrecision(int precision) noexcept { m_precision = precision; }

    /// Lines 1 to 5 of a block of type `type` whose vertex lines number `count`.
    bool SaveHeader(char type, const char* layer, std::size_t count, const char* name, std::int32_t color);

    /// One P block; a 2D point gets z = 0 written at the writer's precision. Layer "Points".
    bool SavePoint(const vec2d& point, const char* layer = nullptr, const char* name = nullptr,
                   std::int32_t color = 0);
    bool SavePoint(const vec3d& point, const char* layer = nullptr, const char* name = nullptr,
                   std::int32_t color = 0);
    /// One P block per point, named baseName_00, baseName_01, ... (base "Point", layer "Points").
    bool SavePoints(const vec2d* points, std::size_t count, const char* layer = nullptr,
                    const char* baseName = nullptr, std::int32_t color = 0);
    bool SavePoints(const vec3d* points, std::size_t count, const char* layer = nullptr,
                    const char* baseName = nullptr, std::int32_t color = 0);

    /// An L block, or with `closed` a C block repeating the first vertex last (nothing for an
    /// empty figure). 2D vertices get the third field "0.0". Layer "Lines".
    bool SavePolyline(const vec2d* points, std::size_t count, bool closed, const char* layer = nullptr,
                      const char* name = nullptr, std::int32_t color = 0);
    bool SavePolyline(const vec3d* points, std::size_t count, bool closed, const char* layer = nullptr,
                      const char* name = nullptr, std::int32_t color = 0);

    /// A closed SavePolyline.
    bool SaveContour(const vec2d* points, std::size_t count, const char* layer = nullptr,
                     const char* name = nullptr, std::int32_t color = 0);
    bool SaveContour(const vec3d* points, std::size_t count, const char* layer = nullptr,
                     const char* name = nullptr, std::int32_t color = 0);
    bool SaveContour(const std::vector<vec2d>& contour, const char* layer = nullptr,
                     const char* name = nullptr, std::int32_t color = 0);
    bool SaveContour(const TKrContour& contour, const char* layer = nullptr, const char* name = nullptr,
                     std::int32_t color = 0);

    /// One C block per contour, named names[i], or Contour_<i> when `names` is null.
    bool SaveContours(const TKrContour* contours, std::size_t count, const char* layer = nullptr,
                      const char* const* names = nullptr, std::int32_t color = 0);
    bool SaveContours(const TKrContour* const* contours, std::size_t count, const char* layer = nullptr,
                      const char* const* names = nullptr, std::int32_t color = 0);

    /// One C block per contour, named baseName_Cnt_00, ... (base "Dmn", layer "Lines").
    bool SaveDomain(const TKrDomain& domain, const char* layer = nullptr, const char* baseName = nullptr,
                    std::int32_t color = 0);
    /// Domain i is saved with the base name name_Dmn_<i> (two digits at least); the layer is
    /// `layer`, else `name`, else "PlanarSet".
    bool SavePlanarSet(const TKrPlanarSet& set, const char* layer = nullptr, const char* name = nullptr,
                       std::int32_t color = 0);
    /// Set i is saved under names[i], or Pls_<i> (two digits at least) when `names` is null.
    bool SavePlanarSets(const TKrPlanarSet* sets, std::size_t count, const char* layer = nullptr,
                        const char* const* names = nullptr, std::int32_t color = 0);

    /// A T block header for vertexCount vertices (layer "TriMesh"). A non-zero secondCount fails
    /// at once and writes nothing. Follow with SaveMeshPoints and SaveMeshEnd.
    bool SaveMeshBegin(std::size_t vertexCount, std::size_t secondCount = 0, const char* layer = nullptr,
                       const char* name = nullptr, std::int32_t color = 0);
    /// `count` vertex lines, always with eight decimals.
    bool SaveMeshPoints(const vec3d* points, std::size_t count);
    /// The terminator line of the mesh block.
    bool SaveMeshEnd();

    // One object into a new file (created or truncated; open failures throw).
    static bool SavePoint(const TKrPath& file, const vec2d& point, const char* layer = nullptr,
                          const char* name = nullptr, std::int32_t color = 0);
    static bool SavePoint(const TKrPath& file, const vec3d& point, const char* layer = nullptr,
                          const char* name = nullptr, std::int32_t color = 0);
    static bool SavePoints(const TKrPath& file, const vec2d* points, std::size_t count,
                           const char* layer = nullptr, const char* baseName = nullptr,
                           std::int32_t color = 0);
    static bool SavePoints(const TKrPath& file, const vec3d* points, std::size_t count,
                           const char* layer = nullptr, const char* baseName = nullptr,
                           std::int32_t color = 0);
    static bool SavePolyline(const TKrPath& file, const vec2d* points, std::size_t count, bool closed,
                             const char* layer = nullptr, const char* name = nullptr, std::int32_t color = 0);
    static bool SavePolyline(const TKrPath& file, const vec3d* points, std::size_t count, bool closed,
                             const char* layer = nullptr, const char* name = nullptr, std::int32_t color = 0);
    static bool SaveContour(const TKrPath& file, const vec2d* points, std::size_t count,
                            const char* layer = nullptr, const char* name = nullptr, std::int32_t color = 0);
    static bool SaveContour(const TKrPath& file, const vec3d* points, std::size_t count,
                            const char* layer = nullptr, const char* name = nullptr, std::int32_t color = 0);
    static bool SaveContour(const TKrPath& file, const std::vector<vec2d>& contour,
                            const char* layer = nullptr, const char* name = nullptr, std::int32_t color = 0);
    static bool SaveContour(const TKrPath& file, const TKrContour& contour, const char* layer = nullptr,
                            const char* name = nullptr, std::int32_t color = 0);
    static bool SaveContours(const TKrPath& file, const TKrContour* contours, std::size_t count,
                             const char* layer = nullptr, const char* const* names = nullptr,
                             std::int32_t color = 0);
    static bool SaveContours(const TKrPath& file, const TKrContour* const* contours, std::size_t count,
                             const char* layer = nullptr, const char* const* names = nullptr,
                             std::int32_t color = 0);
    static bool SaveDomain(const TKrPath& file, const TKrDomain& domain, const char* layer = nullptr,
                           const char* baseName = nullptr, std::int32_t color = 0);
    static bool SavePlanarSet(const TKrPath& file, const TKrPlanarSet& set, const char* layer = nullptr,
                              const char* name = nullptr, std::int32_t color = 0);
    static bool SavePlanarSets(const TKrPath& file, const TKrPlanarSet* sets, std::size_t count,
                               const char* layer = nullptr, const char* const* names = nullptr,
                               std::int32_t color = 0);
    /// A whole mesh block (begin, vertices, end) into a new file.
    static bool SaveMesh(const TKrPath& file, const vec3d* points, std::size_t count,
                         const char* layer = nullptr, const char* name = nullptr, std::int32_t color = 0);

private:
    template <class V>
    bool SavePointT(const V& point, const char* layer, const char* name, std::int32_t color);
    template <class V>
    bool SavePointsT(const V* points, std::size_t count, const char* layer, const char* baseName,
                     std::int32_t color);
    template <class V>
    bool SavePolylineT(const V* points, std::size_t count, bool closed, const char* layer, const char* name,
                       std::int32_t color);
    bool PutHeader(char type, const char* layer, std::size_t count, const char* name, std::int32_t color);
    bool PutVertex(const vec2d& p, int precision);
    bool PutVertex(const vec3d& p, int precision);
    bool PutPoint(const vec2d& p);
    bool PutText(const char* text, std::size_t n);
    bool Finish();
    bool Ready() const noexcept;

    var_a<TKrStream*> m_stream;
    char* m_buffer;  // the 1024-byte scratch line
    int m_precision; // digits after the decimal point
    std::unique_ptr<TKrBufferedWriter> m_out;
};
