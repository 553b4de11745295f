// Deterministic test sources: patterns of known layouts for checking decorators and callers.
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrDibData.h"
#include "Raster/KrMultiScaleDibData.h"

#include <cstddef>
#include <cstdint>

/// A single-level pattern over the grid (origin 0, 0; pixel size 1, 1; counts `size`). Any
/// request grid is served exactly: a sample takes the pixel whose centre is nearest (pixel
/// centres are whole numbers). Samples outside the grid are left untouched. PurgeCache does
/// nothing.
class KRSTD_API TKrTestDibData : public TKrDibData {
public:
    TKrTestDibData(const TKrDibChannels& channels, TKrDibSize size);
    ~TKrTestDibData() override;

    TKrDibRect BoundsEx(const TKrDibRect& level) override;
    const TKrDibChannels& Channels() override;
    /// The request, exact.
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                     bool* exact) override;
    /// 3 when a sample lay on the grid, else 2.
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    void PurgeCache() override;

    /// Writes the pixel (x, y) of the pattern (0 <= x < size.x, 0 <= y < size.y).
    virtual void Pixel(std::uint64_t x, std::uint64_t y, char* out) const = 0;

protected:
    TKrDibChannels m_channels;
    TKrDibRect m_rect;
};

/// Unsigned 8-bit gray: (x + 2y) mod 256.
class KRSTD_API TKrTestDibDataGray : public TKrTestDibData {
public:
    explicit TKrTestDibDataGray(TKrDibSize size = {256, 256});
    void Pixel(std::uint64_t x, std::uint64_t y, char* out) const override;
};

/// Unsigned 8-bit gray of one value (the low 8 bits of `value`).
class KRSTD_API TKrTestDibDataGrayConst : public TKrTestDibData {
public:
    explicit TKrTestDibDataGrayConst(unsigned value, TKrDibSize size = {256, 256});
    void Pixel(std::uint64_t x, std::uint64_t y, char* out) const override;

private:
    unsigned char m_value;
};

/// Unsigned 16-bit gray: (97x + 389y) mod 65536.
class KRSTD_API TKrTestDibDataGray16 : public TKrTestDibData {
public:
    explicit TKrTestDibDataGray16(TKrDibSize size = {256, 256});
    void Pixel(std::uint64_t x, std::uint64_t y, char* out) const override;
};

/// Unsigned 16-bit gray-alpha: the gray of TKrTestDibDataGray16; alpha 0 where x + y is a
/// multiple of 3, else 65535.
class KRSTD_API TKrTestDibDataGray16A : public TKrTestDibData {
public:
    explicit TKrTestDibDataGray16A(TKrDibSize size = {256, 256});
    void Pixel(std::uint64_t x, std::uint64_t y, char* out) const override;
};

/// Unsigned 8-bit red-green-blue. With `noise` false a gradient: red x, green y, blue x + y
/// (each mod 256); with `noise` true every sample is an integer hash of (x, y, channel), so a
/// decorator that shifts or swaps pixels cannot go unnoticed.
class KRSTD_API TKrTestDibDataRGB : public TKrTestDibData {
public:
    explicit TKrTestDibDataRGB(bool noise, TKrDibSize size = {256, 256});
    void Pixel(std::uint64_t x, std::uint64_t y, char* out) const override;

private:
    bool m_noise;
};

/// Unsigned 8-bit red-green-blue-alpha: the colours of TKrTestDibDataRGB; alpha 255 for the
/// gradient, a hash of (x, y) like the colours with `noise`.
class KRSTD_API TKrTestDibDataRGBA : public TKrTestDibData {
public:
    explicit TKrTestDibDataRGBA(bool noise, TKrDibSize size = {256, 256});
    void Pixel(std::uint64_t x, std::uint64_t y, char* out) const override;

private:
    bool m_noise;
};

/// A pyramid of any layout with default levels: byte b of pixel (x, y) of level k is
/// (x + 3y + 17k + 5b) mod 256. PurgeCache does nothing.
class KRSTD_API TKrTestDibDataMSDummy : public TKrMultiScaleDibData {
public:
    /// `levels` is clamped to 1..31; an invalid layout throws TKrMessage.
    TKrTestDibDataMSDummy(unsigned levels, TKrDibSize size, const TKrDibChannels& channels);
    const TKrDibChannels& Channels() override;
    void PurgeCache() override;
    using TKrMultiScaleDibData::GetRect;
    TKrGetRectResult GetRect(std::size_t level, const TKrDibRectI& rect,
                             const TKrDibDataOutBuffer& out) override;

private:
    TKrDibChannels m_channels;
};

/// An unsigned 8-bit gray pyramid with default levels, its pattern moved by (x0, y0): pixel
/// (x, y) of level k is (X + x0 + 2(Y + y0)) mod 256 for its first full-resolution pixel
/// X = x·2^k, Y = y·2^k, so every level is the decimation of level 0. PurgeCache does nothing.
class KRSTD_API TKrTestDibDataMultiScaleGray : public TKrMultiScaleDibData {
public:
    /// `levels` is clamped to 1..31.
    TKrTestDibDataMultiScaleGray(unsigned levels, TKrDibSize size, std::int64_t x0, std::int64_t y0);
    const TKrDibChannels& Channels() override;
    void PurgeCache() override;
    using TKrMultiScaleDibData::GetRect;
    TKrGetRectResult GetRect(std::size_t level, const TKrDibRectI& rect,
                             const TKrDibDataOutBuffer& out) override;

private:
    TKrDibChannels m_channels;
    std::int64_t m_x0, m_y0;
};

/// A float (4-byte) gray chessboard pyramid: squares of `cell` full-resolution pixels (1 for 0)
/// on every level, 0.0 where the square of pixel (0, 0) is, 1.0 on the others. Default levels
/// down to the level whose larger side is one pixel. PurgeCache does nothing.
class KRSTD_API TKrTestDibDataFChess : public TKrMultiScaleDibData {
public:
    TKrTestDibDataFChess(std::size_t cell, TKrDibSize size);
    static var_a<TKrDibData*> VCreate(std::size_t cell, TKrDibSize size);
    const TKrDibChannels& Channels() override;
    void PurgeCache() override;
    using TKrMultiScaleDibData::GetRect;
    TKrGetRectResult GetRect(std::size_t level, const TKrDibRectI& rect,
                             const TKrDibDataOutBuffer& out) override;

private:
    TKrDibChannels m_channels;
    std::uint64_t m_cell;
};
