// Channel transforms: the per-row conversions that assemble output pixels from input pixels, and
// the choice of them for a pair of channel layouts (CreateColorTransformFunction).
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Raster/KrChannelMixer.h"
#include "Raster/KrDibChannels.h"

#include <cstddef>
#include <utility>
#include <vector>

/// One step of a pixel conversion: writes some bytes of each output pixel from the input pixel.
/// Pixel sizes are fixed at construction. Const after construction, so usable from any thread.
class KRSTD_API TChannelTransform {
public:
    TChannelTransform(std::size_t inBpp, std::size_t outBpp) noexcept : m_inBpp(inBpp), m_outBpp(outBpp) {}
    virtual ~TChannelTransform();
    /// Converts n packed input pixels at src into n packed output pixels at dst. O(n).
    virtual void TransformRow(char* dst, const char* src, std::size_t n) const = 0;

protected:
    std::size_t m_inBpp, m_outBpp;
};

/// Copies bytes [inOffset, inOffset + bytes) of each input pixel to [outOffset, ...) of the
/// output pixel, with dedicated loops for 1, 2, 3, 4, 5, 6, 8, 10, 12, 16, 24 and 32 bytes (and
/// one block copy per row for whole identical pixels).
class KRSTD_API TCopyChannelTransform : public TChannelTransform {
public:
    /// Ranges outside the pixels throw TKrMessage.
    TCopyChannelTransform(std::size_t inBpp, std::size_t outBpp, std::size_t inOffset, std::size_t outOffset,
                          std::size_t bytes);
    void TransformRow(char* dst, const char* src, std::size_t n) const override;

private:
    std::size_t m_inOffset, m_outOffset, m_bytes;
    void (*m_loop)(char*, const char*, std::size_t, std::size_t, std::size_t, std::size_t);
};

/// Writes zero bytes into [outOffset, outOffset + bytes) of each output pixel.
class KRSTD_API TNullChannelTransform : public TChannelTransform {
public:
    TNullChannelTransform(std::size_t outBpp, std::size_t outOffset, std::size_t bytes);
    void TransformRow(char* dst, const char* src, std::size_t n) const override;

private:
    std::size_t m_outOffset, m_bytes;
};

/// Unsigned 8-bit gray (1 byte) or gray-alpha (2 bytes) into red-green-blue (3 bytes) or
/// red-green-blue-alpha (4 bytes): the gray value goes to red, green and blue; alpha is copied
/// when the input has it, else 255.
class KRSTD_API TGrayToRGBChannelTransform : public TChannelTransform {
public:
    /// Other pixel sizes throw TKrMessage.
    TGrayToRGBChannelTransform(std::size_t inBpp, std::size_t outBpp);
    void TransformRow(char* dst, const char* src, std::size_t n) const override;
};

/// Unsigned 8-bit red-green-blue into red-green-blue-alpha, alpha 255.
class KRSTD_API TRGBToRGBAChannelTransform : public TChannelTransform {
public:
    TRGBToRGBAChannelTransform() noexcept : TChannelTransform(3, 4) {}
    void TransformRow(char* dst, const char* src, std::size_t n) const override;
};

/// Copies several single samples (bytesPS bytes each): pairs (input channel, output channel).
/// Dedicated loops for 1 to 4 bytes per sample.
class KRSTD_API TMultiCopyChannelTransform : public TChannelTransform {
public:
    /// Channels outside the pixels throw TKrMessage.
    TMultiCopyChannelTransform(std::size_t inBpp, std::size_t outBpp, std::size_t bytesPS,
                               std::vector<std::pair<std::size_t, std::size_t>> copies);
    void TransformRow(char* dst, const char* src, std::size_t n) const override;

private:
    std::size_t m_bytesPS;
    std::vector<std::pair<std::size_t, std::size_t>> m_copies; ///< byte offsets (input, output)
};

/// Per-pixel conversion through a channel mixer (which writes only the channels it mixes).
class KRSTD_API TMixChannelsTransform : public TChannelTransform {
public:
    /// A null mixer throws TKrMessage.
    explicit TMixChannelsTransform(var_a<TChannelMixerCTF*> mixer);
    void TransformRow(char* dst, const char* src, std::size_t n) const override;
    const var_a<TChannelMixerCTF*>& Mixer() const noexcept { return m_mixer; }

private:
    var_a<TChannelMixerCTF*> m_mixer;
};

/// The conversion between two layouts: the channel transforms in the order they are applied.
struct KRSTD_API TColorTransformFunction {
    std::vector<var_a<TChannelTransform*>> Transforms;
    /// True when the layouts are identical, so that the conversion changes nothing.
    bool Equivalent = false;

    /// Applies every transform to n pixels. O(n · transforms).
    void TransformRow(char* dst, const char* src, std::size_t n) const {
        for (const var_a<TChannelTransform*>& t : Transforms)
            t->TransformRow(dst, src, n);
    }
};

/// Chooses the transforms from `input` to `output`:
/// - identical layouts: one whole-pixel copy, Equivalent;
/// - unsigned 8-bit gray or gray-alpha to red-green-blue(-alpha): TGrayToRGBChannelTransform;
/// - unsigned 8-bit red-green-blue to red-green-blue-alpha: TRGBToRGBAChannelTransform;
/// - otherwise per output channel: a channel of the same kind in the input (copied when the
///   sample types agree, else converted through normalised values); gray from red, green and
///   blue (0.299, 0.587, 0.114); red, green or blue from gray; alpha, when the input has none,
///   opaque; anything else zero.
/// An output kind without a short text throws std::runtime_error "@KrDibData: invalid output
/// channel kind.", an input kind without one "@KrDibData: invalid input channel kind."; invalid
/// sample types or sizes throw TKrMessage.
KRSTD_API TColorTransformFunction CreateColorTransformFunction(const TKrDibChannels& input,
                                                               const TKrDibChannels& output);

/// A channel remap: output channel i is input channel map[i] (same sample type and size, the
/// kinds travel with the samples). An index naming no input channel, or an empty map, throws
/// TKrMessage. `output` receives the resulting layout.
KRSTD_API TColorTransformFunction CreateChannelRemapFunction(const TKrDibChannels& input,
                                                             const std::vector<std::size_t>& map,
                                                             TKrDibChannels* output);
