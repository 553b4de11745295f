// Reads of random grids from a small in-memory image, directly and through the rescaling
// decorator (nearest and linear, tiny blocks, pixel steps, any sample type): nothing outside the
// requested rows of the output buffer is ever touched (guard bytes), and refusals are results
// or messages, never crashes.
#include "Core/KrMessage.h"
#include "Raster/KrRawMemDibData.h"
#include "Raster/KrScaleDibData.h"
#include "System/KrThreads.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Consumes the fuzz input byte by byte (zeros when it runs out).
struct TInput {
    const std::uint8_t* p;
    std::size_t n;
    std::uint8_t Byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    // Mostly small numbers with binary fractions, sometimes the values that break arithmetic.
    double Number(double range) {
        switch (Byte() % 16) {
        case 0:
            return std::numeric_limits<double>::quiet_NaN();
        case 1:
            return std::numeric_limits<double>::infinity();
        case 2:
            return 0;
        case 3:
            return -range * (Byte() + 1) / 8;
        case 4:
            return 1e300;
        default:
            return (static_cast<int>(Byte()) - 96) * range / 64 + Byte() / 256.0;
        }
    }
    std::uint64_t Count() {
        const std::uint8_t b = Byte();
        return b >= 250 ? (std::uint64_t(1) << (b - 250 + 58)) : b % 48;
    }
};

constexpr unsigned char kGuard = 0xA5;
constexpr std::size_t kFence = 32;

// Reads `request` into a fenced buffer (or checks the refusal) and verifies the fences.
void ReadChecked(TKrDibData& src, const TKrDibRect& request, std::size_t gap,
                 const TInterpolationQuality& q) {
    const std::size_t bpp = src.Channels().GetBytesPP();
    if (request.count.x > 64 || request.count.y > 64) {
        // Too big to allocate: the read must refuse it before touching anything.
        char probe[16];
        std::memset(probe, kGuard, sizeof probe);
        try {
            src.GetRect({probe, 4}, request, q, 0, nullptr);
        } catch (const TKrMessage&) {
        }
        for (char c : probe)
            if (static_cast<unsigned char>(c) != kGuard) std::abort();
        return;
    }
    const std::size_t row = request.count.x * bpp, stride = row + gap;
    std::vector<unsigned char> mem(2 * kFence + stride * request.count.y, kGuard);
    const TKrDibDataOutBuffer out{reinterpret_cast<char*>(mem.data() + kFence),
                                  static_cast<std::int64_t>(stride)};
    try {
        const TKrGetRectResult r = src.GetRect(out, request, q, 0, nullptr);
        if (r > 3) std::abort();
    } catch (const TKrMessage&) {
    }
    for (std::size_t i = 0; i < mem.size(); ++i) {
        const bool inRow =
            i >= kFence && i < kFence + stride * request.count.y && (i - kFence) % stride < row;
        if (!inRow && mem[i] != kGuard) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool once = (KrSetThreadsCountMax(2), true);
    (void)once;
    TInput in{data, size};
    static const TKrDibChannels kLayouts[] = {
        TKrDibChannels(1, 1, 1),      TKrDibChannels(1, 1, 6, 4, 3), TKrDibChannels(1, 2, 6, 4, 3, 289),
        TKrDibChannels(2, 4, 1, 289), TKrDibChannels(2, 8, 1),       TKrDibChannels(1, 4, 1, 2, 3),
    };
    const TKrDibChannels& ch = kLayouts[in.Byte() % 6];
    const std::size_t bpp = ch.GetBytesPP();
    const std::size_t w = 1 + in.Byte() % 12, h = 1 + in.Byte() % 12;
    const std::size_t spread = 1 + in.Byte() % 3; // pixel step in pixels
    std::vector<unsigned char> img(w * spread * bpp * h);
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<unsigned char>(i * 37 + 11);
    if (ch.Type == TE_KrDibChannelType::ctFloat) // keep float samples finite
        for (std::size_t i = 0; i + ch.BytesPS <= img.size(); i += ch.BytesPS)
            SetChannelValue(&img[i], ch.BytesPS, ch.Type, static_cast<double>(i % 7) / 3);
    TKrDibRect grid{{in.Number(4), in.Number(4)}, {w, h}, {1, 1}};
    if (!KrIsDibRectValid(grid)) grid.origin = {0, 0};
    var_a<TKrDibData*> mem;
    try {
        mem = TKrRawMemDibData::VCreate(
            {reinterpret_cast<char*>(img.data()), static_cast<std::int64_t>(w * spread * bpp)},
            static_cast<std::int64_t>(spread * bpp), ch, grid, nullptr);
    } catch (const TKrMessage&) {
        std::abort(); // a consistent image is always accepted
    }
    const TInterpolationQuality q{in.Byte() / 64.0, static_cast<std::int32_t>(in.Byte() % 5) - 1};
    const std::size_t gap = in.Byte() % 5;

    const double ps = in.Byte() % 4 == 0 ? in.Number(2) : 1;
    const TKrDibRect direct{
        {in.Number(16), in.Number(16)}, {in.Count(), in.Count()}, {ps, in.Byte() % 8 ? ps : 2}};
    ReadChecked(*mem, direct, gap, q);

    const vec2d shift{in.Number(8), in.Number(8)};
    const vec2d scale{std::fabs(in.Number(1)) + 0.05, std::fabs(in.Number(1)) + 0.05};
    try {
        TKrScaleDibData scaled(mem, shift, scale,
                               in.Byte() % 2 ? TKrScaleDibData::ftLinear : TKrScaleDibData::ftNearest);
        scaled.SetBlockSize(4 + in.Byte() % 40);
        for (int i = 0; i < 3; ++i) {
            const TKrDibRect request{{in.Number(16), in.Number(16)},
                                     {in.Count(), in.Count()},
                                     {std::fabs(in.Number(2)), std::fabs(in.Number(2))}};
            ReadChecked(scaled, request, gap, q);
        }
    } catch (const TKrMessage&) {
        // shifts or scales that are not finite
    }
    return 0;
}
