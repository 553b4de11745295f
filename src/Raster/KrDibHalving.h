// Exact halving of 8- and 16-bit images: each output pixel is the mean of a 2 × 2 box.
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrDibBuffer.h"

#include <cstddef>
#include <cstdint>

namespace KrRasterInternal {

/// Fixed-point scales of the 8-bit linear filter: byte · weight → a 15-bit value shifted by 16,
/// and 15-bit value · weight → a byte shifted by 23.
constexpr double kLinearU8HorizontalScale = 32767.0 * 65536.0 / 255.0;
constexpr double kLinearU8VerticalScale = 255.0 * 8388608.0 / 32767.0;

/// True when sampling a source of `sourceSize` pixels at start + i · step with the linear/area
/// weights is exact halving on both axes (step 2, every box on whole pixels and inside the
/// source); (x0, y0) is then the first pixel of the box of output pixel (0, 0).
bool FindHalving(const TKrDibSize& sourceSize, const TKrDibSize& destinationSize, const vec2d& start,
                 const vec2d& step, std::int64_t& x0, std::int64_t& y0) noexcept;

/// Output pixel (i, j) from the box of source pixels x0 + 2i, x0 + 2i + 1 on rows y0 + 2j,
/// y0 + 2j + 1, `cn` 1-byte samples per pixel (1 to 4): rounded as the 8-bit fixed-point linear
/// filter rounds (a 15-bit row sum, then the column), so the result is the filter's, byte for
/// byte. AVX2 where the processor has it. O(output bytes).
void HalveU8(const TKrDibDataOutBuffer& source, std::int64_t x0, std::int64_t y0,
             const TKrDibDataOutBuffer& destination, const TKrDibSize& size, std::size_t cn);

/// The same for unsigned 16-bit samples (any `cn`): the exact mean, rounded half up.
void HalveU16(const TKrDibDataOutBuffer& source, std::int64_t x0, std::int64_t y0,
              const TKrDibDataOutBuffer& destination, const TKrDibSize& size, std::size_t cn);

/// Lets the linear filters use the halving kernels (the default) or keeps them to the general
/// path, so tests can compare the two. Process-wide.
KRSTD_TEST_API void SetHalvingKernels(bool enabled) noexcept;
bool HalvingKernelsEnabled() noexcept;

} // namespace KrRasterInternal
