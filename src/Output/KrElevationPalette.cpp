// Elevation palettes: the analytic and the table palettes, the built-in tables and the registry.
#include "Output/KrElevationPalette.h"
#include "Core/KrExceptions.h"
#include "Core/KrModule.h"

#include <algorithm>

std::vector<var_a<TKrElevationPalette*>> TKrElevationPalette::s_Palettes;

TKrElevationPalette::TKrElevationPalette(const std::string& name, const std::string& titleId)
    : m_name(name), m_titleId(titleId) {}

TKrElevationPalette::~TKrElevationPalette() = default;

std::string TKrElevationPalette::GetTitle() const {
    return KrModule_Initializer::instance().get_resource_string(m_titleId);
}

bool TKrElevationPalette::RegisterPalette(const var_a<TKrElevationPalette*>& palette) {
    if (!palette) return false;
    const std::string& name = palette->GetName();
    for (const auto& p : s_Palettes)
        if (p->GetName() == name) return false;
    s_Palettes.push_back(palette);
    return true;
}

bool TKrElevationPalette::UnregisterPalette(const var_a<TKrElevationPalette*>& palette) {
    auto it = std::find_if(s_Palettes.begin(), s_Palettes.end(),
                           [&](const var_a<TKrElevationPalette*>& p) { return p.get() == palette.get(); });
    if (!palette || it == s_Palettes.end()) return false;
    s_Palettes.erase(it);
    return true;
}

var_a<TKrElevationPalette*> TKrElevationPalette::GetPalette(const std::string& name) {
    for (const auto& p : s_Palettes)
        if (p->GetName() == name) return p;
    return var_a<TKrElevationPalette*>();
}

void TKrElevationPalette::GetRegisteredNames(std::vector<std::string>& names) {
    names.clear();
    names.reserve(s_Palettes.size());
    for (const auto& p : s_Palettes)
        names.push_back(p->GetName());
}

namespace {
// The built-in tables, entry 0 (t = 0) first, as 0xBBGGRR.
const TKrColorRef kRainbow[16] = {0x3B1230, 0xA74341, 0xE97147, 0xFE9C3E, 0xE1C621, 0xB5E51B,
                                  0x82F848, 0x4DFF89, 0x34F5BB, 0x38DCE2, 0x38B9FB, 0x268BFD,
                                  0x1159EF, 0x0533D4, 0x0117AC, 0x03047A};
const TKrColorRef kTerrain[16] = {0x141414, 0x22384D, 0x315B86, 0x3F7FBF, 0x2A7FD4, 0x157FEA,
                                  0x007FFF, 0x00AAFF, 0x00D4FF, 0x00FFFF, 0x00FFAA, 0x00FF55,
                                  0x00FF00, 0x40EA00, 0x7FD400, 0xBFBF00};
const TKrColorRef kTopography[16] = {0x030605, 0x192726, 0x26392D, 0x293E18, 0x3C5B2B, 0x4C7437,
                                     0x598A3E, 0x609B5D, 0x67AB7F, 0x6FBAA5, 0x76CCD1, 0x70C6DC,
                                     0x5CA7C7, 0x4588B8, 0x3C7ABD, 0x3F7FD7};
} // namespace

void TKrElevationPalette::Initialize() {
    RegisterPalette(new_a<TKrStdElevationPalette>("std", "global.Elevation_palette_KR"));
    RegisterPalette(new_a<TKrTableElevationPalette>("def", "global.Elevation_palette_Rainbow", kRainbow, 16));
    RegisterPalette(
        new_a<TKrTableElevationPalette>("elev", "global.Elevation_palette_Terrain", kTerrain, 16));
    RegisterPalette(
        new_a<TKrTableElevationPalette>("nwrc", "global.Elevation_palette_Topography", kTopography, 16));
}

void TKrElevationPalette::Uninitialize() noexcept {
    // Swap first, so that a palette's destructor never sees a half-emptied registry.
    std::vector<var_a<TKrElevationPalette*>> released;
    released.swap(s_Palettes);
}

// The analytic palette -----------------------------------------------------------------------

TKrStdElevationPalette::TKrStdElevationPalette(const std::string& name, const std::string& titleId)
    : TKrElevationPalette(name, titleId) {}

void TKrStdElevationPalette::GetColor(double t, TKrColorRef* color) const {
    *color = GetHSColorRef(t);
}

void TKrStdElevationPalette::GetColor(double t, vec3d* color) const {
    *color = GetHSColor(t);
}

vec3d GetHSColor(double t) noexcept {
    const double s = t * (1 - t);
    vec3d c;
    if (t < 0.5) {
        c.x = 3.92 * s;
        c.y = 3.0 * s + 0.23;
    } else {
        c.x = 1.56 * s + 0.59;
        c.y = 3.67 * s + 0.063;
    }
    c.z = t < 0.25 ? 0.16 - 0.64 * t : 0.0;
    return c;
}

namespace {
// Truncation toward zero, then clamped; the clamp comes first in doubles so that huge values
// and NaN never reach the integer conversion.
unsigned TruncChannel(double v) noexcept {
    const double x = v * 255;
    if (!(x > 0)) return 0;
    if (x >= 255) return 255;
    return static_cast<unsigned>(x);
}
} // namespace

TKrColorRef GetHSColorRef(double t) noexcept {
    const vec3d c = GetHSColor(t);
    return KrRGB(TruncChannel(c.x), TruncChannel(c.y), TruncChannel(c.z));
}

// The table palette ---------------------------------------------------------------------------

TKrTableElevationPalette::TKrTableElevationPalette(const std::string& name, const std::string& titleId,
                                                   const TKrColorRef* table, int TableSize)
    : TKrElevationPalette(name, titleId), m_tableSize(TableSize), m_table(nullptr), m_grad(nullptr),
      m_maxIndex(TableSize - 1) {
    KR_CHECK(TableSize > 1);
    m_table = new vec3d[2 * std::size_t(TableSize)];
    m_grad = m_table + TableSize;
    for (int i = 0; i < TableSize; ++i)
        m_table[i] = SetColorRef(table[i]);
    FillGrad();
}

TKrTableElevationPalette::TKrTableElevationPalette(const std::string& name, const std::string& titleId,
                                                   const vec3d* table, int TableSize)
    : TKrElevationPalette(name, titleId), m_tableSize(TableSize), m_table(nullptr), m_grad(nullptr),
      m_maxIndex(TableSize - 1) {
    KR_CHECK(TableSize > 1);
    m_table = new vec3d[2 * std::size_t(TableSize)];
    m_grad = m_table + TableSize;
    std::copy(table, table + TableSize, m_table);
    FillGrad();
}

TKrTableElevationPalette::~TKrTableElevationPalette() {
    delete[] m_table;
}

void TKrTableElevationPalette::FillGrad() noexcept {
    for (int i = 0; i + 1 < m_tableSize; ++i)
        m_grad[i] = m_table[i + 1] - m_table[i];
    m_grad[m_tableSize - 1] = vec3d();
}

void TKrTableElevationPalette::GetColor(double t, TKrColorRef* color) const {
    vec3d c;
    GetColor(t, &c);
    *color = GetColorRef(c);
}

void TKrTableElevationPalette::GetColor(double t, vec3d* color) const {
    const double x = t * m_maxIndex;
    if (!(x > 0)) { // also NaN: a height that is not a number shows as the lowest colour
        *color = m_table[0];
        return;
    }
    if (x >= m_maxIndex) {
        *color = m_table[m_tableSize - 1];
        return;
    }
    const int i = static_cast<int>(x);
    const double f = x - i;
    const vec3d& c = m_table[i];
    const vec3d& d = m_grad[i];
    *color = vec3d(c.x + f * d.x, c.y + f * d.y, c.z + f * d.z);
}
