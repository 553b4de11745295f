// TKrBCGDibData: a decorator that adjusts brightness, contrast and gamma of every channel.
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrBCGTransformFunction.h"
#include "Raster/KrByPartsChannelTransform.h"

#include <cstddef>
#include <memory>
#include <vector>

/// One TBCGTransformFunction per channel, chosen by sample type: tables for unsigned 1 and 2-byte
/// samples, direct computation otherwise. The output layout is the source's. Until parameters
/// are set every channel has the identity (b 0, c 1, g 1).
class KRSTD_API TKrBCGDibData : public TKrByPartsChannelTransform {
public:
    /// A null source or a source without a valid layout throws TKrMessage.
    explicit TKrBCGDibData(var_a<TKrDibData*> source);
    static var_a<TKrDibData*> VCreate(var_a<TKrDibData*> source);
    ~TKrBCGDibData() override;

    /// Every channel (TBCGConverter::Init; NaN throws TKrMessage and changes nothing).
    void SetBCG(double b, double c, double g);
    void SetBCGEffective(double a, double k, double g);
    /// One channel; a channel index outside the layout throws TKrMessage.
    void SetBCGChan(std::size_t channel, double b, double c, double g);
    void SetBCGChanEffective(std::size_t channel, double a, double k, double g);
    const TBCGTransformFunction& Function(std::size_t channel) const;

    /// False: even the identity parameters go through the tables.
    bool IsEquivalentTransform() override;
    bool TransformBuffer(const TKrDibDataOutBuffer& destination, const TKrDibDataOutBuffer& source,
                         const TKrDibRect& grid) override;

private:
    TBCGTransformFunction& Checked(std::size_t channel);

    std::vector<std::unique_ptr<TBCGTransformFunction>> m_functions;
    bool m_uniform = true; // every channel has the same parameters: rows go through in one pass
};
