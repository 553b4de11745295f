// Packed 24-bit colours and their conversion to and from colour vectors of doubles.
#pragma once

#include "Math/KrVec.h"

#include <cstdint>

/// A packed colour: red in bits 0-7, green in bits 8-15, blue in bits 16-23; bits 24-31 zero.
using TKrColorRef = std::uint32_t;

/// Packs three channel bytes.
constexpr TKrColorRef KrRGB(unsigned r, unsigned g, unsigned b) noexcept {
    return TKrColorRef(r & 0xFF) | (TKrColorRef(g & 0xFF) << 8) | (TKrColorRef(b & 0xFF) << 16);
}

/// The colour vector of a packed colour: each channel byte / 255.
inline vec3d SetColorRef(TKrColorRef c) noexcept {
    return vec3d((c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
}

namespace KrColorDetail {
/// One channel of GetColorRef: 0 below 0 (and for NaN), 255 above 1, else floor(v * 255 + 0.5).
inline unsigned PackChannel(double v) noexcept {
    if (!(v >= 0)) return 0;
    if (v > 1) return 255;
    return static_cast<unsigned>(v * 255 + 0.5);
}
/// The same value without branches: the clamps become min/max instructions and the rounding a
/// single truncating conversion (v * 255 + 0.5 is never negative once clamped at 0).
inline unsigned PackChannelFast(double v) noexcept {
    double x = v * 255 + 0.5;
    x = 0.0 < x ? x : 0.0; // NaN goes to 0 here
    x = x < 255.0 ? x : 255.0;
    return static_cast<unsigned>(static_cast<int>(x));
}
} // namespace KrColorDetail

/// Packs a colour vector: per channel 0 below 0, 255 above 1, otherwise the integer part of
/// value * 255 + 0.5. A NaN channel packs as 0.
inline TKrColorRef GetColorRef(const vec3d& c) noexcept {
    using namespace KrColorDetail;
    return KrRGB(PackChannel(c.x), PackChannel(c.y), PackChannel(c.z));
}

/// GetColorRef without branches: equal results for every input, NaN included; for loops over
/// many colours (a few instructions per channel).
inline TKrColorRef GetColorRef_fast(const vec3d& c) noexcept {
    using namespace KrColorDetail;
    return KrRGB(PackChannelFast(c.x), PackChannelFast(c.y), PackChannelFast(c.z));
}
