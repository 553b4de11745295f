// The batch loop of the plane transforms: strided point arrays mapped by an inlined point function.
#pragma once

#include "Math/KrVec.h"

#include <cstdint>
#include <cstring>

namespace KrTransformLoops {

/// Bytes between packed points; what a stride of 0 stands for.
constexpr std::uint64_t DenseStride = sizeof(vec2d);

/// dst[i] = f(x, y of src[i]) for `count` points with byte strides (0: packed). Each point is
/// read completely before it is written, so src and dst may coincide. The packed case runs over
/// plain double arrays, which the compiler keeps in registers and may vectorise.
template <class F>
inline void MapPoints(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                      std::uint64_t dstStride, F f) {
    if (srcStride == 0) srcStride = DenseStride;
    if (dstStride == 0) dstStride = DenseStride;
    if (srcStride == DenseStride && dstStride == DenseStride) {
        const double* s = src->data();
        double* d = dst->data();
        for (std::uint64_t i = 0; i < count; ++i) {
            const double x = s[2 * i], y = s[2 * i + 1];
            double ox, oy;
            f(x, y, ox, oy);
            d[2 * i] = ox;
            d[2 * i + 1] = oy;
        }
        return;
    }
    const char* s = reinterpret_cast<const char*>(src);
    char* d = reinterpret_cast<char*>(dst);
    for (std::uint64_t i = 0; i < count; ++i, s += srcStride, d += dstStride) {
        double xy[2];
        std::memcpy(xy, s, sizeof xy);
        double out[2];
        f(xy[0], xy[1], out[0], out[1]);
        std::memcpy(d, out, sizeof out);
    }
}

/// Copies `count` points between strided arrays (nothing when they are the same array).
inline void CopyPoints(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                       std::uint64_t dstStride) {
    if (srcStride == 0) srcStride = DenseStride;
    if (dstStride == 0) dstStride = DenseStride;
    if (src == dst && srcStride == dstStride) return;
    if (srcStride == DenseStride && dstStride == DenseStride) {
        std::memmove(dst, src, count * DenseStride);
        return;
    }
    MapPoints(src, srcStride, count, dst, dstStride, [](double x, double y, double& ox, double& oy) {
        ox = x;
        oy = y;
    });
}

} // namespace KrTransformLoops
