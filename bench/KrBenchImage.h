// The synthetic photograph the raster benchmarks share: smooth gradients with noise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

/// side × side pixels of `bpp` 8-bit samples, rows packed; the same bytes for the same size in
/// every benchmark, so their figures compare.
inline std::vector<unsigned char> KrBenchPhoto(std::size_t side, std::size_t bpp) {
    const std::size_t stride = side * bpp;
    std::vector<unsigned char> v(side * stride);
    std::uint32_t s = 12345;
    for (std::size_t y = 0; y < side; ++y)
        for (std::size_t x = 0; x < stride; ++x) {
            s = s * 1664525u + 1013904223u;
            v[y * stride + x] = static_cast<unsigned char>((x / 3 + y) / 24 + (s >> 28));
        }
    return v;
}
