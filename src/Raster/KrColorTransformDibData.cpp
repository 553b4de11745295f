// TKrColorTransformDibData: layout conversion of a source, tile by tile.
#include "Raster/KrColorTransformDibData.h"
#include "Core/KrMessage.h"

namespace {

const TKrDibChannels& SourceChannels(const var_a<TKrDibData*>& source) {
    if (!source) throw TKrMessage("@TKrColorTransformDibData: no source.");
    return source->Channels();
}

} // namespace

TKrColorTransformDibData::TKrColorTransformDibData(var_a<TKrDibData*> source, const TKrDibChannels& output)
    : TKrColorTransformDibData(TPrepared{}, source, output,
                               CreateColorTransformFunction(SourceChannels(source), output)) {}

TKrColorTransformDibData::TKrColorTransformDibData(TPrepared, var_a<TKrDibData*> source,
                                                   const TKrDibChannels& output,
                                                   TColorTransformFunction function)
    : TKrByPartsChannelTransform(source, output), m_input(source->Channels()), m_output(output),
      m_function(std::move(function)) {}

var_a<TKrDibData*> TKrColorTransformDibData::VCreate(var_a<TKrDibData*> source,
                                                     const TKrDibChannels& output) {
    return new_a<TKrColorTransformDibData>(std::move(source), output);
}

var_a<TKrDibData*> TKrColorTransformDibData::VCreateRemap(var_a<TKrDibData*> source,
                                                          const std::vector<std::size_t>& map) {
    TKrDibChannels output;
    TColorTransformFunction f = CreateChannelRemapFunction(SourceChannels(source), map, &output);
    return new_a<TKrColorTransformDibData>(TPrepared{}, std::move(source), output, std::move(f));
}

TKrColorTransformDibData::~TKrColorTransformDibData() = default;

bool TKrColorTransformDibData::IsEquivalentTransform() {
    return m_function.Equivalent;
}

bool TKrColorTransformDibData::TransformBuffer(const TKrDibDataOutBuffer& destination,
                                               const TKrDibDataOutBuffer& source, const TKrDibRect& grid) {
    // Init or SetOutputChannels may have changed the layouts the transforms were made for.
    if (m_source->Channels() != m_input || m_channels != m_output)
        throw TKrMessage("@TKrColorTransformDibData: the channels changed after the transforms were made.");
    const auto n = static_cast<std::size_t>(grid.count.x);
    for (std::uint64_t y = 0; y < grid.count.y; ++y) {
        const auto row = static_cast<std::int64_t>(y);
        m_function.TransformRow(destination.Row(row), source.Row(row), n);
    }
    return true;
}
