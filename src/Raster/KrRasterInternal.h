// Helpers shared by the raster sources: settings-section guards, overlap arithmetic that never
// overflows, and pixel copiers by pixel size.
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrDibBuffer.h"
#include "Raster/KrDibRect.h"
#include "XIni/KrXIniReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class TKrDibData;

namespace KrRasterInternal {

/// Enters the section at index on construction and leaves it on Exit() or, after an exception,
/// in the destructor (without throwing).
class TSectionGuard {
public:
    TSectionGuard(TKrXIniReader* reader, std::size_t index)
        : m_reader(reader), m_level(reader->EnterSectionE(index)) {}
    TSectionGuard(const TSectionGuard&) = delete;
    TSectionGuard& operator=(const TSectionGuard&) = delete;
    ~TSectionGuard() {
        if (m_level) m_reader->ExitSection(m_level);
    }
    void Exit() {
        const std::size_t level = m_level;
        m_level = 0;
        m_reader->ExitSectionE(level);
    }

private:
    TKrXIniReader* m_reader;
    std::size_t m_level;
};

/// The overlap [first, end) of the index range [offset, offset + n) with [0, m), in doubles so
/// that huge or far-off offsets cannot overflow. False when it is empty or the offset is not
/// finite. `offset` must be a whole number.
inline bool OverlapRange(double offset, std::uint64_t n, std::uint64_t m, std::int64_t& first,
                         std::int64_t& end) {
    if (!std::isfinite(offset)) return false;
    const double f = std::max(offset, 0.0);
    const double e = std::min(offset + static_cast<double>(n), static_cast<double>(m));
    if (!(f < e)) return false;
    first = static_cast<std::int64_t>(f);
    end = static_cast<std::int64_t>(e);
    return first < end;
}

/// The extent of the samples of `own` on the lattice of `level`: from the level sample at or
/// before own's first sample to the one at or after its last. `own` itself when either grid is
/// invalid.
inline TKrDibRect ExtentOnGrid(const TKrDibRect& own, const TKrDibRect& level) {
    if (!KrIsDibRectValid(level) || !KrIsDibRectValid(own)) return own;
    TKrDibRect r;
    r.pixel_size = level.pixel_size;
    for (int axis = 0; axis < 2; ++axis) {
        const double p = level.pixel_size[axis], o = level.origin[axis];
        const double i0 = std::floor((own.origin[axis] - o) / p);
        const double last =
            own.origin[axis] + (static_cast<double>(own.count[axis]) - 1) * own.pixel_size[axis];
        const double i1 = std::ceil((last - o) / p);
        r.origin[axis] = o + i0 * p;
        const double n = std::round(i1 - i0 + 1);
        r.count[axis] = n > 0 && n < 1.8e19 ? static_cast<std::uint64_t>(n) : 0;
    }
    return r;
}

/// Copies n pixels of B bytes from a source with the given pixel step into packed pixels.
template <std::size_t B>
void CopyPixelsFixed(char* dst, const char* src, std::size_t n, std::int64_t srcStep, std::size_t) {
    for (std::size_t i = 0; i < n; ++i, dst += B, src += srcStep)
        std::memcpy(dst, src, B);
}
inline void CopyPixelsAny(char* dst, const char* src, std::size_t n, std::int64_t srcStep,
                          std::size_t bytesPP) {
    for (std::size_t i = 0; i < n; ++i, dst += bytesPP, src += srcStep)
        std::memcpy(dst, src, bytesPP);
}
using TCopyPixels = void (*)(char* dst, const char* src, std::size_t n, std::int64_t srcStep,
                             std::size_t bytesPP);
/// Dedicated copiers for 1, 2, 3, 4, 8, 16, 32 and 64-byte pixels, a general one otherwise.
inline TCopyPixels CopyPixelsFor(std::size_t bytesPP) {
    switch (bytesPP) {
    case 1:
        return &CopyPixelsFixed<1>;
    case 2:
        return &CopyPixelsFixed<2>;
    case 3:
        return &CopyPixelsFixed<3>;
    case 4:
        return &CopyPixelsFixed<4>;
    case 8:
        return &CopyPixelsFixed<8>;
    case 16:
        return &CopyPixelsFixed<16>;
    case 32:
        return &CopyPixelsFixed<32>;
    case 64:
        return &CopyPixelsFixed<64>;
    default:
        return &CopyPixelsAny;
    }
}

/// Copies n pixels of B bytes from src + offsets[i] into packed pixels.
template <std::size_t B>
void GatherPixelsFixed(char* dst, const char* src, const std::int64_t* offsets, std::size_t n, std::size_t) {
    for (std::size_t i = 0; i < n; ++i, dst += B)
        std::memcpy(dst, src + offsets[i], B);
}
inline void GatherPixelsAny(char* dst, const char* src, const std::int64_t* offsets, std::size_t n,
                            std::size_t bytesPP) {
    for (std::size_t i = 0; i < n; ++i, dst += bytesPP)
        std::memcpy(dst, src + offsets[i], bytesPP);
}
using TGatherPixels = void (*)(char* dst, const char* src, const std::int64_t* offsets, std::size_t n,
                               std::size_t bytesPP);
inline TGatherPixels GatherPixelsFor(std::size_t bytesPP) {
    switch (bytesPP) {
    case 1:
        return &GatherPixelsFixed<1>;
    case 2:
        return &GatherPixelsFixed<2>;
    case 3:
        return &GatherPixelsFixed<3>;
    case 4:
        return &GatherPixelsFixed<4>;
    case 8:
        return &GatherPixelsFixed<8>;
    case 16:
        return &GatherPixelsFixed<16>;
    case 32:
        return &GatherPixelsFixed<32>;
    case 64:
        return &GatherPixelsFixed<64>;
    default:
        return &GatherPixelsAny;
    }
}

/// Points `view` at the pixels that a GetRect of `window` from `source` would copy, when the
/// source keeps them in memory packed (a TKrRawMemDibData whose pixel step is the pixel size)
/// and the window lies wholly inside them at their pixel size. Readers that only look at the
/// pixels then skip the copy. False otherwise. O(1).
bool ViewMemoryPixels(TKrDibData* source, const TKrDibRect& window, TKrDibDataOutBuffer& view);

/// True when a GetRect of `window` from `source` is known to write every pixel of the window
/// (a memory source with the window inside its pixels), so clearing the window first is wasted.
bool SourceFillsWindow(TKrDibData* source, const TKrDibRect& window);

/// The shortest text that reads back as v ("0.5", "1e+300", "nan"), for messages; locale-free.
inline std::string NumText(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

/// Throws TKrMessage "@<function>: invalid channels (type=.., bps=.., kinds=..)." unless the
/// channels have a valid sample type and a pixel of 1 to 2304 bytes.
void CheckChannels(const TKrDibChannels& channels, const char* function);

/// Lets the filters use their AVX2 kernels where the processor has them (the default) or keeps
/// them to the portable code, so tests cover both. Process-wide.
KRSTD_TEST_API void SetSimdKernels(bool enabled) noexcept;
/// True when the processor has AVX2 and SetSimdKernels left the kernels on.
bool SimdKernelsUsable() noexcept;

} // namespace KrRasterInternal
