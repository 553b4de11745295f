// Human-readable byte sizes and counts, and texts shortened to a display width.
#include "Core/KrStringReadable.h"
#include "Core/KrModule.h"
#include "Core/KrStringFormat.h"

#include <cmath>
#include <vector>

namespace {
constexpr const char* kDefaultFormat = "%2$.1lf %1$s";

// A unit name from the language texts. While none are loaded, a size without its unit would
// read as a different number ("1.5" for 1.5 KB), so the English unit stands in.
std::string UnitText(const char* id, const char* english) {
    return KrModule_Initializer::instance().get_resource_string(id, english);
}

std::string FormatUnit(const char* format, const std::string& unit, double value) {
    return Korvinex::ssprintf(format ? format : kDefaultFormat, unit.c_str(), value);
}

std::string NumUnitName(unsigned long exponent) {
    switch (exponent) {
    case 2:
        return UnitText("global.Num1e6", "million");
    case 3:
        return UnitText("global.Num1e9", "billion");
    default:
        return UnitText("global.Num1e12", "trillion");
    }
}

// Byte offsets of the UTF-8 characters of `s`, plus the end. A continuation byte never starts
// a character (except a stray one at the very start), so cuts never split a sequence.
std::vector<std::size_t> CharStarts(const std::string& s) {
    std::vector<std::size_t> starts;
    starts.reserve(s.size() + 1);
    for (std::size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 || i == 0) starts.push_back(i);
    starts.push_back(s.size());
    return starts;
}

std::size_t CharCount(const std::string& s) {
    return CharStarts(s).size() - 1;
}

// The first `n` characters of `s`.
std::string Head(const std::string& s, const std::vector<std::size_t>& starts, std::size_t n) {
    return s.substr(0, starts[n]);
}
// The last `n` characters of `s`.
std::string Tail(const std::string& s, const std::vector<std::size_t>& starts, std::size_t n) {
    return s.substr(starts[starts.size() - 1 - n]);
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}
} // namespace

std::string GetByteSizeString(unsigned long exponent) {
    static const char* const ids[] = {"global.UnitB",  "global.UnitKB", "global.UnitMB",
                                      "global.UnitGB", "global.UnitTB", "global.UnitPB",
                                      "global.UnitEB", "global.UnitZB", "global.UnitYB"};
    static const char* const english[] = {"B", "KB", "MB", "GB", "TB", "PB", "EB", "ZB", "YB"};
    if (exponent > 8) return "???";
    return UnitText(ids[exponent], english[exponent]);
}

std::string SizeReadable(double value, unsigned long exponent, const char* format) {
    if (exponent <= 8) {
        for (unsigned long i = 0; i < exponent; ++i)
            value /= 1024.0;
    } else {
        exponent = 0;
        while (std::fabs(value) > 1024.0 && exponent < 8) {
            value /= 1024.0;
            ++exponent;
        }
    }
    if (exponent == 0) return Korvinex::ssprintf("%.0lf", value) + " " + GetByteSizeString(0);
    return FormatUnit(format, GetByteSizeString(exponent), value);
}

std::string NumReadable(double value, unsigned long exponent, const char* format) {
    if (exponent <= 1) return Korvinex::ssprintf("%.0lf", value);
    if (exponent >= 5) {
        const double magnitude = std::fabs(value);
        if (!(magnitude >= 1e6)) return Korvinex::ssprintf("%.0lf", value);
        exponent = 4;
        for (unsigned long e = 2; e < 4; ++e) {
            if (magnitude / std::pow(1000.0, static_cast<double>(e)) < 1000.0) {
                exponent = e;
                break;
            }
        }
    }
    const double divided = value / std::pow(1000.0, static_cast<double>(exponent));
    if (exponent == 4 && std::fabs(divided) > 1000.0) return Korvinex::ssprintf("%.6le", value);
    return FormatUnit(format, NumUnitName(exponent), divided);
}

std::string contract(const std::string& text, std::size_t width) {
    const std::vector<std::size_t> starts = CharStarts(text);
    const std::size_t chars = starts.size() - 1;
    if (chars <= width) return text;
    if (width < 4) return Head(text, starts, width);
    const std::size_t keep = width - 3;
    const std::size_t tail = keep / 2;
    return Head(text, starts, keep - tail) + "..." + Tail(text, starts, tail);
}

std::string smart_filename_trim(const std::string& path, std::size_t width) {
    if (CharCount(path) <= width) return path;
    std::size_t cut = path.size();
    while (cut > 0 && !IsSeparator(path[cut - 1]))
        --cut;
    const std::string dir = path.substr(0, cut);
    const std::string name = path.substr(cut);
    const std::size_t nameChars = CharCount(name);

    // Folders in front of the name: keep as many leading characters as fit before "..." and the
    // path's own separator, preferably up to and including a separator.
    if (!dir.empty() && nameChars + 4 <= width) {
        const std::vector<std::size_t> starts = CharStarts(dir);
        const std::size_t room = width - nameChars - 4;
        std::size_t keep = room;
        while (keep > 0 && !IsSeparator(dir[starts[keep] - 1]))
            --keep;
        if (keep == 0) keep = room;
        return Head(dir, starts, keep) + "..." + path[cut - 1] + name;
    }

    // The name alone is too long: contract its stem and keep the extension.
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        const std::string ext = name.substr(dot);
        const std::size_t extChars = CharCount(ext);
        if (extChars + 4 <= width) return contract(name.substr(0, dot), width - extChars) + ext;
    }
    return contract(name, width);
}
