// TKrTearSourceDibData: a placeholder whose real source can be attached, replaced or detached
// while its description survives.
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrDibData.h"

#include <cstddef>
#include <string>
#include <vector>

/// With a source attached every operation forwards to it. Detached, reads return 0 (nothing
/// done) and the description (levels, channels, bounds, name) answers from the snapshot taken
/// when the source was last set. One thread at a time.
class KRSTD_API TKrTearSourceDibData : public TKrDibData {
public:
    /// A null source throws std::runtime_error "TKrTearSourceDibData: FSrcDibData == 0".
    explicit TKrTearSourceDibData(var_a<TKrDibData*> source);
    static var_a<TKrDibData*> VCreate(var_a<TKrDibData*> source);
    ~TKrTearSourceDibData() override;

    TKrDibRect Bounds() override;
    TKrDibRect BoundsEx(const TKrDibRect& level) override;
    const TKrDibChannels& Channels() override;
    /// Detached: the request, exact.
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                     bool* exact) override;
    /// Detached: 0, the buffer untouched.
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    void FillDefaultColor(const TKrDibDataOutBuffer& out, TKrDibSize size) override;
    void PurgeCache() override;
    std::size_t GetAllLevels(std::vector<TKrDibRect>* levels) override;
    TKrDibSize GetScaleDimensions(std::size_t level) override;
    std::string GetImageName() override;

    /// Replaces the source and, when it is not null, takes a new snapshot; null detaches and
    /// keeps the old snapshot.
    virtual void SetSrcDibData(var_a<TKrDibData*> source);
    var_a<TKrDibData*> GetSrcDibData() const { return m_source; }
    /// Takes the snapshot of the attached source (nothing when detached).
    void SaveDibDataProps();

private:
    var_a<TKrDibData*> m_source;
    std::size_t m_levelCount = 0;
    std::vector<TKrDibRect> m_levels;
    TKrDibChannels m_channels;
    std::string m_imageName;
};
