// Channel transforms and the choice of them for a pair of channel layouts.
#include "Raster/KrChannelTransform.h"
#include "Core/KrMessage.h"
#include "Raster/KrRasterInternal.h"

#include <cstring>
#include <stdexcept>

namespace {

template <std::size_t N>
void CopyLoop(char* dst, const char* src, std::size_t n, std::size_t inBpp, std::size_t outBpp, std::size_t) {
    for (std::size_t i = 0; i < n; ++i, src += inBpp, dst += outBpp)
        std::memcpy(dst, src, N);
}

void CopyLoopAny(char* dst, const char* src, std::size_t n, std::size_t inBpp, std::size_t outBpp,
                 std::size_t bytes) {
    for (std::size_t i = 0; i < n; ++i, src += inBpp, dst += outBpp)
        std::memcpy(dst, src, bytes);
}

template <std::size_t B>
void MultiCopyLoop(char* dst, const char* src, std::size_t n, std::size_t inBpp, std::size_t outBpp,
                   const std::vector<std::pair<std::size_t, std::size_t>>& copies) {
    const std::size_t m = copies.size();
    const std::pair<std::size_t, std::size_t>* c = copies.data();
    for (std::size_t i = 0; i < n; ++i, src += inBpp, dst += outBpp)
        for (std::size_t k = 0; k < m; ++k)
            std::memcpy(dst + c[k].second, src + c[k].first, B);
}

[[noreturn]] void BadRange(const char* function) {
    throw TKrMessage("@%1%: channel range outside the pixel.") << function;
}

bool HasText(std::int32_t kind) {
    return !ChannelKindToText(kind).empty();
}

std::size_t FindKind(const TKrDibChannels& ch, std::int32_t kind) {
    for (std::size_t i = 0; i < ch.size(); ++i)
        if (ch.Kinds[i] == kind) return i;
    return TChannelMixerCTF::kConstant;
}

} // namespace

TChannelTransform::~TChannelTransform() = default;

TCopyChannelTransform::TCopyChannelTransform(std::size_t inBpp, std::size_t outBpp, std::size_t inOffset,
                                             std::size_t outOffset, std::size_t bytes)
    : TChannelTransform(inBpp, outBpp), m_inOffset(inOffset), m_outOffset(outOffset), m_bytes(bytes) {
    if (bytes == 0 || inOffset > inBpp || bytes > inBpp - inOffset || outOffset > outBpp ||
        bytes > outBpp - outOffset)
        BadRange("TCopyChannelTransform");
    switch (bytes) {
    case 1:
        m_loop = &CopyLoop<1>;
        break;
    case 2:
        m_loop = &CopyLoop<2>;
        break;
    case 3:
        m_loop = &CopyLoop<3>;
        break;
    case 4:
        m_loop = &CopyLoop<4>;
        break;
    case 5:
        m_loop = &CopyLoop<5>;
        break;
    case 6:
        m_loop = &CopyLoop<6>;
        break;
    case 8:
        m_loop = &CopyLoop<8>;
        break;
    case 10:
        m_loop = &CopyLoop<10>;
        break;
    case 12:
        m_loop = &CopyLoop<12>;
        break;
    case 16:
        m_loop = &CopyLoop<16>;
        break;
    case 24:
        m_loop = &CopyLoop<24>;
        break;
    case 32:
        m_loop = &CopyLoop<32>;
        break;
    default:
        m_loop = &CopyLoopAny;
        break;
    }
}

void TCopyChannelTransform::TransformRow(char* dst, const char* src, std::size_t n) const {
    if (m_bytes == m_inBpp && m_bytes == m_outBpp) {
        std::memcpy(dst, src, n * m_bytes);
        return;
    }
    m_loop(dst + m_outOffset, src + m_inOffset, n, m_inBpp, m_outBpp, m_bytes);
}

TNullChannelTransform::TNullChannelTransform(std::size_t outBpp, std::size_t outOffset, std::size_t bytes)
    : TChannelTransform(0, outBpp), m_outOffset(outOffset), m_bytes(bytes) {
    if (outOffset > outBpp || bytes > outBpp - outOffset) BadRange("TNullChannelTransform");
}

void TNullChannelTransform::TransformRow(char* dst, const char*, std::size_t n) const {
    if (m_bytes == m_outBpp) {
        std::memset(dst, 0, n * m_bytes);
        return;
    }
    for (std::size_t i = 0; i < n; ++i, dst += m_outBpp)
        std::memset(dst + m_outOffset, 0, m_bytes);
}

TGrayToRGBChannelTransform::TGrayToRGBChannelTransform(std::size_t inBpp, std::size_t outBpp)
    : TChannelTransform(inBpp, outBpp) {
    if ((inBpp != 1 && inBpp != 2) || (outBpp != 3 && outBpp != 4) || (inBpp == 2 && outBpp != 4))
        BadRange("TGrayToRGBChannelTransform");
}

void TGrayToRGBChannelTransform::TransformRow(char* dst, const char* src, std::size_t n) const {
    if (m_outBpp == 3) {
        for (std::size_t i = 0; i < n; ++i, src += m_inBpp, dst += 3)
            dst[0] = dst[1] = dst[2] = src[0];
    } else if (m_inBpp == 1) {
        for (std::size_t i = 0; i < n; ++i, ++src, dst += 4) {
            dst[0] = dst[1] = dst[2] = src[0];
            dst[3] = static_cast<char>(255);
        }
    } else {
        for (std::size_t i = 0; i < n; ++i, src += 2, dst += 4) {
            dst[0] = dst[1] = dst[2] = src[0];
            dst[3] = src[1];
        }
    }
}

void TRGBToRGBAChannelTransform::TransformRow(char* dst, const char* src, std::size_t n) const {
    for (std::size_t i = 0; i < n; ++i, src += 3, dst += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = static_cast<char>(255);
    }
}

TMultiCopyChannelTransform::TMultiCopyChannelTransform(
    std::size_t inBpp, std::size_t outBpp, std::size_t bytesPS,
    std::vector<std::pair<std::size_t, std::size_t>> copies)
    : TChannelTransform(inBpp, outBpp), m_bytesPS(bytesPS), m_copies(std::move(copies)) {
    if (bytesPS == 0) BadRange("TMultiCopyChannelTransform");
    for (auto& c : m_copies) {
        if (c.first >= inBpp / bytesPS || c.second >= outBpp / bytesPS)
            BadRange("TMultiCopyChannelTransform");
        c.first *= bytesPS;
        c.second *= bytesPS;
    }
}

void TMultiCopyChannelTransform::TransformRow(char* dst, const char* src, std::size_t n) const {
    switch (m_bytesPS) {
    case 1:
        return MultiCopyLoop<1>(dst, src, n, m_inBpp, m_outBpp, m_copies);
    case 2:
        return MultiCopyLoop<2>(dst, src, n, m_inBpp, m_outBpp, m_copies);
    case 3:
        return MultiCopyLoop<3>(dst, src, n, m_inBpp, m_outBpp, m_copies);
    case 4:
        return MultiCopyLoop<4>(dst, src, n, m_inBpp, m_outBpp, m_copies);
    default:
        for (std::size_t i = 0; i < n; ++i, src += m_inBpp, dst += m_outBpp)
            for (const auto& c : m_copies)
                std::memcpy(dst + c.second, src + c.first, m_bytesPS);
    }
}

TMixChannelsTransform::TMixChannelsTransform(var_a<TChannelMixerCTF*> mixer)
    : TChannelTransform(mixer ? mixer->Input().GetBytesPP() : 0, mixer ? mixer->Output().GetBytesPP() : 0),
      m_mixer(std::move(mixer)) {
    if (!m_mixer) throw TKrMessage("@TMixChannelsTransform: no mixer.");
}

void TMixChannelsTransform::TransformRow(char* dst, const char* src, std::size_t n) const {
    m_mixer->MixRow(dst, src, n);
}

TColorTransformFunction CreateColorTransformFunction(const TKrDibChannels& input,
                                                     const TKrDibChannels& output) {
    KrRasterInternal::CheckChannels(input, "CreateColorTransformFunction");
    KrRasterInternal::CheckChannels(output, "CreateColorTransformFunction");
    for (std::int32_t k : output.Kinds)
        if (!HasText(k)) throw std::runtime_error("@KrDibData: invalid output channel kind.");
    for (std::int32_t k : input.Kinds)
        if (!HasText(k)) throw std::runtime_error("@KrDibData: invalid input channel kind.");

    const std::size_t inBpp = input.GetBytesPP(), outBpp = output.GetBytesPP();
    TColorTransformFunction f;
    if (input == output) {
        f.Transforms.push_back(new_a<TCopyChannelTransform>(inBpp, outBpp, 0, 0, inBpp));
        f.Equivalent = true;
        return f;
    }
    if ((input.IsGray_U8() && (output.IsRGB_U8() || output.IsRGBA_U8())) ||
        (input.IsGrayA_U8() && output.IsRGBA_U8())) {
        f.Transforms.push_back(new_a<TGrayToRGBChannelTransform>(inBpp, outBpp));
        return f;
    }
    if (input.IsRGB_U8() && output.IsRGBA_U8()) {
        f.Transforms.push_back(new_a<TRGBToRGBAChannelTransform>());
        return f;
    }

    using K = TE_KrDibChannelKind;
    const bool sameSamples = input.Type == output.Type && input.BytesPS == output.BytesPS;
    const std::size_t gray = FindKind(input, K::ckGray), red = FindKind(input, K::ckRed),
                      green = FindKind(input, K::ckGreen), blue = FindKind(input, K::ckBlue);
    const bool hasRGB = red != TChannelMixerCTF::kConstant && green != TChannelMixerCTF::kConstant &&
                        blue != TChannelMixerCTF::kConstant;
    std::vector<std::pair<std::size_t, std::size_t>> copies;
    std::vector<bool> zero(output.size(), false);
    var_a<TChannelMixerCTF*> mixer;
    auto mix = [&](std::size_t out, std::size_t in, double weight) {
        if (!mixer) {
            if (input.Type == TE_KrDibChannelType::ctUInt && output.Type == TE_KrDibChannelType::ctUInt)
                mixer = new_a<TChannelMixerCTFUInt>(input, output);
            else
                mixer = new_a<TChannelMixerCTFGeneric>(input, output);
        }
        mixer->AddMixer(out, in, weight);
    };
    auto take = [&](std::size_t out, std::size_t in) {
        if (sameSamples)
            copies.emplace_back(in, out);
        else
            mix(out, in, 1.0);
    };
    for (std::size_t j = 0; j < output.size(); ++j) {
        const std::int32_t kind = output.Kinds[j];
        const std::size_t same = kind == K::ckUnused ? TChannelMixerCTF::kConstant : FindKind(input, kind);
        if (same != TChannelMixerCTF::kConstant) {
            take(j, same);
        } else if (kind == K::ckGray && hasRGB) {
            mix(j, red, 0.299);
            mix(j, green, 0.587);
            mix(j, blue, 0.114);
        } else if ((kind == K::ckRed || kind == K::ckGreen || kind == K::ckBlue) &&
                   gray != TChannelMixerCTF::kConstant) {
            take(j, gray);
        } else if (kind == K::ckAlpha) {
            mix(j, TChannelMixerCTF::kConstant, 1.0); // no transparency in the input: opaque
        } else {
            zero[j] = true;
        }
    }

    // Copies that keep one contiguous run become a single byte-range copy.
    bool run = !copies.empty();
    for (std::size_t i = 1; run && i < copies.size(); ++i)
        run = copies[i].first == copies[0].first + i && copies[i].second == copies[0].second + i;
    const std::size_t bps = output.BytesPS;
    if (run)
        f.Transforms.push_back(new_a<TCopyChannelTransform>(inBpp, outBpp, copies[0].first * bps,
                                                            copies[0].second * bps, copies.size() * bps));
    else if (!copies.empty())
        f.Transforms.push_back(new_a<TMultiCopyChannelTransform>(inBpp, outBpp, bps, std::move(copies)));
    if (mixer) f.Transforms.push_back(new_a<TMixChannelsTransform>(mixer));
    for (std::size_t j = 0; j < zero.size();) {
        if (!zero[j]) {
            ++j;
            continue;
        }
        std::size_t e = j;
        while (e < zero.size() && zero[e])
            ++e;
        f.Transforms.push_back(new_a<TNullChannelTransform>(outBpp, j * bps, (e - j) * bps));
        j = e;
    }
    return f;
}

TColorTransformFunction CreateChannelRemapFunction(const TKrDibChannels& input,
                                                   const std::vector<std::size_t>& map,
                                                   TKrDibChannels* output) {
    KrRasterInternal::CheckChannels(input, "CreateChannelRemapFunction");
    if (map.empty() || map.size() > 4096)
        throw TKrMessage("@CreateChannelRemapFunction: %1% output channels.")
            << static_cast<unsigned long long>(map.size());
    TKrDibChannels out;
    out.Type = input.Type;
    out.BytesPS = input.BytesPS;
    std::vector<std::pair<std::size_t, std::size_t>> copies;
    for (std::size_t j = 0; j < map.size(); ++j) {
        if (map[j] >= input.size())
            throw TKrMessage("@CreateChannelRemapFunction: channel %1% does not exist (the source has %2%).")
                << static_cast<unsigned long long>(map[j]) << static_cast<unsigned long long>(input.size());
        out.Kinds.push_back(input.Kinds[map[j]]);
        copies.emplace_back(map[j], j);
    }
    KrRasterInternal::CheckChannels(out, "CreateChannelRemapFunction");
    TColorTransformFunction f;
    const std::size_t inBpp = input.GetBytesPP(), outBpp = out.GetBytesPP();
    bool identity = map.size() == input.size();
    for (std::size_t j = 0; identity && j < map.size(); ++j)
        identity = map[j] == j;
    f.Equivalent = identity;
    if (identity)
        f.Transforms.push_back(new_a<TCopyChannelTransform>(inBpp, outBpp, 0, 0, inBpp));
    else
        f.Transforms.push_back(
            new_a<TMultiCopyChannelTransform>(inBpp, outBpp, input.BytesPS, std::move(copies)));
    if (output) *output = std::move(out);
    return f;
}
