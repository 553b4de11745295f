// Elevation palettes: colours for normalised heights, and the process-wide registry of palettes.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Output/KrColorRef.h"

#include <string>
#include <vector>

/// Maps a normalised height t (0 the lowest, 1 the highest height of a surface) to a colour.
/// A palette has a short machine name ("std") and a title identifier resolved through the
/// library's language texts. Colour queries are read-only and may run on many threads at once.
class KRSTD_API TKrElevationPalette {
public:
    TKrElevationPalette(const std::string& name, const std::string& titleId);
    virtual ~TKrElevationPalette();
    TKrElevationPalette(const TKrElevationPalette&) = delete;
    TKrElevationPalette& operator=(const TKrElevationPalette&) = delete;

    /// The title in the current language; "" when the language texts have none. One text
    /// lookup per call.
    virtual std::string GetTitle() const;
    /// The packed colour for t.
    virtual void GetColor(double t, TKrColorRef* color) const = 0;
    /// The colour vector for t.
    virtual void GetColor(double t, vec3d* color) const = 0;

    const std::string& GetName() const noexcept { return m_name; }
    const std::string& GetTitleId() const noexcept { return m_titleId; }

    // The registry. It has no lock: it is filled at library start-up and emptied at tear-down;
    // registering while other threads look palettes up is not supported.

    /// Appends `palette` unless one with the same name (exact bytes) is registered; false then.
    static bool RegisterPalette(const var_a<TKrElevationPalette*>& palette);
    /// Removes the entry holding this very object (identity, not name); false when none does.
    static bool UnregisterPalette(const var_a<TKrElevationPalette*>& palette);
    /// The first palette registered under `name`, or an empty reference. Linear in the count.
    static var_a<TKrElevationPalette*> GetPalette(const std::string& name);
    /// Replaces `names` with the registered names, in registration order.
    static void GetRegisteredNames(std::vector<std::string>& names);
    /// Registers the built-in palettes "std", "def", "elev" and "nwrc", in that order.
    static void Initialize();
    /// Releases every registered palette and empties the registry.
    static void Uninitialize() noexcept;

    /// The registered palettes in registration order.
    static std::vector<var_a<TKrElevationPalette*>> s_Palettes;

private:
    std::string m_name;
    std::string m_titleId;
};

/// The analytic palette "std": a smooth blue-green-yellow-red ramp from two quadratics in t.
class KRSTD_API TKrStdElevationPalette : public TKrElevationPalette {
public:
    TKrStdElevationPalette(const std::string& name, const std::string& titleId);
    /// GetHSColorRef(t).
    void GetColor(double t, TKrColorRef* color) const override;
    /// GetHSColor(t), unclamped.
    void GetColor(double t, vec3d* color) const override;
};

/// The colour vector of the analytic palette for t, channels unclamped (they may leave [0, 1]
/// outside t in [0, 1]).
KRSTD_API vec3d GetHSColor(double t) noexcept;
/// The packed colour of the analytic palette: per channel the integer part of value * 255
/// (toward zero), clamped to 0...255; a NaN channel gives 0.
KRSTD_API TKrColorRef GetHSColorRef(double t) noexcept;

/// A palette interpolating linearly between n colours spaced evenly over [0, 1]. The colours
/// and their forward differences live in one block of 2n vectors owned by the palette.
class KRSTD_API TKrTableElevationPalette : public TKrElevationPalette {
public:
    /// A table of packed colours (converted with SetColorRef). TableSize must be at least 2,
    /// else the internal-error message is thrown.
    TKrTableElevationPalette(const std::string& name, const std::string& titleId, const TKrColorRef* table,
                             int TableSize);
    /// A table of colour vectors (copied). TableSize must be at least 2.
    TKrTableElevationPalette(const std::string& name, const std::string& titleId, const vec3d* table,
                             int TableSize);
    ~TKrTableElevationPalette() override;

    /// GetColorRef of the vector form (through the virtual call, so an override of the vector
    /// form changes both).
    void GetColor(double t, TKrColorRef* color) const override;
    /// Entry 0 for t <= 0 (and NaN), entry n-1 for t >= 1, else c[i] + f * d[i] with
    /// x = t * (n - 1), i = floor(x), f = x - i. Constant time.
    void GetColor(double t, vec3d* color) const override;

    /// Interpolates without a virtual call and packs with GetColorRef_fast: for loops over
    /// many heights. Equal to GetColor(t, TKrColorRef*) of this class.
    TKrColorRef GetColorRefFast(double t) const noexcept {
        // Branch-free: x is clamped to [0, n-1] (NaN to 0) and the last difference is 0, so
        // both ends give their table colour exactly, as the branches of GetColor do.
        double x = t * m_maxIndex;
        x = 0.0 < x ? x : 0.0;
        x = x < m_maxIndex ? x : m_maxIndex;
        const int i = static_cast<int>(x);
        const double f = x - i;
        const vec3d& c = m_table[i];
        const vec3d& d = m_grad[i];
        return GetColorRef_fast(vec3d(c.x + f * d.x, c.y + f * d.y, c.z + f * d.z));
    }

    /// Recomputes the differences d[i] = c[i+1] - c[i] (d[n-1] = 0) from the colours.
    void FillGrad() noexcept;

    int GetTableSize() const noexcept { return m_tableSize; }
    /// The n colours; writable for palettes built in place (call FillGrad afterwards).
    vec3d* GetTable() noexcept { return m_table; }
    const vec3d* GetTable() const noexcept { return m_table; }

private:
    int m_tableSize;
    vec3d* m_table;    // 2n vectors: the colours, then the differences
    vec3d* m_grad;     // m_table + n
    double m_maxIndex; // n - 1, kept as a double for the hot path
};
