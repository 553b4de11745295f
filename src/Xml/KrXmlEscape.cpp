// Escaping and unescaping of XML text.
#include "Xml/KrXmlEscape.h"
#include "Xml/KrXmlEscapeInternal.h"

#include <cstring>

namespace {

inline int HexValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

/// UTF-8 of `cp` into out; 0 when it is no scalar value.
inline std::size_t EncodeUtf8(unsigned long cp, char* out) noexcept {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    if (cp <= 0x10FFFF) {
        out[0] = static_cast<char>(0xF0 | (cp >> 18));
        out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[3] = static_cast<char>(0x80 | (cp & 0x3F));
        return 4;
    }
    return 0;
}

/// Decodes the reference starting at `amp` (on '&') into out. Returns the bytes of input it
/// replaces (0: not a reference we know) and sets `written`.
std::size_t DecodeReference(const char* amp, const char* end, char* out, std::size_t& written) noexcept {
    const std::size_t avail = static_cast<std::size_t>(end - amp);
    if (avail >= 3 && amp[1] == '#') {
        const bool hex = amp[2] == 'x';
        const char* p = amp + (hex ? 3 : 2);
        const char* digits = p;
        unsigned long cp = 0;
        for (; p < end; ++p) {
            const int d = hex ? HexValue(*p) : (*p >= '0' && *p <= '9' ? *p - '0' : -1);
            if (d < 0) break;
            cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(d);
            if (cp > 0x10FFFF) return 0;
        }
        if (p == digits || p >= end || *p != ';') return 0;
        // The output (at most 4 bytes) is never longer than the reference (at least 4 bytes),
        // so writing in place cannot overrun unread input.
        char buf[4];
        written = EncodeUtf8(cp, buf);
        if (!written) return 0;
        std::memcpy(out, buf, written);
        return static_cast<std::size_t>(p + 1 - amp);
    }
    struct Named {
        const char* text;
        std::size_t len;
        char c;
    };
    static constexpr Named kNamed[] = {
        {"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''}};
    for (const Named& e : kNamed) {
        if (avail >= e.len && std::memcmp(amp, e.text, e.len) == 0) {
            *out = e.c;
            written = 1;
            return e.len;
        }
    }
    return 0;
}
} // namespace

std::size_t KrEncodeStringXmlBufLength(const char* s, std::size_t n, TKrEncodeStringXmlMode mode) {
    std::size_t len = n;
    for (const char *p = s, *end = s + n; (p = KrXmlEscapeInternal::SkipPlain(p, end, mode)) < end; ++p)
        len += 5;
    return len;
}

std::size_t KrEncodeStringXmlBufNZ(const char* s, std::size_t n, char* out, TKrEncodeStringXmlMode mode) {
    char* o = out;
    return KrXmlEscapeInternal::Escape(s, n, mode, [&o](const char* p, std::size_t k) {
        std::memcpy(o, p, k);
        o += k;
    });
}

bool KrXmlEscapeInternal::WriteEscaped(TKrBufferedWriter& out, const char* s, const char* firstEscaped,
                                       const char* end, unsigned mode, std::size_t* written) {
    bool ok = out.Write(s, static_cast<std::size_t>(firstEscaped - s));
    const std::size_t len = Escape(firstEscaped, static_cast<std::size_t>(end - firstEscaped), mode,
                                   [&](const char* p, std::size_t k) {
                                       if (!out.Write(p, k)) ok = false;
                                   });
    if (written) *written = static_cast<std::size_t>(firstEscaped - s) + len;
    return ok;
}

std::size_t KrXmlEscapeInternal::Reference(unsigned bit, unsigned char c, char* out) noexcept {
    using M = TE_KrEncodeStringXmlMode;
    const char* text;
    std::size_t len;
    switch (bit) {
    case M::xmlEncQuot:
        text = "&quot;", len = 6;
        break;
    case M::xmlEncAmp:
        text = "&amp;", len = 5;
        break;
    case M::xmlEncApos:
        text = "&apos;", len = 6;
        break;
    case M::xmlEncLt:
        text = "&lt;", len = 4;
        break;
    case M::xmlEncGt:
        text = "&gt;", len = 4;
        break;
    default: {
        static const char kHex[] = "0123456789ABCDEF";
        char* o = out;
        *o++ = '&';
        *o++ = '#';
        *o++ = 'x';
        if (c >= 16) *o++ = kHex[c >> 4];
        *o++ = kHex[c & 15];
        *o++ = ';';
        return static_cast<std::size_t>(o - out);
    }
    }
    std::memcpy(out, text, len);
    return len;
}

std::string KrEncodeStringXml(const char* s, std::size_t n, TKrEncodeStringXmlMode mode) {
    std::string out(KrEncodeStringXmlBufLength(s, n, mode), '\0');
    out.resize(KrEncodeStringXmlBufNZ(s, n, &out[0], mode));
    return out;
}

std::string KrEncodeStringXml(const std::string& s, TKrEncodeStringXmlMode mode) {
    return KrEncodeStringXml(s.data(), s.size(), mode);
}

std::size_t KrDecodeStringXml(const char* s, std::size_t n, char* out) {
    const char* p = s;
    const char* const end = s + n;
    char* o = out;
    while (p < end) {
        const char* amp = static_cast<const char*>(std::memchr(p, '&', static_cast<std::size_t>(end - p)));
        const char* runEnd = amp ? amp : end;
        if (o != p) std::memmove(o, p, static_cast<std::size_t>(runEnd - p));
        o += runEnd - p;
        if (!amp) break;
        std::size_t written = 0;
        const std::size_t used = DecodeReference(amp, end, o, written);
        if (used) {
            o += written;
            p = amp + used;
        } else {
            *o++ = '&';
            p = amp + 1;
        }
    }
    return static_cast<std::size_t>(o - out);
}

std::string KrDecodeStringXml(const char* s, std::size_t n) {
    std::string out(s, n);
    out.resize(KrDecodeStringXml(&out[0], n, &out[0]));
    return out;
}

std::string KrDecodeStringXml(const std::string& s) {
    return KrDecodeStringXml(s.data(), s.size());
}
