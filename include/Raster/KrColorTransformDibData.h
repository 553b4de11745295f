// TKrColorTransformDibData: a decorator that converts its source between two channel layouts.
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrByPartsChannelTransform.h"
#include "Raster/KrChannelTransform.h"

#include <cstddef>
#include <vector>

/// Reads its source tile by tile and rewrites every pixel into the output layout through the
/// channel transforms of CreateColorTransformFunction (or of a channel remap). Identical layouts
/// read straight from the source.
class KRSTD_API TKrColorTransformDibData : public TKrByPartsChannelTransform {
public:
    /// Throws as CreateColorTransformFunction does for layouts it cannot convert.
    TKrColorTransformDibData(var_a<TKrDibData*> source, const TKrDibChannels& output);
    static var_a<TKrDibData*> VCreate(var_a<TKrDibData*> source, const TKrDibChannels& output);
    /// Output channel i is source channel map[i] (see CreateChannelRemapFunction): "2,1,0" on a
    /// red-green-blue source gives blue, green, red. An absent channel throws TKrMessage.
    static var_a<TKrDibData*> VCreateRemap(var_a<TKrDibData*> source, const std::vector<std::size_t>& map);
    ~TKrColorTransformDibData() override;

    /// The input layout the transforms were made for.
    const TKrDibChannels& InputChannels() const noexcept { return m_input; }
    const TColorTransformFunction& Function() const noexcept { return m_function; }

    bool IsEquivalentTransform() override;
    bool TransformBuffer(const TKrDibDataOutBuffer& destination, const TKrDibDataOutBuffer& source,
                         const TKrDibRect& grid) override;

private:
    struct TPrepared {}; // only the class itself can make one

public:
    /// With transforms already made for source->Channels() → output (VCreateRemap).
    TKrColorTransformDibData(TPrepared, var_a<TKrDibData*> source, const TKrDibChannels& output,
                             TColorTransformFunction function);

private:
    TKrDibChannels m_input, m_output;
    TColorTransformFunction m_function;
};
