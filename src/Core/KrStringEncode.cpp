// Reversible escaping of control characters, Base64, HTML and IRI encoders and decoders.
#include "Core/KrStringEncode.h"

#include <cstdint>
#include <cstring>

namespace {
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexUpper[] = "0123456789ABCDEF";

// Byte -> 6-bit value; characters outside the alphabet map to 0 bits.
struct TBase64Table {
    std::uint8_t value[256] = {};
    bool member[256] = {};
    constexpr TBase64Table() {
        for (int i = 0; i < 64; ++i) {
            value[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<std::uint8_t>(i);
            member[static_cast<unsigned char>(kBase64Alphabet[i])] = true;
        }
    }
};
constexpr TBase64Table kBase64;

// Twelve input bits -> two output characters, so that three bytes take two lookups.
struct TBase64Pairs {
    char pair[4096][2] = {};
    constexpr TBase64Pairs() {
        for (int v = 0; v < 4096; ++v) {
            pair[v][0] = kBase64Alphabet[v >> 6];
            pair[v][1] = kBase64Alphabet[v & 63];
        }
    }
};
constexpr TBase64Pairs kBase64Pairs;

// Bytes below 0x80 that stay as they are in an IRI query parameter.
struct TIriSafeTable {
    bool safe[128] = {};
    constexpr TIriSafeTable() {
        for (int c = '0'; c <= '9'; ++c)
            safe[c] = true;
        for (int c = 'A'; c <= 'Z'; ++c)
            safe[c] = true;
        for (int c = 'a'; c <= 'z'; ++c)
            safe[c] = true;
        const char extra[] = "!$'()*+,-./:;=?@_~";
        for (const char* p = extra; *p; ++p)
            safe[static_cast<unsigned char>(*p)] = true;
    }
};
constexpr TIriSafeTable kIriSafe;

inline bool NeedsEscape(unsigned char c) {
    return c < 35 && c != ' ';
}
} // namespace

std::string KrEncodeString(const std::string& s, bool quote) {
    std::size_t escapes = 0;
    for (char c : s)
        escapes += NeedsEscape(static_cast<unsigned char>(c));
    std::string out;
    out.reserve(s.size() + escapes + (quote ? 2 : 0));
    if (quote) out += '"';
    for (char c : s) {
        if (NeedsEscape(static_cast<unsigned char>(c))) {
            out += '!';
            out += static_cast<char>(static_cast<unsigned char>(c) + 47);
        } else {
            out += c;
        }
    }
    if (quote) out += '"';
    return out;
}

std::string KrDecodeString(const std::string& s, bool quoted) {
    std::size_t begin = 0, end = s.size();
    if (quoted && end > 0 && s[0] == '"') {
        begin = 1;
        if (end > begin && s[end - 1] == '"') --end;
    }
    std::string out;
    out.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
        const char c = s[i];
        if (c == '!' && i + 1 < end) {
            const int v = static_cast<unsigned char>(s[i + 1]) - 47;
            if (v >= 0 && v <= 34) {
                out += static_cast<char>(v);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::size_t KrEncodeStringBase64Buf(const void* data, std::size_t length, char* out) {
    const unsigned char* in = static_cast<const unsigned char*>(data);
    if (!in) return 0;
    char* o = out;
    std::size_t i = 0;
    for (; i + 3 <= length; i += 3, o += 4) {
        const std::uint32_t v = (std::uint32_t(in[i]) << 16) | (std::uint32_t(in[i + 1]) << 8) | in[i + 2];
        std::memcpy(o, kBase64Pairs.pair[v >> 12], 2);
        std::memcpy(o + 2, kBase64Pairs.pair[v & 0xFFF], 2);
    }
    if (length - i == 1) {
        const std::uint32_t v = std::uint32_t(in[i]) << 16;
        o[0] = kBase64Alphabet[v >> 18];
        o[1] = kBase64Alphabet[(v >> 12) & 63];
        o[2] = o[3] = '=';
        o += 4;
    } else if (length - i == 2) {
        const std::uint32_t v = (std::uint32_t(in[i]) << 16) | (std::uint32_t(in[i + 1]) << 8);
        o[0] = kBase64Alphabet[v >> 18];
        o[1] = kBase64Alphabet[(v >> 12) & 63];
        o[2] = kBase64Alphabet[(v >> 6) & 63];
        o[3] = '=';
        o += 4;
    }
    return static_cast<std::size_t>(o - out);
}

std::string KrEncodeStringBase64(const void* data, std::size_t length) {
    if (!data) return std::string();
    std::string out(KrEncodeStringBase64Length(length), '\0');
    KrEncodeStringBase64Buf(data, length, &out[0]);
    return out;
}

std::string KrEncodeStringBase64(const std::string& s) {
    return KrEncodeStringBase64(s.data(), s.size());
}

std::string KrDecodeStringBase64(const char* text, std::size_t length) {
    if (!text) return std::string();
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    std::size_t n = length;
    for (int pad = 0; pad < 2 && n > 0 && in[n - 1] == '='; ++pad)
        --n;
    const std::size_t rest = n % 4;
    std::string out(n / 4 * 3 + (rest >= 2 ? rest - 1 : 0), '\0');
    char* o = &out[0];
    const std::uint8_t* t = kBase64.value;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4, o += 3) {
        const std::uint32_t v = (std::uint32_t(t[in[i]]) << 18) | (std::uint32_t(t[in[i + 1]]) << 12) |
                                (std::uint32_t(t[in[i + 2]]) << 6) | t[in[i + 3]];
        o[0] = static_cast<char>(v >> 16);
        o[1] = static_cast<char>(v >> 8);
        o[2] = static_cast<char>(v);
    }
    if (rest >= 2) {
        std::uint32_t v = (std::uint32_t(t[in[i]]) << 18) | (std::uint32_t(t[in[i + 1]]) << 12);
        if (rest == 3) v |= std::uint32_t(t[in[i + 2]]) << 6;
        o[0] = static_cast<char>(v >> 16);
        if (rest == 3) o[1] = static_cast<char>(v >> 8);
    }
    return out;
}

std::string KrDecodeStringBase64(const std::string& s) {
    return KrDecodeStringBase64(s.data(), s.size());
}

bool IsBase64Char(char c) {
    return kBase64.member[static_cast<unsigned char>(c)];
}

std::string KrEncodeStringHtml(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string KrEncodeStringIriQueryParam(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x80 || kIriSafe.safe[c]) {
            out += ch;
        } else {
            out += '%';
            out += kHexUpper[c >> 4];
            out += kHexUpper[c & 15];
        }
    }
    return out;
}

std::string KrDecodeStringIri(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (s[i] == '%' && i + 2 < n) {
            const int hi = KrHexDecode(s[i + 1]), lo = KrHexDecode(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

int KrHexDecode(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
