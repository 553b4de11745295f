// TKrTXTWriter: the vector text blocks, formatted with std::to_chars so no locale reaches them.
#include "Output/KrTXTWriter.h"
#include "Streams/KrBufferedWriter.h"
#include "Streams/KrFileStream.h"

#include <charconv>
#include <cstring>
#include <string>
#include <type_traits>

const char* TKrTXTWriter::s_szPoint = "Point";
const char* TKrTXTWriter::s_szPoints = "Points";
const char* TKrTXTWriter::s_szLine = "Line";
const char* TKrTXTWriter::s_szLines = "Lines";
const char* TKrTXTWriter::s_szPlanarSet = "PlanarSet";

namespace {

constexpr std::size_t kScratchSize = 1024;
constexpr std::size_t kOutputBuffer = 64 * 1024;
const char* const kMeshLayer = "TriMesh";
// Beyond this many decimals every digit of a double is 0 (the smallest subnormal, 2^-1074, has
// 1074 of them), so longer precisions are formatted at this one and padded with zeros.
constexpr int kMaxExactDecimals = 1074;

/// One output line, built in the writer's scratch buffer; a line that does not fit (a long
/// name, a huge precision) moves to the heap.
class TLine {
public:
    explicit TLine(char* scratch) : m_buf(scratch) {}

    void Append(const char* p, std::size_t n) {
        if (m_big.empty() && m_len + n <= kScratchSize) {
            std::memcpy(m_buf + m_len, p, n);
            m_len += n;
            return;
        }
        Spill();
        m_big.append(p, n);
    }
    void Append(const char* s) { Append(s, std::strlen(s)); }
    void Append(char c) { Append(&c, 1); }

    /// printf's "%.*f": a negative precision means 6.
    void AppendFixed(double v, int precision) {
        if (precision < 0) precision = 6;
        if (m_big.empty() && precision <= kMaxExactDecimals) {
            const auto r =
                std::to_chars(m_buf + m_len, m_buf + kScratchSize, v, std::chars_format::fixed, precision);
            if (r.ec == std::errc()) {
                m_len = static_cast<std::size_t>(r.ptr - m_buf);
                return;
            }
        }
        AppendFixedSlow(v, precision);
    }
    /// printf's "%d" (any integer).
    template <class I> void AppendInt(I v) {
        char tmp[24];
        Append(tmp, static_cast<std::size_t>(std::to_chars(tmp, tmp + sizeof tmp, v).ptr - tmp));
    }
    /// printf's "%0.2d" of a non-negative index: at least two digits.
    void AppendIndex2(std::size_t i) {
        if (i < 10) Append('0');
        AppendInt(i);
    }

    const char* data() const { return m_big.empty() ? m_buf : m_big.data(); }
    std::size_t size() const { return m_big.empty() ? m_len : m_big.size(); }

private:
    void Spill() {
        if (m_big.empty()) m_big.assign(m_buf, m_len);
    }
    void AppendFixedSlow(double v, int precision) {
        const int exact = precision < kMaxExactDecimals ? precision : kMaxExactDecimals;
        std::string tmp(static_cast<std::size_t>(exact) + 330, '\0'); // 309 integer digits, sign, point
        const auto r = std::to_chars(&tmp[0], &tmp[0] + tmp.size(), v, std::chars_format::fixed, exact);
        tmp.resize(static_cast<std::size_t>(r.ptr - tmp.data()));
        // inf and nan have no decimals to pad
        if (precision > exact && !tmp.empty() && tmp.back() >= '0' && tmp.back() <= '9')
            tmp.append(static_cast<std::size_t>(precision - exact), '0');
        Append(tmp.data(), tmp.size());
    }

    char* m_buf;
    std::size_t m_len = 0;
    std::string m_big;
};

std::string IndexedName(const char* base, const char* infix, std::size_t i) {
    std::string s = base ? base : "";
    s += infix;
    if (i < 10) s += '0';
    s += std::to_string(i);
    return s;
}

} // namespace

TKrTXTWriter::TKrTXTWriter() : m_buffer(new char[kScratchSize]), m_precision(8) {}

TKrTXTWriter::TKrTXTWriter(const TKrPath& path, int precision) : TKrTXTWriter() {
    m_precision = precision;
    Create(path);
}

TKrTXTWriter::TKrTXTWriter(const var_a<TKrStream*>& stream, int precision) : TKrTXTWriter() {
    m_precision = precision;
    if (stream && static_cast<bool>(*stream)) {
        m_stream = stream;
        m_out = std::make_unique<TKrBufferedWriter>(m_stream.get(), kOutputBuffer);
    }
}

TKrTXTWriter::~TKrTXTWriter() {
    delete[] m_buffer;
}

bool TKrTXTWriter::Create(const TKrPath& path) {
    Destroy();
    var_a<TKrFileStream*> file = TKrFileStream::VCreateE(path, krCreate);
    if (!file->IsOpen()) return false;
    m_stream = file;
    m_out = std::make_unique<TKrBufferedWriter>(m_stream.get(), kOutputBuffer);
    return true;
}

void TKrTXTWriter::Destroy() noexcept {
    m_out.reset();
    m_stream.reset();
}

bool TKrTXTWriter::Ready() const noexcept {
    return m_out && !m_out->Failed();
}

bool TKrTXTWriter::PutText(const char* text, std::size_t n) {
    return m_out->Write(text, n) && !m_out->Failed();
}

bool TKrTXTWriter::Finish() {
    return m_out->Flush() && !m_out->Failed();
}

bool TKrTXTWriter::PutHeader(char type, const char* layer, std::size_t count, const char* name,
                             std::int32_t color) {
    if (!layer) layer = "";
    if (!name) name = "";
    TLine line(m_buffer);
    line.Append(type);
    line.Append(" \"", 2);
    line.Append(layer);
    line.Append("\" 0 ", 4);
    line.AppendInt(count + 5);
    line.Append(" 4 \"", 4);
    line.Append(layer);
    line.Append("\"\nOBJECT_NAME=", 14);
    line.Append(name);
    line.Append("\nOBJECT_COLOR=", 14);
    line.AppendInt(color);
    line.Append("\nOBJECT_SYMBOL=\nOBJECT_SIZE=1\n", 30);
    return PutText(line.data(), line.size());
}

bool TKrTXTWriter::PutVertex(const vec3d& p, int precision) {
    TLine line(m_buffer);
    line.AppendFixed(p.x, precision);
    line.Append(',');
    line.AppendFixed(p.y, precision);
    line.Append(',');
    line.AppendFixed(p.z, precision);
    line.Append('\n');
    return PutText(line.data(), line.size());
}

bool TKrTXTWriter::PutVertex(const vec2d& p, int precision) {
    TLine line(m_buffer);
    line.AppendFixed(p.x, precision);
    line.Append(',');
    line.AppendFixed(p.y, precision);
    line.Append(",0.0\n", 5);
    return PutText(line.data(), line.size());
}

// A lone 2D point writes its zero height at the writer's precision, unlike polyline vertices.
bool TKrTXTWriter::PutPoint(const vec2d& p) {
    return PutVertex(vec3d(p.x, p.y, 0.0), m_precision);
}

bool TKrTXTWriter::SaveHeader(char type, const char* layer, std::size_t count, const char* name,
                              std::int32_t color) {
    return Ready() && PutHeader(type, layer, count, name, color) && Finish();
}

template <class V>
bool TKrTXTWriter::SavePointT(const V& point, const char* layer, const char* name, std::int32_t color) {
    if (!Ready()) return false;
    if (!layer) layer = s_szPoints;
    bool ok = PutHeader('P', layer, 1, name, color);
    if constexpr (std::is_same_v<V, vec2d>)
        ok = ok && PutPoint(point);
    else
        ok = ok && PutVertex(point, m_precision);
    ok = ok && PutText("*\n", 2);
    return Finish() && ok;
}

bool TKrTXTWriter::SavePoint(const vec2d& point, const char* layer, const char* name, std::int32_t color) {
    return SavePointT(point, layer, name, color);
}
bool TKrTXTWriter::SavePoint(const vec3d& point, const char* layer, const char* name, std::int32_t color) {
    return SavePointT(point, layer, name, color);
}

template <class V>
bool TKrTXTWriter::SavePointsT(const V* points, std::size_t count, const char* layer, const char* baseName,
                               std::int32_t color) {
    if (!Ready()) return false;
    if (!layer) layer = s_szPoints;
    if (!baseName) baseName = s_szPoint;
    bool ok = true;
    for (std::size_t i = 0; ok && i < count; ++i) {
        const std::string name = IndexedName(baseName, "_", i);
        ok = PutHeader('P', layer, 1, name.c_str(), color);
        if constexpr (std::is_same_v<V, vec2d>)
            ok = ok && PutPoint(points[i]);
        else
            ok = ok && PutVertex(points[i], m_precision);
        ok = ok && PutText("*\n", 2);
    }
    return Finish() && ok;
}

bool TKrTXTWriter::SavePoints(const vec2d* points, std::size_t count, const char* layer, const char* baseName,
                              std::int32_t color) {
    return SavePointsT(points, count, layer, baseName, color);
}
bool TKrTXTWriter::SavePoints(const vec3d* points, std::size_t count, const char* layer, const char* baseName,
                              std::int32_t color) {
    return SavePointsT(points, count, layer, baseName, color);
}

template <class V>
bool TKrTXTWriter::SavePolylineT(const V* points, std::size_t count, bool closed, const char* layer,
                                 const char* name, std::int32_t color) {
    if (!Ready()) return false;
    if (!layer) layer = s_szLines;
    const std::size_t lines = count + (closed && count > 0 ? 1 : 0);
    bool ok = PutHeader(closed ? 'C' : 'L', layer, lines, name, color);
    for (std::size_t i = 0; ok && i < count; ++i)
        ok = PutVertex(points[i], m_precision);
    if (ok && closed && count > 0) ok = PutVertex(points[0], m_precision);
    ok = ok && PutText("*\n", 2);
    return Finish() && ok;
}

bool TKrTXTWriter::SavePolyline(const vec2d* points, std::size_t count, bool closed, const char* layer,
                                const char* name, std::int32_t color) {
    return SavePolylineT(points, count, closed, layer, name, color);
}
bool TKrTXTWriter::SavePolyline(const vec3d* points, std::size_t count, bool closed, const char* layer,
                                const char* name, std::int32_t color) {
    return SavePolylineT(points, count, closed, layer, name, color);
}

bool TKrTXTWriter::SaveContour(const vec2d* points, std::size_t count, const char* layer, const char* name,
                               std::int32_t color) {
    return SavePolylineT(points, count, true, layer, name, color);
}
bool TKrTXTWriter::SaveContour(const vec3d* points, std::size_t count, const char* layer, const char* name,
                               std::int32_t color) {
    return SavePolylineT(points, count, true, layer, name, color);
}
bool TKrTXTWriter::SaveContour(const std::vector<vec2d>& contour, const char* layer, const char* name,
                               std::int32_t color) {
    return SavePolylineT(contour.data(), contour.size(), true, layer, name, color);
}
bool TKrTXTWriter::SaveContour(const TKrContour& contour, const char* layer, const char* name,
                               std::int32_t color) {
    return SavePolylineT(contour.data(), contour.size(), true, layer, name, color);
}

bool TKrTXTWriter::SaveContours(const TKrContour* contours, std::size_t count, const char* layer,
                                const char* const* names, std::int32_t color) {
    if (!Ready()) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string generated = names ? std::string() : "Contour_" + std::to_string(i);
        if (!SaveContour(contours[i], layer, names ? names[i] : generated.c_str(), color)) return false;
    }
    return true;
}

bool TKrTXTWriter::SaveContours(const TKrContour* const* contours, std::size_t count, const char* layer,
                                const char* const* names, std::int32_t color) {
    if (!Ready()) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string generated = names ? std::string() : "Contour_" + std::to_string(i);
        if (!SaveContour(*contours[i], layer, names ? names[i] : generated.c_str(), color)) return false;
    }
    return true;
}

bool TKrTXTWriter::SaveDomain(const TKrDomain& domain, const char* layer, const char* baseName,
                              std::int32_t color) {
    if (!Ready()) return false;
    if (!baseName) baseName = "Dmn";
    for (std::size_t i = 0; i < domain.size(); ++i) {
        const std::string name = IndexedName(baseName, "_Cnt_", i);
        if (!SaveContour(domain[i], layer, name.c_str(), color)) return false;
    }
    return true;
}

bool TKrTXTWriter::SavePlanarSet(const TKrPlanarSet& set, const char* layer, const char* name,
                                 std::int32_t color) {
    if (!Ready()) return false;
    if (!layer) layer = name && *name ? name : s_szPlanarSet;
    for (std::size_t i = 0; i < set.size(); ++i) {
        const std::string base = IndexedName(name, "_Dmn_", i);
        if (!SaveDomain(set[i], layer, base.c_str(), color)) return false;
    }
    return true;
}

bool TKrTXTWriter::SavePlanarSets(const TKrPlanarSet* sets, std::size_t count, const char* layer,
                                  const char* const* names, std::int32_t color) {
    if (!Ready()) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string generated = names ? std::string() : IndexedName("Pls", "_", i);
        if (!SavePlanarSet(sets[i], layer, names ? names[i] : generated.c_str(), color)) return false;
    }
    return true;
}

bool TKrTXTWriter::SaveMeshBegin(std::size_t vertexCount, std::size_t secondCount, const char* layer,
                                 const char* name, std::int32_t color) {
    if (secondCount != 0 || !Ready()) return false;
    return PutHeader('T', layer ? layer : kMeshLayer, vertexCount, name, color) && Finish();
}

bool TKrTXTWriter::SaveMeshPoints(const vec3d* points, std::size_t count) {
    if (count == 0) return true;
    if (!Ready()) return false;
    bool ok = true;
    for (std::size_t i = 0; ok && i < count; ++i)
        ok = PutVertex(points[i], 8);
    return Finish() && ok;
}

bool TKrTXTWriter::SaveMeshEnd() {
    return Ready() && PutText("*\n", 2) && Finish();
}

// The one-object file forms ------------------------------------------------------------------

bool TKrTXTWriter::SavePoint(const TKrPath& file, const vec2d& point, const char* layer, const char* name,
                             std::int32_t color) {
    return TKrTXTWriter(file).SavePoint(point, layer, name, color);
}
bool TKrTXTWriter::SavePoint(const TKrPath& file, const vec3d& point, const char* layer, const char* name,
                             std::int32_t color) {
    return TKrTXTWriter(file).SavePoint(point, layer, name, color);
}
bool TKrTXTWriter::SavePoints(const TKrPath& file, const vec2d* points, std::size_t count, const char* layer,
                              const char* baseName, std::int32_t color) {
    return TKrTXTWriter(file).SavePoints(points, count, layer, baseName, color);
}
bool TKrTXTWriter::SavePoints(const TKrPath& file, const vec3d* points, std::size_t count, const char* layer,
                              const char* baseName, std::int32_t color) {
    return TKrTXTWriter(file).SavePoints(points, count, layer, baseName, color);
}
bool TKrTXTWriter::SavePolyline(const TKrPath& file, const vec2d* points, std::size_t count, bool closed,
                                const char* layer, const char* name, std::int32_t color) {
    return TKrTXTWriter(file).SavePolyline(points, count, closed, layer, name, color);
}
bool TKrTXTWriter::SavePolyline(const TKrPath& file, const vec3d* points, std::size_t count, bool closed,
                                const char* layer, const char* name, std::int32_t color) {
    return TKrTXTWriter(file).SavePolyline(points, count, closed, layer, name, color);
}
bool TKrTXTWriter::SaveContour(const TKrPath& file, const vec2d* points, std::size_t count, const char* layer,
                               const char* name, std::int32_t color) {
    return TKrTXTWriter(file).SaveContour(points, count, layer, name, color);
}
bool TKrTXTWriter::SaveContour(const TKrPath& file, const vec3d* points, std::size_t count, const char* layer,
                               const char* name, std::int32_t color) {
    return TKrTXTWriter(file).SaveContour(points, count, layer, name, color);
}
bool TKrTXTWriter::SaveContour(const TKrPath& file, const std::vector<vec2d>& contour, const char* layer,
                               const char* name, std::int32_t color) {
    return TKrTXTWriter(file).SaveContour(contour, layer, name, color);
}
bool TKrTXTWriter::SaveContour(const TKrPath& file, const TKrContour& contour, const char* layer,
                               const char* name, std::int32_t color) {
    return TKrTXTWriter(file).SaveContour(contour, layer, name, color);
}
bool TKrTXTWriter::SaveContours(const TKrPath& file, const TKrContour* contours, std::size_t count,
                                const char* layer, const char* const* names, std::int32_t color) {
    return TKrTXTWriter(file).SaveContours(contours, count, layer, names, color);
}
bool TKrTXTWriter::SaveContours(const TKrPath& file, const TKrContour* const* contours, std::size_t count,
                                const char* layer, const char* const* names, std::int32_t color) {
    return TKrTXTWriter(file).SaveContours(contours, count, layer, names, color);
}
bool TKrTXTWriter::SaveDomain(const TKrPath& file, const TKrDomain& domain, const char* layer,
                              const char* baseName, std::int32_t color) {
    return TKrTXTWriter(file).SaveDomain(domain, layer, baseName, color);
}
bool TKrTXTWriter::SavePlanarSet(const TKrPath& file, const TKrPlanarSet& set, const char* layer,
                                 const char* name, std::int32_t color) {
    return TKrTXTWriter(file).SavePlanarSet(set, layer, name, color);
}
bool TKrTXTWriter::SavePlanarSets(const TKrPath& file, const TKrPlanarSet* sets, std::size_t count,
                                  const char* layer, const char* const* names, std::int32_t color) {
    return TKrTXTWriter(file).SavePlanarSets(sets, count, layer, names, color);
}
bool TKrTXTWriter::SaveMesh(const TKrPath& file, const vec3d* points, std::size_t count, const char* layer,
                            const char* name, std::int32_t color) {
    TKrTXTWriter w(file);
    return w.SaveMeshBegin(count, 0, layer, name, color) && w.SaveMeshPoints(points, count) &&
           w.SaveMeshEnd();
}
