// Channel mixers: the fixed-point mixer of unsigned layouts and the double-precision one.
#include "Raster/KrChannelMixer.h"
#include "Core/KrMessage.h"
#include "Raster/KrRasterInternal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kFracBits = 16;

std::uint64_t ReadUInt(const char* p, std::size_t bytes) {
    switch (bytes) {
    case 1:
        return static_cast<unsigned char>(*p);
    case 2: {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    default: {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

void WriteUInt(char* p, std::size_t bytes, std::uint64_t v) {
    switch (bytes) {
    case 1:
        *p = static_cast<char>(v);
        break;
    case 2: {
        const auto w = static_cast<std::uint16_t>(v);
        std::memcpy(p, &w, 2);
        break;
    }
    default: {
        const auto w = static_cast<std::uint32_t>(v);
        std::memcpy(p, &w, 4);
        break;
    }
    }
}

// Mixes n pixels reading the N input samples of a pixel first (N = 0: any count).
template <std::size_t N, std::size_t InBytes, class Fixed>
void MixUIntRow(char* dst, const char* src, std::size_t n, std::size_t count, std::size_t outBytes,
                std::size_t inBpp, std::size_t outBpp, std::uint64_t outMax,
                const std::vector<Fixed>& mixes) {
    std::uint64_t local[N ? N : 1];
    std::vector<std::uint64_t> any(N ? 0 : count);
    std::uint64_t* v = N ? local : any.data();
    for (std::size_t i = 0; i < n; ++i, src += inBpp, dst += outBpp) {
        for (std::size_t c = 0; c < (N ? N : count); ++c)
            v[c] = ReadUInt(src + c * InBytes, InBytes);
        for (const Fixed& m : mixes) {
            std::int64_t acc = m.constant;
            for (std::size_t c = 0; c < (N ? N : count); ++c)
                acc += m.weights[c] * static_cast<std::int64_t>(v[c]);
            const std::uint64_t r =
                acc <= 0 ? 0 : std::min<std::uint64_t>(static_cast<std::uint64_t>(acc) >> kFracBits, outMax);
            WriteUInt(dst + m.out * outBytes, outBytes, r);
        }
    }
}

} // namespace

TChannelMixerCTF::TChannelMixerCTF(const TKrDibChannels& input, const TKrDibChannels& output)
    : m_input(input), m_output(output) {
    KrRasterInternal::CheckChannels(input, "TChannelMixerCTF::TChannelMixerCTF");
    KrRasterInternal::CheckChannels(output, "TChannelMixerCTF::TChannelMixerCTF");
}

TChannelMixerCTF::~TChannelMixerCTF() = default;

TChannelMixerCTF::TMix& TChannelMixerCTF::MixOf(std::size_t out) {
    for (TMix& m : m_mixes)
        if (m.out == out) return m;
    m_mixes.push_back(TMix{out, {}});
    return m_mixes.back();
}

void TChannelMixerCTF::AddMixer(std::size_t out, std::size_t in, double weight) {
    if (out >= m_output.size() || (in != kConstant && in >= m_input.size()) || !std::isfinite(weight))
        throw TKrMessage("@TChannelMixerCTF::AddMixer: invalid mixer (output %1%, input %2%, weight %3%).")
            << static_cast<unsigned long long>(out)
            << (in == kConstant ? std::string("constant") : std::to_string(in))
            << KrRasterInternal::NumText(weight);
    MixOf(out).terms.push_back(TTerm{in, weight});
}

TChannelMixerCTFUInt::TChannelMixerCTFUInt(const TKrDibChannels& input, const TKrDibChannels& output)
    : TChannelMixerCTF(input, output) {
    if (input.Type != TE_KrDibChannelType::ctUInt || output.Type != TE_KrDibChannelType::ctUInt)
        throw TKrMessage("@TChannelMixerCTFUInt::TChannelMixerCTFUInt: unsigned layouts only.");
}

TChannelMixerCTFUInt::~TChannelMixerCTFUInt() = default;

void TChannelMixerCTFUInt::AddMixer(std::size_t out, std::size_t in, double weight) {
    // Checked on a copy first, so that a failing call leaves the mixer as it was.
    std::vector<TMix> before = m_mixes;
    TChannelMixerCTF::AddMixer(out, in, weight);
    const double inMax = GetChannelNNMaxValue(m_input.BytesPS, m_input.Type);
    const double outMax = GetChannelNNMaxValue(m_output.BytesPS, m_output.Type);
    const double unit = std::ldexp(1.0, kFracBits);
    const TMix& mix = MixOf(out);
    std::vector<double> weights(m_input.size(), 0.0);
    double constant = 0;
    for (const TTerm& t : mix.terms) {
        if (t.in == kConstant)
            constant += t.weight;
        else
            weights[t.in] += std::round(t.weight * outMax / inMax * unit);
    }
    const double c = std::round(constant * outMax * unit) + 0.5 * unit; // with the rounding half
    // The largest sum a pixel can reach: every input at its maximum with the weight's sign.
    double worst = std::fabs(c);
    for (double w : weights)
        worst += std::fabs(w) * inMax;
    if (!(worst < 0x1p62)) {
        m_mixes = std::move(before);
        throw TKrMessage("@void TChannelMixerCTFUInt::AddMixer(size_t, size_t, double): Overflow");
    }
    TFixed fixed{out, std::vector<std::int64_t>(weights.size()), 0};
    for (std::size_t i = 0; i < weights.size(); ++i)
        fixed.weights[i] = static_cast<std::int64_t>(weights[i]);
    fixed.constant = static_cast<std::int64_t>(c);
    auto it = std::find_if(m_fixed.begin(), m_fixed.end(), [out](const TFixed& f) { return f.out == out; });
    if (it == m_fixed.end())
        m_fixed.push_back(std::move(fixed));
    else
        *it = std::move(fixed);
}

void TChannelMixerCTFUInt::MixRow(char* dst, const char* src, std::size_t n) const {
    const std::size_t count = m_input.size(), inBytes = m_input.BytesPS, outBytes = m_output.BytesPS;
    const std::size_t inBpp = m_input.GetBytesPP(), outBpp = m_output.GetBytesPP();
    const auto outMax = static_cast<std::uint64_t>(GetChannelNNMaxValue(outBytes, m_output.Type));
#define KR_MIX_CASE(N, B)                                                                                    \
    return MixUIntRow<N, B>(dst, src, n, count, outBytes, inBpp, outBpp, outMax, m_fixed)
    if (inBytes == 1) {
        switch (count) {
        case 1:
            KR_MIX_CASE(1, 1);
        case 2:
            KR_MIX_CASE(2, 1);
        case 3:
            KR_MIX_CASE(3, 1);
        case 4:
            KR_MIX_CASE(4, 1);
        default:
            KR_MIX_CASE(0, 1);
        }
    }
    if (inBytes == 2) {
        switch (count) {
        case 1:
            KR_MIX_CASE(1, 2);
        case 2:
            KR_MIX_CASE(2, 2);
        case 3:
            KR_MIX_CASE(3, 2);
        case 4:
            KR_MIX_CASE(4, 2);
        default:
            KR_MIX_CASE(0, 2);
        }
    }
    KR_MIX_CASE(0, 4);
#undef KR_MIX_CASE
}

TChannelMixerCTFGeneric::TChannelMixerCTFGeneric(const TKrDibChannels& input, const TKrDibChannels& output)
    : TChannelMixerCTF(input, output) {}

TChannelMixerCTFGeneric::~TChannelMixerCTFGeneric() = default;

void TChannelMixerCTFGeneric::MixRow(char* dst, const char* src, std::size_t n) const {
    const std::size_t count = m_input.size(), inBytes = m_input.BytesPS, outBytes = m_output.BytesPS;
    const std::size_t inBpp = m_input.GetBytesPP(), outBpp = m_output.GetBytesPP();
    const std::int32_t inType = m_input.Type, outType = m_output.Type;
    std::vector<double> v(count);
    for (std::size_t i = 0; i < n; ++i, src += inBpp, dst += outBpp) {
        for (std::size_t c = 0; c < count; ++c)
            v[c] = GetChannelValue(src + c * inBytes, inBytes, inType);
        for (const TMix& m : m_mixes) {
            double acc = 0;
            for (const TTerm& t : m.terms)
                acc += t.in == kConstant ? t.weight : t.weight * v[t.in];
            SetChannelValue(dst + m.out * outBytes, outBytes, outType, acc);
        }
    }
}
