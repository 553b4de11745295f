// krtool palette and dem: list and render the elevation palettes, colour a height grid with one.
#include "KrToolCommand.h"

#include "Core/KrMessage.h"
#include "Output/KrElevationPalette.h"

#include <QtGui/QImage>
#include <QtCore/QString>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

namespace {

bool ParsePositive(const std::string& text, int& out) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return r.ec == std::errc() && r.ptr == end && out > 0 && out <= 65536;
}

var_a<TKrElevationPalette*> PaletteE(const std::string& name) {
    var_a<TKrElevationPalette*> p = TKrElevationPalette::GetPalette(name);
    if (!p) throw TKrMessage("@unknown palette \"%1%\" (krtool palette list names them)") << name;
    return p;
}

// Shortest round-trip text, whatever the process locale.
std::string Text(float v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

QRgb ToQRgb(TKrColorRef c) {
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

void SaveE(const QImage& image, const std::string& path) {
    if (!image.save(QString::fromStdString(path), "PNG"))
        throw TKrMessage("@cannot write the image %1%") << path;
}

int RunPalette(const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "list") {
        std::vector<std::string> names;
        TKrElevationPalette::GetRegisteredNames(names);
        for (const std::string& name : names)
            std::printf("%-6s %s\n", name.c_str(), TKrElevationPalette::GetPalette(name)->GetTitle().c_str());
        return 0;
    }
    if (args.size() < 3 || args[0] != "render") return KrToolUsage("palette");
    int width = 256, height = 32;
    for (std::size_t i = 3; i < args.size(); i += 2) {
        const bool known = args[i] == "--width" || args[i] == "--height";
        if (!known || i + 1 >= args.size() ||
            !ParsePositive(args[i + 1], args[i] == "--width" ? width : height))
            return KrToolUsage("palette");
    }
    const var_a<TKrElevationPalette*> palette = PaletteE(args[1]);
    // The lowest height on the left, the highest on the right.
    QImage image(width, height, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x) {
        TKrColorRef c = 0;
        palette->GetColor(width > 1 ? double(x) / (width - 1) : 0.0, &c);
        for (int y = 0; y < height; ++y)
            image.setPixel(x, y, ToQRgb(c));
    }
    SaveE(image, args[2]);
    return 0;
}

int RunDem(const std::vector<std::string>& args) {
    int width = 0, height = 0;
    if (args.size() != 7 || args[0] != "colorize" || !ParsePositive(args[2], width) ||
        !ParsePositive(args[3], height) || args[5] != "--palette")
        return KrToolUsage("dem");
    const var_a<TKrElevationPalette*> palette = PaletteE(args[6]);
    std::ifstream in(args[1], std::ios::binary);
    if (!in) throw TKrMessage("@cannot read %1%") << args[1];
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t count = std::size_t(width) * std::size_t(height);
    if (bytes.size() != count * 4)
        throw TKrMessage("@%1% holds %2% bytes, not the %3% of %4% x %5% float32 heights")
            << args[1] << bytes.size() << count * 4 << width << height;

    std::vector<float> heights(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + 4 * i);
        const std::uint32_t bits = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
        std::memcpy(&heights[i], &bits, 4);
    }
    // Normalised between the lowest and highest finite heights; cells without a height (NaN)
    // take the palette's colour for NaN.
    float lo = std::numeric_limits<float>::infinity(), hi = -lo;
    for (float h : heights)
        if (std::isfinite(h)) lo = std::min(lo, h), hi = std::max(hi, h);
    const double range = hi > lo ? double(hi) - lo : 1.0;
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            TKrColorRef c = 0;
            palette->GetColor((heights[std::size_t(y) * width + x] - lo) / range, &c);
            line[x] = ToQRgb(c);
        }
    }
    SaveE(image, args[4]);
    std::printf("%s: %s x %s heights from %s to %s\n", args[4].c_str(), args[2].c_str(), args[3].c_str(),
                Text(lo).c_str(), Text(hi).c_str());
    return 0;
}

} // namespace

KRTOOL_COMMAND(palette, "palette", "list | render NAME OUT.png [--width W] [--height H]",
               "list the elevation palettes, or render one as a colour ramp image", RunPalette);
KRTOOL_COMMAND(dem, "dem", "colorize HEIGHTS.raw W H OUT.png --palette NAME",
               "colour a grid of float32 little-endian heights with an elevation palette", RunDem);
