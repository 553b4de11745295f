// TKrDelayedDibData: a raster source that creates its real source only when it is first read.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Raster/KrDibData.h"

/// Stands for a source that is expensive to open (a file, a decoder): geometry and channels are
/// the declared ones until the first GetRect calls the factory. When the created source has
/// other channels than declared, that read throws TKrMessage (a converting decorator is the way
/// to adapt them). One thread at a time.
class KRSTD_API TKrDelayedDibData : public TKrDibData {
public:
    /// Creates the real source from the two stored pointers; a null result means "not available".
    using TFactory = var_a<TKrDibData*> (*)(void* a, void* b);

    /// `grid` and `channels` describe the source before it exists. A null factory or invalid
    /// channels throw TKrMessage.
    TKrDelayedDibData(const TKrDibRect& grid, const TKrDibChannels& channels, TFactory factory, void* a,
                      void* b);
    static var_a<TKrDibData*> VCreate(const TKrDibRect& grid, const TKrDibChannels& channels,
                                      TFactory factory, void* a, void* b);
    ~TKrDelayedDibData() override;

    /// The stored grid until loaded, then the source's.
    TKrDibRect Bounds() override;
    /// Before loading the stored grid's extent on `level`'s lattice (as TKrVoidDibData computes
    /// it); afterwards the source's.
    TKrDibRect BoundsEx(const TKrDibRect& level) override;
    /// The declared channels.
    const TKrDibChannels& Channels() override;
    /// Before loading GetSimplestInterpolationLevel over the stored grid; afterwards the source's.
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                     bool* exact) override;
    /// Creates the source on first use (2 when the factory gives none) and forwards the read.
    /// A factory exception propagates and the next read tries again.
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    /// Purges the source when loaded; does not unload it.
    void PurgeCache() override;
    std::size_t GetAllLevels(std::vector<TKrDibRect>* levels) override;
    TKrDibSize GetScaleDimensions(std::size_t level) override;
    std::string GetImageName() override;

    /// Releases the created source; the next read creates a new one.
    void Unload() noexcept;
    bool IsLoaded() const noexcept { return static_cast<bool>(m_source); }

private:
    TKrDibRect m_grid;
    TKrDibChannels m_channels;
    TFactory m_factory;
    void* m_a;
    void* m_b;
    var_a<TKrDibData*> m_source;
};
