// TKrGdalDibData: a raster source over any image file GDAL opens (GeoTIFF, PNG, JPEG, ...).
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Raster/KrDibData.h"

#include <string>

class GDALDataset;

/// One GDAL dataset as a single-level source: grid origin (0, 0), pixel size (1, 1), row 0 the
/// file's first row. Every band is one channel, in band order; kinds come from the bands'
/// colour interpretation (gray, red, green, blue, alpha), and bands without one take the usual
/// layout of their count (1 gray, 2 gray + alpha, 3 RGB, 4 RGBA). Samples are 1-, 2- or 4-byte
/// unsigned or 4- or 8-byte float; signed integer files are read as float. Reads go straight
/// from GDAL's windowed RasterIO into the caller's buffer, so GDAL's own block cache is the only
/// cache. One thread at a time.
class KRSTD_API TKrGdalDibData : public TKrDibData {
public:
    /// Opens `path` read-only. A file GDAL cannot open as a raster, one without bands, bands of
    /// different sizes or types, or a sample type without a counterpart (complex numbers)
    /// throws TKrMessage naming the file and the reason.
    static var_a<TKrDibData*> VCreate(const std::string& path);
    /// Takes ownership of an open dataset (closed also when the checks of VCreate throw).
    TKrGdalDibData(GDALDataset* dataset, const std::string& path);
    ~TKrGdalDibData() override;

    /// The full-resolution grid, whatever the argument.
    TKrDibRect BoundsEx(const TKrDibRect& level) override;
    const TKrDibChannels& Channels() override;
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                     bool* exact) override;
    /// Serves pixel size (1, 1) only (2 otherwise, as for a grid outside the image); origins
    /// truncate toward zero. Reads the part inside the image with one RasterIO call of all
    /// bands, interleaved by pixel at the caller's stride. A failed read throws TKrMessage.
    /// O(pixels read) plus the file's decoding cost.
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    /// Flushes GDAL's cached blocks of this dataset.
    void PurgeCache() override;
    /// The path given to VCreate.
    std::string GetImageName() override;

private:
    GDALDataset* m_dataset;
    std::string m_path;
    TKrDibChannels m_channels;
    TKrDibRect m_rect;
    int m_gdalType = 0; // GDALDataType the samples are read as
};
