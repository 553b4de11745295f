// Residual statistics: root-mean-square, mean absolute and maximum residuals per coordinate, mergeable and
// stored in XIni.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrVec.h"

#include <cstddef>
#include <cstdint>
#include <string>

class TKrXIniReader;
class TKrXIniWriter;

/// One residual component. Add residuals, then calculate() once: the sums become the RMS and the
/// mean absolute value in place (calling it twice is meaningless).
struct KRSTD_API TKrDeltas {
    double rms = 0;          ///< sum of squares, the RMS after calculate()
    double mm = 0;           ///< sum of absolute values, the mean after calculate()
    double max = 0;          ///< largest absolute value
    std::uint64_t count = 0; ///< residuals added

    void reset() noexcept { *this = TKrDeltas(); }
    void add_delta(double d) noexcept;
    void calculate() noexcept;
    /// Combines two calculated records (counts as weights).
    void merge(const TKrDeltas& other) noexcept;
};

/// x, y and the radial error r of a plane residual.
template <class T> struct xyr_t_ { T x{}, y{}, r{}; };
/// x, y, z and the planimetric error p of a space residual.
template <class T> struct xyzp_t_ { T x{}, y{}, z{}, p{}; };

/// Plane residuals with the radial error r = |(x, y)|, each column accumulated as TKrDeltas.
/// Stored as four sub-sections "rms", "mm", "max" and "count" of items "x", "y", "r" (doubles,
/// counts as integers).
struct KRSTD_API TKrDeltasXYR {
    xyr_t_<double> rms; ///< sums of squares, RMS after calculate()
    xyr_t_<double> mm;  ///< sums of absolute values, means after calculate()
    xyr_t_<double> max;
    xyr_t_<int> count;

    void reset() noexcept { *this = TKrDeltasXYR(); }
    /// Adds the components present by `mask` (bit 1 x, bit 2 y); r from the present ones
    /// (absent ones as 0) whenever one is present.
    void add_delta(const vec2d& v, int mask = 3) noexcept;
    void calculate() noexcept;
    void merge(const TKrDeltasXYR& other) noexcept;

    /// From the current section: whatever is present (missing items stay 0).
    void Load(TKrXIniReader* reader);
    /// The same, throwing the reader's error for a missing or malformed item.
    void LoadE(TKrXIniReader* reader);
    /// The four sub-sections into the writer's current section.
    void SaveE(TKrXIniWriter* writer) const;
    /// The forms over the enclosing section, by index or name. Load and LoadS leave the record
    /// cleared when the section is missing.
    void Load(TKrXIniReader* reader, std::size_t index);
    void LoadE(TKrXIniReader* reader, std::size_t index);
    void LoadS(TKrXIniReader* reader, const std::string& name);
    void LoadSE(TKrXIniReader* reader, const std::string& name);
    void SaveSE(TKrXIniWriter* writer, const std::string& name) const;
};

/// Space residuals with the planimetric error p = |(x, y)|; stored like TKrDeltasXYR with the
/// items "x", "y", "z", "p".
struct KRSTD_API TKrDeltasXYZP {
    xyzp_t_<double> rms;
    xyzp_t_<double> mm;
    xyzp_t_<double> max;
    xyzp_t_<int> count;

    /// The mask for add_delta: 1 + 2 + 4 for the present components.
    static int make_flags(bool hasX, bool hasY, bool hasZ) noexcept {
        return (hasX ? 1 : 0) | (hasY ? 2 : 0) | (hasZ ? 4 : 0);
    }

    void reset() noexcept { *this = TKrDeltasXYZP(); }
    /// Adds the components present by `mask` (bits 1, 2, 4 = x, y, z); p from the present x and
    /// y whenever one of them is.
    void add_delta(const vec3d& v, int mask = 7) noexcept;
    void calculate() noexcept;
    void merge(const TKrDeltasXYZP& other) noexcept;

    void Load(TKrXIniReader* reader);
    void LoadE(TKrXIniReader* reader);
    void SaveE(TKrXIniWriter* writer) const;
    void Load(TKrXIniReader* reader, std::size_t index);
    void LoadE(TKrXIniReader* reader, std::size_t index);
    void LoadS(TKrXIniReader* reader, const std::string& name);
    void LoadSE(TKrXIniReader* reader, const std::string& name);
    void SaveSE(TKrXIniWriter* writer, const std::string& name) const;
};

/// The library's persistence convention for the two records (see XIni/KrXIniSerialize.h).
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TKrDeltasXYR& value);
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDeltasXYR& value);
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TKrDeltasXYZP& value);
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDeltasXYZP& value);
