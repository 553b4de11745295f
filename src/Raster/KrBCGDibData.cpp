// TKrBCGDibData: per-channel brightness/contrast/gamma, tile by tile.
#include "Raster/KrBCGDibData.h"
#include "Core/KrMessage.h"

namespace {

std::unique_ptr<TBCGTransformFunction> MakeFunction(const TKrDibChannels& ch) {
    if (ch.Type == TE_KrDibChannelType::ctUInt && ch.BytesPS == 1) return std::make_unique<T8bitBCGTF>();
    if (ch.Type == TE_KrDibChannelType::ctUInt && ch.BytesPS == 2) return std::make_unique<T16bitBCGTF>();
    return std::make_unique<TGenericBCGTF>(ch.Type, ch.BytesPS);
}

} // namespace

TKrBCGDibData::TKrBCGDibData(var_a<TKrDibData*> source)
    : TKrByPartsChannelTransform(source, source ? source->Channels() : TKrDibChannels()) {
    for (std::size_t c = 0; c < m_channels.size(); ++c)
        m_functions.push_back(MakeFunction(m_channels));
}

var_a<TKrDibData*> TKrBCGDibData::VCreate(var_a<TKrDibData*> source) {
    return new_a<TKrBCGDibData>(std::move(source));
}

TKrBCGDibData::~TKrBCGDibData() = default;

TBCGTransformFunction& TKrBCGDibData::Checked(std::size_t channel) {
    if (channel >= m_functions.size())
        throw TKrMessage("@TKrBCGDibData: channel %1% does not exist (the source has %2%).")
            << static_cast<unsigned long long>(channel)
            << static_cast<unsigned long long>(m_functions.size());
    return *m_functions[channel];
}

const TBCGTransformFunction& TKrBCGDibData::Function(std::size_t channel) const {
    return const_cast<TKrBCGDibData*>(this)->Checked(channel);
}

void TKrBCGDibData::SetBCG(double b, double c, double g) {
    TBCGConverter conv;
    conv.Init(b, c, g);
    SetBCGEffective(conv.a, conv.k, conv.g);
}

void TKrBCGDibData::SetBCGEffective(double a, double k, double g) {
    for (auto& f : m_functions)
        f->SetBCGEffective(a, k, g);
    m_uniform = true;
}

void TKrBCGDibData::SetBCGChan(std::size_t channel, double b, double c, double g) {
    TBCGConverter conv;
    conv.Init(b, c, g);
    SetBCGChanEffective(channel, conv.a, conv.k, conv.g);
}

void TKrBCGDibData::SetBCGChanEffective(std::size_t channel, double a, double k, double g) {
    Checked(channel).SetBCGEffective(a, k, g);
    m_uniform = true;
    for (const auto& f : m_functions)
        if (f->Converter() != m_functions.front()->Converter()) m_uniform = false;
}

bool TKrBCGDibData::IsEquivalentTransform() {
    return false;
}

bool TKrBCGDibData::TransformBuffer(const TKrDibDataOutBuffer& destination, const TKrDibDataOutBuffer& source,
                                    const TKrDibRect& grid) {
    // Init or SetOutputChannels may have changed the layout the functions were made for.
    if (m_source->Channels() != m_channels || m_functions.size() != m_channels.size())
        throw TKrMessage("@TKrBCGDibData: the channels changed after the functions were made.");
    const std::size_t bps = m_channels.BytesPS, bpp = m_channels.GetBytesPP(), channels = m_functions.size();
    const auto n = static_cast<std::size_t>(grid.count.x);
    for (std::uint64_t y = 0; y < grid.count.y; ++y) {
        char* out = destination.Row(static_cast<std::int64_t>(y));
        const char* in = source.Row(static_cast<std::int64_t>(y));
        if (m_uniform) {
            m_functions.front()->TransformSamples(out, in, n * channels, bps);
            continue;
        }
        for (std::size_t c = 0; c < channels; ++c)
            m_functions[c]->TransformSamples(out + c * bps, in + c * bps, n, bpp);
    }
    return true;
}
