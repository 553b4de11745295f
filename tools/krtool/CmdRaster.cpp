// krtool raster: describe an image file and read a window of it at any pixel size, through the GDAL adapter.
#include "KrToolCommand.h"
#include "KrToolProgress.h"

#ifdef KRTOOL_WITH_GDAL

#include "Raster/KrBCGDibData.h"
#include "Raster/KrColorTransformDibData.h"
#include "Raster/KrCacheDibData.h"
#include "Raster/KrDibChannels.h"
#include "Raster/KrGdalDibData.h"
#include "Raster/KrMaskDibData.h"
#include "Raster/KrMultiScaleDibData.h"
#include "Raster/KrMultiScaleFullCacheDibData.h"
#include "Raster/KrScaleDibData.h"

#include <gdal_priv.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

bool ParseDouble(const std::string& text, double& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first; // from_chars takes no plus sign
    const auto r = std::from_chars(first, last, value);
    return first != last && r.ec == std::errc() && r.ptr == last && std::isfinite(value);
}

std::string Num(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

/// The levels a pyramid over an image of `size` would hold: halving until both sides fit one
/// cache tile. Only the level layout is used; no level is ever read.
class TLevelLayout : public TKrMultiScaleDibData {
public:
    explicit TLevelLayout(TKrDibSize size) {
        const std::uint64_t tile = std::max<std::uint64_t>(GetDefaultDibDataMemTileSize(), 1);
        std::size_t levels = 1;
        while (levels < 63 && std::max(size.x >> (levels - 1), size.y >> (levels - 1)) > tile)
            ++levels;
        FillDefaultLevelBounds(size, levels);
    }
    const TKrDibChannels& Channels() override { return m_channels; }
    void PurgeCache() override {}
    using TKrMultiScaleDibData::GetRect;
    TKrGetRectResult GetRect(std::size_t, const TKrDibRectI&, const TKrDibDataOutBuffer&) override {
        return grComplete;
    }

private:
    TKrDibChannels m_channels;
};

std::string KindsText(const TKrDibChannels& channels) {
    std::string text;
    for (std::int32_t kind : channels.Kinds) {
        std::string k = ChannelKindToText(kind);
        text += (text.empty() ? "" : ",") + (k.empty() ? std::string("?") : k);
    }
    return text;
}

int Info(const std::vector<std::string>& args) {
    if (args.size() != 2) return KrToolUsage("raster");
    var_a<TKrDibData*> dib = TKrGdalDibData::VCreate(args[1]);
    const TKrDibRect bounds = dib->Bounds();
    const TKrDibChannels& ch = dib->Channels();
    std::printf("size: %llu x %llu\n", static_cast<unsigned long long>(bounds.count.x),
                static_cast<unsigned long long>(bounds.count.y));
    std::printf("channels: %zu (%s), %s %zu bytes per sample, %zu bytes per pixel\n", ch.size(),
                KindsText(ch).c_str(), ch.Type == TE_KrDibChannelType::ctFloat ? "float" : "unsigned",
                ch.BytesPS, ch.GetBytesPP());
    TLevelLayout pyramid(bounds.count);
    std::vector<TKrDibRect> levels;
    pyramid.GetAllLevels(&levels);
    std::printf("pyramid levels: %zu\n", levels.size());
    for (std::size_t k = 0; k < levels.size(); ++k)
        std::printf("  level %zu: %llu x %llu, pixel size %s, origin %s\n", k,
                    static_cast<unsigned long long>(levels[k].count.x),
                    static_cast<unsigned long long>(levels[k].count.y), Num(levels[k].pixel_size.x).c_str(),
                    Num(levels[k].origin.x).c_str());
    return 0;
}

GDALDataType GdalTypeOf(const TKrDibChannels& ch) {
    if (ch.Type == TE_KrDibChannelType::ctFloat) return ch.BytesPS == 8 ? GDT_Float64 : GDT_Float32;
    return ch.BytesPS == 1 ? GDT_Byte : ch.BytesPS == 2 ? GDT_UInt16 : GDT_UInt32;
}

GDALColorInterp InterpOf(std::int32_t kind) {
    switch (kind) {
    case TE_KrDibChannelKind::ckGray:
        return GCI_GrayIndex;
    case TE_KrDibChannelKind::ckRed:
        return GCI_RedBand;
    case TE_KrDibChannelKind::ckGreen:
        return GCI_GreenBand;
    case TE_KrDibChannelKind::ckBlue:
        return GCI_BlueBand;
    case TE_KrDibChannelKind::ckAlpha:
        return GCI_AlphaBand;
    default:
        return GCI_Undefined;
    }
}

/// Writes packed pixels to `path` with the PNG or GTiff driver, chosen by the extension.
void WriteImage(const std::string& path, const std::vector<char>& pixels, const TKrDibSize& size,
                const TKrDibChannels& ch) {
    std::string ext =
        path.substr(path.find_last_of('.') == std::string::npos ? path.size() : path.find_last_of('.'));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const char* driverName = ext == ".png" ? "PNG" : (ext == ".tif" || ext == ".tiff") ? "GTiff" : nullptr;
    if (!driverName) throw std::runtime_error("the output must end in .png, .tif or .tiff: " + path);
    GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
    if (!mem || !driver) throw std::runtime_error(std::string("GDAL lacks the ") + driverName + " driver");
    const int w = static_cast<int>(size.x), h = static_cast<int>(size.y), bands = static_cast<int>(ch.size());
    std::unique_ptr<GDALDataset, void (*)(GDALDataset*)> image(
        mem->Create("", w, h, bands, GdalTypeOf(ch), nullptr), [](GDALDataset* d) { GDALClose(d); });
    if (!image)
        throw std::runtime_error("cannot make a " + std::to_string(w) + " x " + std::to_string(h) +
                                 " image in memory");
    const std::size_t bpp = ch.GetBytesPP();
    if (image->RasterIO(GF_Write, 0, 0, w, h, const_cast<char*>(pixels.data()), w, h, GdalTypeOf(ch), bands,
                        nullptr, static_cast<GSpacing>(bpp), static_cast<GSpacing>(bpp * size.x),
                        static_cast<GSpacing>(ch.BytesPS), nullptr) != CE_None)
        throw std::runtime_error(std::string("filling the image failed: ") + CPLGetLastErrorMsg());
    for (int b = 0; b < bands; ++b)
        image->GetRasterBand(b + 1)->SetColorInterpretation(InterpOf(ch.Kinds[b]));
    // GDAL's reason goes into the thrown text, not to stderr.
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
    GDALDataset* written = driver->CreateCopy(path.c_str(), image.get(), FALSE, nullptr, nullptr, nullptr);
    CPLPopErrorHandler();
    if (!written) throw std::runtime_error("cannot write \"" + path + "\": " + CPLGetLastErrorMsg());
    GDALClose(written);
}

// "B,C,G": brightness, contrast and gamma.
bool ParseBCG(const std::string& text, double (&bcg)[3]) {
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = i < 2 ? text.find(',', start) : text.size();
        if (comma == std::string::npos) return false;
        if (!ParseDouble(text.substr(start, comma - start), bcg[i])) return false;
        start = comma + 1;
    }
    return true;
}

// "2,1,0": source channel indices, one per output channel.
bool ParseChannels(const std::string& text, std::vector<std::size_t>& map) {
    map.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        std::size_t v = 0;
        const char* first = text.data() + start;
        const char* last = text.data() + comma;
        const auto r = std::from_chars(first, last, v);
        if (first == last || r.ec != std::errc() || r.ptr != last || map.size() >= 64) return false;
        map.push_back(v);
        start = comma + 1;
    }
    return true;
}

/// `source` read through a tile cache of `mib` MiB (0 = unlimited) with the default tile edge;
/// `memory` receives the cache's memory so that the caller can report what it holds.
var_a<TKrDibData*> CachedSource(var_a<TKrDibData*> source, double mib, var_a<TKrMemCache*>& memory) {
    const std::uint64_t tile = std::max<std::uint64_t>(GetDefaultDibDataMemTileSize(), 1);
    memory = new_a<TKrMemCache>(static_cast<std::size_t>(mib * 1048576.0));
    return TKrCacheDibData::VCreate(source, false, {tile, tile}, memory);
}

int Read(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    double rect[4] = {0, 0, 0, 0};
    bool haveRect = false;
    double pixelSize = 1;
    TKrScaleDibData::TFilterType filter = TKrScaleDibData::ftNearest;
    double bcg[3] = {0, 1, 1};
    bool haveBCG = false, mask = false;
    std::vector<std::size_t> channelMap;
    double cacheMiB = -1;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--cache" && i + 1 < args.size()) {
            if (!ParseDouble(args[++i], cacheMiB) || cacheMiB < 0 || cacheMiB > 1048576)
                return KrToolUsage("raster");
        } else if (a == "--rect" && i + 4 < args.size()) {
            for (double& v : rect)
                if (!ParseDouble(args[++i], v)) return KrToolUsage("raster");
            haveRect = true;
        } else if (a == "--pixel-size" && i + 1 < args.size()) {
            if (!ParseDouble(args[++i], pixelSize) || !(pixelSize > 0)) return KrToolUsage("raster");
        } else if (a == "--filter" && i + 1 < args.size()) {
            const std::string& f = args[++i];
            if (f == "nearest")
                filter = TKrScaleDibData::ftNearest;
            else if (f == "linear")
                filter = TKrScaleDibData::ftLinear;
            else
                return KrToolUsage("raster");
        } else if (a == "--bcg" && i + 1 < args.size()) {
            if (!ParseBCG(args[++i], bcg)) return KrToolUsage("raster");
            haveBCG = true;
        } else if (a == "--channels" && i + 1 < args.size()) {
            if (!ParseChannels(args[++i], channelMap)) return KrToolUsage("raster");
        } else if (a == "--mask") {
            mask = true;
        } else if (a.compare(0, 2, "--") != 0) {
            files.push_back(a);
        } else {
            return KrToolUsage("raster");
        }
    }
    if (files.size() != 2) return KrToolUsage("raster");

    var_a<TKrDibData*> source = TKrGdalDibData::VCreate(files[0]);
    var_a<TKrMemCache*> tileMemory;
    if (cacheMiB >= 0) source = CachedSource(source, cacheMiB, tileMemory);
    const TKrDibRect bounds = source->Bounds();
    if (!haveRect) {
        rect[2] = static_cast<double>(bounds.count.x);
        rect[3] = static_cast<double>(bounds.count.y);
    }
    if (!(rect[2] > 0 && rect[3] > 0)) return KrToolUsage("raster");
    // The output grid covers the rectangle's source pixels: its first sample sits at the centre
    // of the first S × S block (source pixel centres are whole numbers).
    TKrDibRect grid;
    grid.pixel_size = {pixelSize, pixelSize};
    grid.origin = {rect[0] + 0.5 * pixelSize - 0.5, rect[1] + 0.5 * pixelSize - 0.5};
    grid.count = {static_cast<std::uint64_t>(std::max(1.0, std::round(rect[2] / pixelSize))),
                  static_cast<std::uint64_t>(std::max(1.0, std::round(rect[3] / pixelSize)))};
    if (grid.count.x > 1u << 30 || grid.count.y > 1u << 30)
        throw std::runtime_error("the output is too large");

    var_a<TKrDibData*> scaled = TKrScaleDibData::VCreate(source, vec2d(0, 0), vec2d(1, 1), filter);
    // Pixel adjustments run on the resampled pixels: remap, then brightness/contrast/gamma, then
    // the mask of black (zero) background.
    if (!channelMap.empty()) scaled = TKrColorTransformDibData::VCreateRemap(scaled, channelMap);
    if (haveBCG) {
        var_a<TKrBCGDibData*> adjusted = new_a<TKrBCGDibData>(scaled);
        adjusted->SetBCG(bcg[0], bcg[1], bcg[2]);
        scaled = adjusted;
    }
    if (mask) {
        const TKrDibChannels& in = scaled->Channels();
        if (in.Type != TE_KrDibChannelType::ctUInt || in.BytesPS != 1 || in.size() > 4)
            throw std::runtime_error("--mask needs unsigned 8-bit samples and at most 4 channels");
        const unsigned black[4] = {0, 0, 0, 0};
        scaled = TKrMaskDibData::VCreate(scaled, black, in.size(), 0, 0);
    }
    const TKrDibChannels ch = scaled->Channels();
    const std::size_t bpp = ch.GetBytesPP();
    std::vector<char> pixels(grid.count.x * grid.count.y * bpp, 0);
    const TKrDibDataOutBuffer out{pixels.data(), static_cast<std::int64_t>(grid.count.x * bpp)};
    scaled->GetRect(out, grid, GetDisplayInterpolationQuality(), 0, nullptr);
    WriteImage(files[1], pixels, grid.count, ch);
    std::printf("%s: %llu x %llu pixels, pixel size %s\n", files[1].c_str(),
                static_cast<unsigned long long>(grid.count.x), static_cast<unsigned long long>(grid.count.y),
                Num(pixelSize).c_str());
    if (tileMemory)
        std::printf("tile cache: %zu tiles, %zu bytes\n", tileMemory->count(), tileMemory->used());
    return 0;
}

/// The pyramid level layout of an image (halving until a level fits one tile), each level
/// produced by area averaging of the full-resolution source.
class TAveragedLevels : public TKrFilterDibData {
public:
    explicit TAveragedLevels(var_a<TKrDibData*> source)
        : TKrFilterDibData(
              TKrScaleDibData::VCreate(source, vec2d(0, 0), vec2d(1, 1), TKrScaleDibData::ftLinear)) {
        TLevelLayout(source->Bounds().count).GetAllLevels(&m_levels);
    }
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override {
        return m_source->GetRect(out, request, quality, flags, progress);
    }
    std::size_t GetAllLevels(std::vector<TKrDibRect>* levels) override {
        if (levels) *levels = m_levels;
        return m_levels.size();
    }
    TKrDibSize GetScaleDimensions(std::size_t level) override {
        return level < m_levels.size() ? m_levels[level].count : TKrDibSize{0, 0};
    }

private:
    std::vector<TKrDibRect> m_levels;
};

int Pyramid(const std::vector<std::string>& args) {
    if (args.size() != 3) return KrToolUsage("raster");
    var_a<TKrDibData*> levels = new_a<TAveragedLevels>(TKrGdalDibData::VCreate(args[1]));
    kr::TMultiScaleFullCacheDibData pyramid(levels);
    const std::filesystem::path dir(args[2]);
    std::filesystem::create_directories(dir);
    std::vector<TKrDibRect> grids;
    pyramid.GetAllLevels(&grids);
    const TKrDibChannels ch = pyramid.Channels();
    const std::size_t bpp = ch.GetBytesPP();
    // Progress counts output pixels: level 0 is most of the work.
    double total = 0, done = 0;
    for (const TKrDibRect& g : grids)
        total += static_cast<double>(g.count.x) * static_cast<double>(g.count.y);
    TKrToolProgress progress("raster pyramid " + args[1]);
    for (std::size_t k = 0; k < grids.size(); ++k) {
        const TKrDibRect& g = grids[k];
        if (g.count.x > 1u << 30 || g.count.y > 1u << 30) throw std::runtime_error("the image is too large");
        std::vector<char> pixels(g.count.x * g.count.y * bpp, 0);
        const TKrDibDataOutBuffer out{pixels.data(), static_cast<std::int64_t>(g.count.x * bpp)};
        if (!(pyramid.GetRect(out, g, GetDisplayInterpolationQuality(), 0, nullptr) & grComplete))
            throw std::runtime_error("level " + std::to_string(k) + " could not be read");
        const std::string path = (dir / ("level_" + std::to_string(k) + ".png")).string();
        progress.RemoveOnFailure(path);
        WriteImage(path, pixels, g.count, ch);
        done += static_cast<double>(g.count.x) * static_cast<double>(g.count.y);
        progress.Report(done, total);
        std::printf("%s: %llu x %llu pixels, pixel size %s\n", path.c_str(),
                    static_cast<unsigned long long>(g.count.x), static_cast<unsigned long long>(g.count.y),
                    Num(g.pixel_size.x).c_str());
    }
    progress.Done();
    return 0;
}

int RunRaster(const std::vector<std::string>& args) {
    if (args.empty()) return KrToolUsage("raster");
    if (args[0] == "info") return Info(args);
    if (args[0] == "read") return Read(args);
    if (args[0] == "pyramid") return Pyramid(args);
    return KrToolUsage("raster");
}

} // namespace

KRTOOL_COMMAND(
    raster, "raster",
    "info FILE | read FILE OUT.png|OUT.tif [--rect X Y W H] [--pixel-size S] [--filter nearest|linear] "
    "[--channels I,J,...] [--bcg B,C,G] [--mask] [--cache MB] | pyramid FILE OUT_DIR",
    "describe an image file (size, channels, pyramid levels), write a window of it resampled to "
    "pixel size S (in source pixels; default 1, the whole image), or write every pyramid level as "
    "OUT_DIR/level_<k>.png; --channels picks and orders the source channels (2,1,0 swaps red and "
    "blue), --bcg adjusts brightness, contrast (1 = unchanged) and gamma, --mask writes 0 where "
    "every channel is 0 (8-bit images) and 255 elsewhere, --cache reads the file through a tile "
    "cache of MB MiB (0 = unlimited)",
    RunRaster);

#endif // KRTOOL_WITH_GDAL
