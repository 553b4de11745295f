// Raster test helpers: output buffers fenced by guard bytes, test images, an in-memory pyramid.
#pragma once

#include "Raster/KrDibData.h"
#include "Raster/KrMultiScaleDibData.h"
#include "Raster/KrRawMemDibData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace krtest {

constexpr unsigned char kGuard = 0xA5;

/// An output buffer with guard bytes before, after and between its rows (the stride exceeds the
/// row length): everything outside the rows must keep the guard value.
struct TGuardedBuffer {
    std::size_t rowBytes, rows, stride;
    static constexpr std::size_t kFence = 64;
    std::vector<unsigned char> mem;

    TGuardedBuffer(std::uint64_t w, std::uint64_t h, std::size_t bpp, std::size_t gap = 7)
        : rowBytes(w * bpp), rows(h), stride(w * bpp + gap), mem(2 * kFence + h * (w * bpp + gap), kGuard) {}
    TKrDibDataOutBuffer Out() {
        return {reinterpret_cast<char*>(mem.data() + kFence), static_cast<std::int64_t>(stride)};
    }
    unsigned char* Pixel(std::size_t x, std::size_t y, std::size_t bpp) {
        return mem.data() + kFence + y * stride + x * bpp;
    }
    /// True when no byte outside the rows changed.
    bool GuardsIntact() const {
        for (std::size_t i = 0; i < mem.size(); ++i) {
            const bool inRow = i >= kFence && i < kFence + rows * stride && (i - kFence) % stride < rowBytes;
            if (!inRow && mem[i] != kGuard) return false;
        }
        return true;
    }
    /// True when every byte of the rows still has the guard value.
    bool Untouched() const {
        for (unsigned char b : mem)
            if (b != kGuard) return false;
        return true;
    }
};

/// A w × h image of `cn` samples of type T per pixel, packed rows, random values (floats 0..1).
template <class T> std::vector<T> RandomImage(std::size_t w, std::size_t h, std::size_t cn, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<T> img(w * h * cn);
    for (T& v : img) {
        if constexpr (std::is_integral<T>::value)
            v = static_cast<T>(gen());
        else
            v = static_cast<T>(std::uniform_real_distribution<double>(0, 1)(gen));
    }
    return img;
}

/// A memory source over `img` (origin 0, pixel size 1) that keeps no reference to it.
template <class T>
var_a<TKrDibData*> MemSource(std::vector<T>& img, std::size_t w, std::size_t h, const TKrDibChannels& ch) {
    const std::size_t bpp = ch.GetBytesPP();
    return TKrRawMemDibData::VCreate(
        {reinterpret_cast<char*>(img.data()), static_cast<std::int64_t>(w * bpp)}, ch,
        TKrDibRect{{0, 0}, {w, h}, {1, 1}}, nullptr);
}

/// A pyramid of an 8-bit gray image: level k holds 2^k × 2^k block means, read at integer
/// positions; records the level and rectangle of the last level read.
class TTestPyramid : public TKrMultiScaleDibData {
public:
    using TKrMultiScaleDibData::GetRect;
    std::vector<std::vector<unsigned char>> levels;
    std::size_t lastLevel = 99;
    TKrDibRectI lastRect;

    TTestPyramid(const std::vector<unsigned char>& base, std::size_t w, std::size_t h, std::size_t count) {
        m_channels.SetGray_U8();
        FillDefaultLevelBounds({w, h}, count);
        levels.push_back(base);
        for (std::size_t k = 1; k < count; ++k) {
            const std::size_t pw = w >> (k - 1), lw = w >> k, lh = h >> k;
            std::vector<unsigned char> l(lw * lh);
            for (std::size_t y = 0; y < lh; ++y)
                for (std::size_t x = 0; x < lw; ++x) {
                    const auto& p = levels.back();
                    l[y * lw + x] = static_cast<unsigned char>(
                        (p[2 * y * pw + 2 * x] + p[2 * y * pw + 2 * x + 1] + p[(2 * y + 1) * pw + 2 * x] +
                         p[(2 * y + 1) * pw + 2 * x + 1] + 2) /
                        4);
                }
            levels.push_back(l);
        }
    }
    const TKrDibChannels& Channels() override { return m_channels; }
    void PurgeCache() override {}
    TKrGetRectResult GetRect(std::size_t level, const TKrDibRectI& r,
                             const TKrDibDataOutBuffer& out) override {
        lastLevel = level;
        lastRect = r;
        const std::size_t lw = static_cast<std::size_t>(m_levels[level].count.x);
        for (std::uint64_t y = 0; y < r.height; ++y)
            std::memcpy(out.Row(static_cast<std::int64_t>(y)),
                        levels[level].data() + (static_cast<std::size_t>(r.top) + y) * lw +
                            static_cast<std::size_t>(r.left),
                        r.width);
        return grCompleteData;
    }
    /// The base's level read, which concrete pyramids must override.
    TKrGetRectResult BaseLevelRead() {
        return TKrMultiScaleDibData::GetRect(0, TKrDibRectI(), TKrDibDataOutBuffer());
    }

private:
    TKrDibChannels m_channels;
};

/// The text of the TKrMessage or std::exception `f` throws.
template <class F> std::string ThrownText(F f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

} // namespace krtest
