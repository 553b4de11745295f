// TKrMaskDibData: background-colour masks, with loops for 1, 3 and any number of channels.
#include "Raster/KrMaskDibData.h"
#include "Core/KrExceptions.h"

namespace {

// One row: N channels (0 = any count up to 4), exact equality or within [low, high].
template <std::size_t N, bool Exact>
void MaskRow(unsigned char* out, const unsigned char* in, std::size_t n, std::size_t count,
             const std::int64_t* bg, std::int64_t low, std::int64_t high) {
    const std::size_t cn = N ? N : count;
    for (std::size_t i = 0; i < n; ++i, in += cn) {
        bool background = true;
        for (std::size_t c = 0; c < cn; ++c) {
            const std::int64_t d = static_cast<std::int64_t>(in[c]) - bg[c];
            if (Exact ? d != 0 : (d < low || d > high)) {
                background = false;
                break;
            }
        }
        out[i] = background ? 0 : 255;
    }
}

const TKrDibChannels& CheckedSource(const var_a<TKrDibData*>& vSrc, std::size_t BackColorSize) {
    constexpr auto ctUInt = TE_KrDibChannelType::ctUInt;
    KR_CHECK(vSrc);
    KR_CHECK(BackColorSize <= 4);
    const std::size_t m_SrcChCount = vSrc->Channels().size();
    KR_CHECK(m_SrcChCount <= 4);
    KR_CHECK(vSrc->Channels().Type == ctUInt);
    KR_CHECK(vSrc->Channels().BytesPS == 1);
    return vSrc->Channels();
}

} // namespace

TKrMaskDibData::TOutChannels::TOutChannels()
    : TKrDibChannels(TE_KrDibChannelType::ctUInt, 1, TE_KrDibChannelKind::ckAlpha) {}

const TKrMaskDibData::TOutChannels& TKrMaskDibData::TOutChannels::Get() {
    static const TOutChannels channels;
    return channels;
}

TKrMaskDibData::TKrMaskDibData(var_a<TKrDibData*> source, const unsigned* background, std::size_t count,
                               int below, int above)
    : TKrByPartsChannelTransform((CheckedSource(source, count), source), TOutChannels::Get()),
      m_SrcChCount(source->Channels().size()), m_low(-static_cast<std::int64_t>(below)), m_high(above) {
    KR_CHECK(background || count == 0);
    for (std::size_t c = 0; c < count; ++c)
        m_background[c] = background[c];
}

var_a<TKrDibData*> TKrMaskDibData::VCreate(var_a<TKrDibData*> source, const unsigned* background,
                                           std::size_t count, int below, int above) {
    return new_a<TKrMaskDibData>(std::move(source), background, count, below, above);
}

TKrMaskDibData::~TKrMaskDibData() = default;

bool TKrMaskDibData::IsEquivalentTransform() {
    return false;
}

bool TKrMaskDibData::TransformBuffer(const TKrDibDataOutBuffer& destination,
                                     const TKrDibDataOutBuffer& source, const TKrDibRect& grid) {
    // Init or SetOutputChannels may have changed the layouts the mask was made for.
    const TKrDibChannels& in = m_source->Channels();
    if (in.size() != m_SrcChCount || in.BytesPS != 1 || m_channels != TOutChannels::Get())
        throw TKrMessage("@TKrMaskDibData: the channels changed after the mask was made.");
    const auto n = static_cast<std::size_t>(grid.count.x);
    const bool exact = m_low == 0 && m_high == 0;
    auto row = exact ? (m_SrcChCount == 1   ? &MaskRow<1, true>
                        : m_SrcChCount == 3 ? &MaskRow<3, true>
                                            : &MaskRow<0, true>)
                     : (m_SrcChCount == 1   ? &MaskRow<1, false>
                        : m_SrcChCount == 3 ? &MaskRow<3, false>
                                            : &MaskRow<0, false>);
    for (std::uint64_t y = 0; y < grid.count.y; ++y) {
        const auto r = static_cast<std::int64_t>(y);
        row(reinterpret_cast<unsigned char*>(destination.Row(r)),
            reinterpret_cast<const unsigned char*>(source.Row(r)), n, m_SrcChCount, m_background, m_low,
            m_high);
    }
    return true;
}
