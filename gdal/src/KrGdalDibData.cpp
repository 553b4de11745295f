// TKrGdalDibData: windowed reads of a GDAL dataset into the caller's pixel buffer.
#include "Raster/KrGdalDibData.h"

#include "Core/KrMessage.h"

#include <cpl_error.h>
#include <gdal_priv.h>

#include <cmath>
#include <cstdint>
#include <mutex>
#include <vector>

namespace {

void RegisterDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

/// Keeps GDAL's error texts off stderr while in scope; they are reported through TKrMessage.
struct TQuietErrors {
    TQuietErrors() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~TQuietErrors() { CPLPopErrorHandler(); }
    TQuietErrors(const TQuietErrors&) = delete;
    TQuietErrors& operator=(const TQuietErrors&) = delete;
};

std::string LastGdalError() {
    const char* text = CPLGetLastErrorMsg();
    return text && *text ? text : "no reason given";
}

/// The sample layout GDAL reads `type` as: our type and size, and the GDAL type to ask for.
bool MapSampleType(GDALDataType type, std::int32_t& krType, std::size_t& bytes, GDALDataType& readAs) {
    switch (type) {
    case GDT_Byte:
        krType = TE_KrDibChannelType::ctUInt, bytes = 1, readAs = GDT_Byte;
        return true;
    case GDT_UInt16:
        krType = TE_KrDibChannelType::ctUInt, bytes = 2, readAs = GDT_UInt16;
        return true;
    case GDT_UInt32:
        krType = TE_KrDibChannelType::ctUInt, bytes = 4, readAs = GDT_UInt32;
        return true;
    case GDT_Int16:
    case GDT_Float32:
        krType = TE_KrDibChannelType::ctFloat, bytes = 4, readAs = GDT_Float32;
        return true;
    case GDT_Int32:
    case GDT_Float64:
        krType = TE_KrDibChannelType::ctFloat, bytes = 8, readAs = GDT_Float64;
        return true;
    default:
        return false;
    }
}

std::int32_t KindOf(GDALColorInterp interp) {
    switch (interp) {
    case GCI_GrayIndex:
        return TE_KrDibChannelKind::ckGray;
    case GCI_RedBand:
        return TE_KrDibChannelKind::ckRed;
    case GCI_GreenBand:
        return TE_KrDibChannelKind::ckGreen;
    case GCI_BlueBand:
        return TE_KrDibChannelKind::ckBlue;
    case GCI_AlphaBand:
        return TE_KrDibChannelKind::ckAlpha;
    default:
        return TE_KrDibChannelKind::ckUnused;
    }
}

/// The usual layout of `bands` bands without colour interpretation.
std::int32_t DefaultKind(int band, int bands) {
    using K = TE_KrDibChannelKind;
    static const std::int32_t gray[] = {K::ckGray, K::ckAlpha};
    static const std::int32_t rgba[] = {K::ckRed, K::ckGreen, K::ckBlue, K::ckAlpha};
    if (bands <= 2) return gray[band];
    if (bands <= 4) return rgba[band];
    return K::ckUnused;
}

/// The cells [first, end) of `count` cells from `start` that lie inside [0, size).
bool Overlap(double start, std::uint64_t count, std::int64_t size, std::int64_t& first, std::int64_t& end) {
    const double lo = std::max(start, 0.0);
    const double hi = std::min(start + static_cast<double>(count), static_cast<double>(size));
    if (!(lo < hi)) return false;
    first = static_cast<std::int64_t>(lo);
    end = static_cast<std::int64_t>(hi);
    return true;
}

} // namespace

var_a<TKrDibData*> TKrGdalDibData::VCreate(const std::string& path) {
    RegisterDrivers();
    GDALDataset* dataset = nullptr;
    {
        TQuietErrors quiet;
        dataset = GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR);
        if (!dataset)
            throw TKrMessage("@TKrGdalDibData::VCreate: cannot open \"%1%\" as an image: %2%")
                << path << LastGdalError();
    }
    // The dataset is owned by the object from here on, also when the checks below throw.
    return new_a<TKrGdalDibData>(dataset, path);
}

TKrGdalDibData::TKrGdalDibData(GDALDataset* dataset, const std::string& path)
    : m_dataset(dataset), m_path(path) {
    const int bands = m_dataset->GetRasterCount();
    const char* what = nullptr;
    GDALDataType type = GDT_Unknown;
    if (bands <= 0) {
        what = "it has no image bands";
    } else {
        type = m_dataset->GetRasterBand(1)->GetRasterDataType();
        for (int b = 1; b <= bands && !what; ++b)
            if (m_dataset->GetRasterBand(b)->GetRasterDataType() != type)
                what = "its bands differ in sample type";
    }
    GDALDataType readAs = GDT_Unknown;
    if (!what && !MapSampleType(type, m_channels.Type, m_channels.BytesPS, readAs))
        what = "its sample type has no counterpart";
    if (!what && static_cast<std::size_t>(bands) * m_channels.BytesPS > kKrDibMaxBytesPP)
        what = "its pixels are too large";
    if (what) {
        GDALClose(m_dataset);
        throw TKrMessage("@TKrGdalDibData::VCreate: cannot read \"%1%\": %2%.") << m_path << what;
    }
    m_gdalType = readAs;
    // Files without colour information mark band 1 gray and the others undefined (TIFF without
    // a photometric tag): those take the usual layout of their band count.
    bool described = false;
    for (int b = 0; b < bands; ++b) {
        m_channels.Kinds.push_back(KindOf(m_dataset->GetRasterBand(b + 1)->GetColorInterpretation()));
        const bool grayFirst = b == 0 && m_channels.Kinds[0] == TE_KrDibChannelKind::ckGray;
        described = described || (m_channels.Kinds[b] != TE_KrDibChannelKind::ckUnused && !grayFirst);
    }
    if (!described)
        for (int b = 0; b < bands; ++b)
            m_channels.Kinds[b] = DefaultKind(b, bands);
    m_rect = TKrDibRect{{0, 0},
                        {static_cast<std::uint64_t>(m_dataset->GetRasterXSize()),
                         static_cast<std::uint64_t>(m_dataset->GetRasterYSize())},
                        {1, 1}};
}

TKrGdalDibData::~TKrGdalDibData() {
    GDALClose(m_dataset);
}

TKrDibRect TKrGdalDibData::BoundsEx(const TKrDibRect&) {
    return m_rect;
}

const TKrDibChannels& TKrGdalDibData::Channels() {
    return m_channels;
}

TKrDibRect TKrGdalDibData::GetInterpolationLevel(const TKrDibRect& request,
                                                 const TInterpolationQuality& quality, bool* exact) {
    return GetSimplestInterpolationLevel(m_rect, request, quality, exact);
}

TKrGetRectResult TKrGdalDibData::GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                         const TInterpolationQuality&, int, TKrProgressHandler*) {
    if (!(request.pixel_size == m_rect.pixel_size) || request.IsEmpty() || m_rect.IsEmpty() ||
        !KrIsDibRectValid(request))
        return grComplete;
    const std::size_t bpp = m_channels.GetBytesPP();
    KrCheckDibOutBuffer(out, request.count, bpp, "TKrGdalDibData::GetRect");
    // Offsets truncate toward zero, as in the in-memory source.
    const double c0 = std::trunc(request.origin.x), r0 = std::trunc(request.origin.y);
    std::int64_t col, colEnd, row, rowEnd;
    if (!Overlap(c0, request.count.x, static_cast<std::int64_t>(m_rect.count.x), col, colEnd) ||
        !Overlap(r0, request.count.y, static_cast<std::int64_t>(m_rect.count.y), row, rowEnd))
        return grComplete;
    const TKrDibDataOutBuffer dst =
        out.Offset(col - static_cast<std::int64_t>(c0), row - static_cast<std::int64_t>(r0), bpp);
    const int w = static_cast<int>(colEnd - col), h = static_cast<int>(rowEnd - row);
    TQuietErrors quiet;
    const CPLErr err = m_dataset->RasterIO(GF_Read, static_cast<int>(col), static_cast<int>(row), w, h,
                                           dst.data, w, h, static_cast<GDALDataType>(m_gdalType),
                                           m_dataset->GetRasterCount(), nullptr, static_cast<GSpacing>(bpp),
                                           dst.stride, static_cast<GSpacing>(m_channels.BytesPS), nullptr);
    if (err != CE_None)
        throw TKrMessage(
            "@TKrGdalDibData::GetRect: reading %1% x %2% pixels at (%3%, %4%) of \"%5%\" failed: %6%")
            << static_cast<long>(w) << static_cast<long>(h) << static_cast<long>(col)
            << static_cast<long>(row) << m_path << LastGdalError();
    return grCompleteData;
}

void TKrGdalDibData::PurgeCache() {
    m_dataset->FlushCache();
}

std::string TKrGdalDibData::GetImageName() {
    return m_path;
}
