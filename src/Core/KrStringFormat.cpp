// printf-style formatting into std::string, durations, user-facing numbers and angle texts.
#include "Core/KrStringFormat.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <langinfo.h>
#include <locale.h>
#include <memory>
#include <string>

namespace {
constexpr std::size_t kStackChars = 4096;
constexpr std::size_t kMaxChars = 0x3FFFFFFF;

// A negative result of the formatter means "did not fit" only for vswprintf; these errno
// values mean the text cannot be formatted at all, and growing the buffer would not help.
bool IsHardFormatError(int err) {
    return err == EILSEQ || err == EINVAL || err == EOVERFLOW;
}

// printf takes the decimal point from the calling thread's locale, and a Qt application runs in
// the user's (de_DE writes 1,5). A locale whose numbers are the "C" ones, made once per thread;
// its LC_CTYPE is the caller's, because %ls and the wide formatter convert characters with it,
// and it is remade when that changes. Null when it cannot be made (then nothing is switched).
locale_t CNumbersLocale() {
    struct TCache {
        std::string ctype;
        locale_t locale = nullptr;
        ~TCache() {
            if (locale) freelocale(locale);
        }
    };
    thread_local TCache cache;
    const locale_t current = uselocale(nullptr);
    const char* ctype = current == LC_GLOBAL_LOCALE ? std::setlocale(LC_CTYPE, nullptr)
                                                    : nl_langinfo_l(_NL_LOCALE_NAME(LC_CTYPE), current);
    if (!ctype || !*ctype) ctype = "C";
    if (cache.locale && cache.ctype == ctype) return cache.locale;
    locale_t made = newlocale(LC_ALL_MASK, "C", nullptr);
    if (made && std::strcmp(ctype, "C") != 0) {
        const locale_t withCtype = newlocale(LC_CTYPE_MASK, ctype, made);
        if (!withCtype) freelocale(made);
        made = withCtype;
    }
    if (!made) return nullptr;
    if (cache.locale) freelocale(cache.locale);
    cache.locale = made;
    cache.ctype = ctype;
    return made;
}

// Formats of this file run with CNumbersLocale() as the thread's locale.
class TCNumbersScope {
public:
    TCNumbersScope() : m_previous(nullptr) {
        if (const locale_t numbers = CNumbersLocale()) m_previous = uselocale(numbers);
    }
    ~TCNumbersScope() {
        if (m_previous) uselocale(m_previous);
    }
    TCNumbersScope(const TCNumbersScope&) = delete;
    TCNumbersScope& operator=(const TCNumbersScope&) = delete;

private:
    locale_t m_previous;
};

int FormatInto(char* buf, std::size_t size, const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(buf, size, format, copy);
    va_end(copy);
    return n;
}

int FormatInto(wchar_t* buf, std::size_t size, const wchar_t* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vswprintf(buf, size, format, copy);
    va_end(copy);
    return n;
}

template <class Char> std::basic_string<Char> FormatString(const Char* format, va_list args) {
    using String = std::basic_string<Char>;
    if (!format) return String();
    const TCNumbersScope numbers;
    Char stack[kStackChars];
    errno = 0;
    int n = FormatInto(stack, kStackChars, format, args);
    if (n >= 0 && static_cast<std::size_t>(n) < kStackChars)
        return String(stack, static_cast<std::size_t>(n));
    if (n >= 0) {
        // The narrow formatter told the length it needs: one more pass into a buffer that fits.
        String out(static_cast<std::size_t>(n), Char());
        int m = FormatInto(&out[0], out.size() + 1, format, args);
        if (m != n) return String();
        return out;
    }
    std::size_t size = kStackChars;
    while (!IsHardFormatError(errno)) {
        size *= 2;
        if (size > kMaxChars) break;
        std::unique_ptr<Char[]> heap(new Char[size + 1]);
        errno = 0;
        n = FormatInto(heap.get(), size + 1, format, args);
        if (n >= 0) return String(heap.get(), static_cast<std::size_t>(n));
    }
    return String();
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = Korvinex::svsprintf(format, args);
    va_end(args);
    return out;
}

int ClampInt(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

long long Pow10(int n) {
    long long p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}
} // namespace

namespace Korvinex {

std::string svsprintf(const char* format, va_list args) {
    return FormatString(format, args);
}

std::string ssprintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatString(format, args);
    va_end(args);
    return out;
}

std::wstring wsvsprintf(const wchar_t* format, va_list args) {
    return FormatString(format, args);
}

std::wstring wssprintf(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring out = FormatString(format, args);
    va_end(args);
    return out;
}

} // namespace Korvinex

std::string KrGetTimeStr(unsigned seconds) {
    return Printf("%01u:%02lu:%02lu", seconds / 3600, static_cast<unsigned long>(seconds / 60 % 60),
                  static_cast<unsigned long>(seconds % 60));
}

std::string KrGetTimeFormatedStr(double seconds, int decimals) {
    if (std::isnan(seconds)) return "?";
    if (std::isinf(seconds)) return seconds < 0 ? "-inf" : "inf";
    decimals = ClampInt(decimals, 0, 9);
    const bool negative = seconds < 0;
    // Round once, in units of the last shown digit, so that carries reach minutes and hours.
    const long long unit = Pow10(decimals);
    const double scaled = std::floor(std::fabs(seconds) * static_cast<double>(unit) + 0.5);
    if (scaled >= 9.0e18) return Printf("%s%.0lf s", negative ? "-" : "", std::fabs(seconds));
    const unsigned long long ticks = static_cast<unsigned long long>(scaled);
    const unsigned long long whole = ticks / static_cast<unsigned long long>(unit);
    const unsigned long long frac = ticks % static_cast<unsigned long long>(unit);
    const unsigned long long days = whole / 86400;
    const unsigned long long hours = whole / 3600 % 24;
    const unsigned long long minutes = whole / 60 % 60;
    const unsigned long long secs = whole % 60;
    std::string out = (negative && ticks != 0) ? "-" : "";
    if (days)
        out += Printf("%llud %02llu:", days, hours);
    else
        out += Printf("%llu:", hours);
    out += Printf("%02llu:%02llu", minutes, secs);
    if (decimals > 0) out += Printf(".%0*llu", decimals, frac);
    return out;
}

std::string KrDoubleToUserString(double value, int max_decimals) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    max_decimals = ClampInt(max_decimals, 0, 15);
    const double magnitude = std::fabs(value);
    const double smallest = 0.5 / static_cast<double>(Pow10(max_decimals));
    std::string out;
    if (magnitude >= 1e15 || (magnitude != 0 && magnitude < smallest)) {
        out = Printf("%.15g", value);
    } else {
        out = Printf("%.*f", max_decimals, value);
        if (out.find('.') != std::string::npos) {
            out.erase(out.find_last_not_of('0') + 1);
            if (out.back() == '.') out.pop_back();
        }
    }
    if (out == "-0") out = "0";
    return out;
}

std::string GetDMSString(double value, int mode, bool latitude, bool letters, bool symbols, int precision) {
    const char* prefix;
    if (value > 0) {
        prefix = letters ? (latitude ? "N" : "E") : "+";
    } else {
        prefix = letters ? (latitude ? "S" : "W") : "-";
        value = std::fabs(value);
    }
    const char* degree = symbols ? "\xC2\xB0" : "";
    const char* minute = symbols ? "'" : "";
    const char* second = symbols ? "\"" : "";
    precision = ClampInt(precision, 0, 9);
    const double kLimit = 4.0e18; // rounded counts must stay well inside long long

    if (mode == 1) {
        const long long scale = Pow10(precision + 2);
        const double t = std::floor(value * 60.0 * static_cast<double>(scale) + 0.5);
        if (std::isfinite(t) && t < kLimit) {
            const long long ticks = static_cast<long long>(t);
            const long long m = ticks / scale, f = ticks % scale;
            return Printf("%s%lld%s %02lld.%0*lld%s", prefix, m / 60, degree, m % 60, precision + 2, f,
                          minute);
        }
    } else if (mode == 2) {
        const long long scale = Pow10(precision);
        const double t = std::floor(value * 3600.0 * static_cast<double>(scale) + 0.5);
        if (std::isfinite(t) && t < kLimit) {
            const long long ticks = static_cast<long long>(t);
            const long long s = ticks / scale, f = ticks % scale;
            if (precision > 0)
                return Printf("%s%lld%s %02lld%s %02lld.%0*lld%s", prefix, s / 3600, degree, s / 60 % 60,
                              minute, s % 60, precision, f, second);
            return Printf("%s%lld%s %02lld%s %02lld%s", prefix, s / 3600, degree, s / 60 % 60, minute, s % 60,
                          second);
        }
    }
    return Printf("%s%.*lf%s", prefix, precision + 4, value, degree);
}
