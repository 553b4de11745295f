// Brightness/contrast/gamma lookup tables and the per-sample fallback.
#include "Raster/KrBCGTransformFunction.h"
#include "Raster/KrDibChannels.h"

#include <cmath>
#include <cstring>

namespace {

// round(bcg(v / max) · max) clamped to 0..max; NaN gives 0.
std::uint32_t TableEntry(const TBCGConverter& c, double v, double max) {
    const double y = c.transform_bcg(v / max) * max;
    if (!(y > 0)) return 0;
    if (y >= max) return static_cast<std::uint32_t>(max);
    return static_cast<std::uint32_t>(std::floor(y + 0.5));
}

} // namespace

TBCGTransformFunction::~TBCGTransformFunction() = default;

void TBCGTransformFunction::SetBCG(double b, double c, double g) {
    TBCGConverter next;
    next.Init(b, c, g);
    SetBCGEffective(next.a, next.k, next.g);
}

void TBCGTransformFunction::SetBCGEffective(double a, double k, double g) {
    TBCGConverter next;
    next.InitEffective(a, k, g);
    if (next == m_converter) return; // the table already holds these parameters
    m_converter = next;
    Rebuild();
}

void TBCGTransformFunction::TransformSamples(char* out, const char* in, std::size_t n,
                                             std::size_t step) const {
    for (std::size_t i = 0; i < n; ++i, out += step, in += step)
        Transform(out, in);
}

T8bitBCGTF::T8bitBCGTF() {
    Rebuild();
}

void T8bitBCGTF::Rebuild() {
    for (unsigned v = 0; v < 256; ++v)
        m_table[v] = static_cast<std::uint8_t>(TableEntry(m_converter, v, 255.0));
}

void T8bitBCGTF::TransformSamples(char* out, const char* in, std::size_t n, std::size_t step) const {
    const std::uint8_t* t = m_table;
    auto* o = reinterpret_cast<unsigned char*>(out);
    const auto* s = reinterpret_cast<const unsigned char*>(in);
    if (step == 1) {
        // Four independent lookups per round keep the load ports busy.
        std::size_t i = 0;
        for (; i + 4 <= n; i += 4) {
            const unsigned char a = t[s[i]], b = t[s[i + 1]], c = t[s[i + 2]], d = t[s[i + 3]];
            o[i] = a;
            o[i + 1] = b;
            o[i + 2] = c;
            o[i + 3] = d;
        }
        for (; i < n; ++i)
            o[i] = t[s[i]];
        return;
    }
    for (std::size_t i = 0; i < n; ++i, o += step, s += step)
        *o = t[*s];
}

T16bitBCGTF::T16bitBCGTF() : m_table(65536) {
    Rebuild();
}

void T16bitBCGTF::Rebuild() {
    for (unsigned v = 0; v < 65536; ++v)
        m_table[v] = static_cast<std::uint16_t>(TableEntry(m_converter, v, 65535.0));
}

void T16bitBCGTF::Transform(char* out, const char* in) const {
    std::uint16_t v;
    std::memcpy(&v, in, 2);
    v = m_table[v];
    std::memcpy(out, &v, 2);
}

void T16bitBCGTF::TransformSamples(char* out, const char* in, std::size_t n, std::size_t step) const {
    const std::uint16_t* t = m_table.data();
    for (std::size_t i = 0; i < n; ++i, out += step, in += step) {
        std::uint16_t v;
        std::memcpy(&v, in, 2);
        v = t[v];
        std::memcpy(out, &v, 2);
    }
}

TGenericBCGTF::TGenericBCGTF(std::int32_t type, std::size_t bytesPS) : m_type(type), m_bytesPS(bytesPS) {
    GetChannelNNMaxValue(bytesPS, type); // throws for a type the accessors do not know
}

void TGenericBCGTF::Transform(char* out, const char* in) const {
    SetChannelValue(out, m_bytesPS, m_type,
                    m_converter.transform_bcg(GetChannelValue(in, m_bytesPS, m_type)));
}
