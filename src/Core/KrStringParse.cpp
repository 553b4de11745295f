// Strict number parsing: the whole text must be a number in range, or the parse fails.
#include "Core/KrStringParse.h"
#include "Core/KrNumberScan.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

using namespace KrNumberScan;

namespace {
// The whole text [text, last) as a decimal unsigned long without a minus sign.
bool ParseUnsigned(const char* text, unsigned long* value) {
    if (!text) return false;
    const char* last = text + std::strlen(text);
    bool range = false, negative = false;
    unsigned long v = 0;
    if (ScanULong(text, last, 10, v, &range, &negative) != last || text == last || range || negative)
        return false;
    *value = v;
    return true;
}

// The whole text [first, last) as a finite decimal double.
bool ParseDecimal(const char* first, const char* last, double& value) {
    double v = 0;
    const TKrDoubleScan s = ScanDouble(first, last, v);
    if (s.form != TKrNumberForm::Decimal || s.end != last || !std::isfinite(v)) return false;
    value = v;
    return true;
}
} // namespace

bool KrStringToInt(const char* text, int* out) {
    if (!text) return false;
    const char* last = text + std::strlen(text);
    bool range = false;
    long v = 0;
    if (ScanLong(text, last, 10, v, &range) != last || text == last || range || v < INT_MIN || v > INT_MAX)
        return false;
    if (out) *out = static_cast<int>(v);
    return true;
}

bool KrStringToUlong(const char* text, unsigned long* out) {
    unsigned long v = 0;
    if (!ParseUnsigned(text, &v)) return false;
    if (out) *out = v;
    return true;
}

bool KrStringToUlongRange(const char* text, unsigned long min, unsigned long max, unsigned long* out) {
    unsigned long v = 0;
    if (!ParseUnsigned(text, &v) || v < min || v > max) return false;
    if (out) *out = v;
    return true;
}

bool KrStringToSizeT(const char* text, std::size_t* out) {
    static_assert(sizeof(std::size_t) <= sizeof(unsigned long), "size_t wider than unsigned long");
    unsigned long v = 0;
    if (!ParseUnsigned(text, &v) || v > static_cast<unsigned long>(SIZE_MAX)) return false;
    if (out) *out = static_cast<std::size_t>(v);
    return true;
}

bool KrStringToDouble(const char* text, double* out, bool accept_comma) {
    if (!text) return false;
    const std::size_t len = std::strlen(text);
    const char* comma = accept_comma ? static_cast<const char*>(std::memchr(text, ',', len)) : nullptr;
    double v = 0;
    if (!comma) {
        if (!ParseDecimal(text, text + len, v)) return false;
    } else {
        // The number reader knows only the point: the first comma becomes one in a copy (on the
        // stack unless the text is long). A second separator still ends the number early.
        char stack[64];
        std::string heap;
        char* copy = stack;
        if (len > sizeof stack) {
            heap.assign(text, len);
            copy = &heap[0];
        } else {
            std::memcpy(stack, text, len);
        }
        copy[comma - text] = '.';
        if (!ParseDecimal(copy, copy + len, v)) return false;
    }
    if (out) *out = v;
    return true;
}

bool KrStringToDoubleRange(const char* text, double min, double max, double* out, bool accept_comma) {
    double v = 0;
    if (!KrStringToDouble(text, &v, accept_comma) || !(v >= min && v <= max)) return false;
    if (out) *out = v;
    return true;
}
