// Channel mixers: per-pixel linear combinations of input channels into output channels.
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrDibChannels.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// Computes chosen output channels of a pixel as weighted sums of input channels (on normalised
/// values, 0..1 for unsigned samples) plus a constant, clamped to the output's range for
/// unsigned output. Output channels without a mixer are left as they are. Built once, then
/// used from any number of threads (MixRow is const).
class KRSTD_API TChannelMixerCTF {
public:
    /// AddMixer's input index for a constant term: the weight itself is added.
    static constexpr std::size_t kConstant = static_cast<std::size_t>(-1);

    /// Both layouts need a valid sample type and 1 to 2304 bytes per pixel (TKrMessage).
    TChannelMixerCTF(const TKrDibChannels& input, const TKrDibChannels& output);
    virtual ~TChannelMixerCTF();
    TChannelMixerCTF(const TChannelMixerCTF&) = delete;
    TChannelMixerCTF& operator=(const TChannelMixerCTF&) = delete;

    /// Adds weight · input channel `in` (or the weight alone for kConstant) to output channel
    /// `out`. An index outside the layouts or a weight that is not finite throws TKrMessage.
    virtual void AddMixer(std::size_t out, std::size_t in, double weight);
    /// Converts n packed input pixels at src into the mixed channels of n packed output pixels.
    virtual void MixRow(char* dst, const char* src, std::size_t n) const = 0;

    const TKrDibChannels& Input() const noexcept { return m_input; }
    const TKrDibChannels& Output() const noexcept { return m_output; }

protected:
    struct TTerm {
        std::size_t in; ///< input channel, or kConstant
        double weight;
    };
    struct TMix {
        std::size_t out;
        std::vector<TTerm> terms;
    };
    /// The mix of output channel `out`, made on first use.
    TMix& MixOf(std::size_t out);

    TKrDibChannels m_input, m_output;
    std::vector<TMix> m_mixes;
};

/// The mixer of unsigned input and unsigned output samples (1, 2 or 4 bytes): raw integers and
/// 16-bit fixed-point weights in 64-bit sums, no floating point per pixel. AddMixer throws
/// TKrMessage "<signature>: Overflow" when the sums of an output channel could leave the 64-bit
/// range.
class KRSTD_API TChannelMixerCTFUInt : public TChannelMixerCTF {
public:
    /// Non-unsigned layouts throw TKrMessage.
    TChannelMixerCTFUInt(const TKrDibChannels& input, const TKrDibChannels& output);
    ~TChannelMixerCTFUInt() override;
    void AddMixer(std::size_t out, std::size_t in, double weight) override;
    void MixRow(char* dst, const char* src, std::size_t n) const override;

private:
    struct TFixed {
        std::size_t out;
        std::vector<std::int64_t> weights; ///< one per input channel
        std::int64_t constant;             ///< in output units · 2^16, plus the rounding half
    };
    std::vector<TFixed> m_fixed;
};

/// The mixer of any layouts: normalised values in double precision through the sample accessors
/// (GetChannelValue, SetChannelValue).
class KRSTD_API TChannelMixerCTFGeneric : public TChannelMixerCTF {
public:
    TChannelMixerCTFGeneric(const TKrDibChannels& input, const TKrDibChannels& output);
    ~TChannelMixerCTFGeneric() override;
    void MixRow(char* dst, const char* src, std::size_t n) const override;
};
