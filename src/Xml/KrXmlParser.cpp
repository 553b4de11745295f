// The XML scanner: one pass over a buffer, pointer ranges only, byte classes from a table.
#include "Xml/KrXmlParser.h"
#include "Xml/KrXmlCharClass.h"

#include "Core/KrProgressHandler.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
using CC = TE_KrXmlCharClass;

constexpr std::array<std::uint8_t, 256> MakeCharClass() {
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        std::uint8_t v = 0;
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') v |= CC::xccSpace;
        if (letter) v |= CC::xccLetter | CC::xccName | CC::xccNameStart;
        if ((c >= '0' && c <= '9') || c == '.' || c == '-') v |= CC::xccName;
        if (c == '_' || c == ':') v |= CC::xccName | CC::xccNameStart;
        t[static_cast<std::size_t>(c)] = v;
    }
    return t;
}
constexpr std::array<std::uint8_t, 256> kCharClass = MakeCharClass();

inline std::uint8_t Class(const char* p) noexcept {
    return kCharClass[static_cast<unsigned char>(*p)];
}

inline const char* SkipName(const char* p, const char* end) noexcept {
    while (p < end && (Class(p) & CC::xccName))
        ++p;
    return p;
}

inline const char* SkipSpace(const char* p, const char* end) noexcept {
    while (p < end && (Class(p) & CC::xccSpace))
        ++p;
    return p;
}

// Most searches of the scanner end within a few bytes (the closing quote of a short value, the
// '<' after the line break between tags), where a library call costs more than the search. The
// first 64 bytes are compared 16 at a time inline (SSE2 is part of x86-64), never reading past
// `end`; longer spans go to memchr, which is vectorised more widely.
#if defined(__SSE2__)
inline const char* FindChar(const char* p, const char* end, char c) noexcept {
    if (p >= end) return nullptr;
    const __m128i needle = _mm_set1_epi8(c);
    const char* const inlineEnd = end - p > 64 ? p + 64 : end;
    while (inlineEnd - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, needle)));
        if (mask) return p + __builtin_ctz(mask);
        p += 16;
    }
    if (inlineEnd == end) {
        for (; p < end; ++p)
            if (*p == c) return p;
        return nullptr;
    }
    return static_cast<const char*>(std::memchr(p, c, static_cast<std::size_t>(end - p)));
}
/// Bit i set where p[i] is '"' (quotes) or '<' (opens), for the 64 bytes from p.
struct TTagMasks {
    std::uint64_t quotes = 0, opens = 0;
};
inline TTagMasks TagMasks(const char* p) noexcept {
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i open = _mm_set1_epi8('<');
    TTagMasks m;
    for (int at = 0; at < 64; at += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        m.quotes |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, quote)))) << at;
        m.opens |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, open)))) << at;
    }
    return m;
}
#else
struct TTagMasks {
    std::uint64_t quotes = 0, opens = 0;
};
inline TTagMasks TagMasks(const char* p) noexcept {
    TTagMasks m;
    for (int i = 0; i < 64; ++i) {
        m.quotes |= std::uint64_t(p[i] == '"') << i;
        m.opens |= std::uint64_t(p[i] == '<') << i;
    }
    return m;
}
inline const char* FindChar(const char* p, const char* end, char c) noexcept {
    return p < end ? static_cast<const char*>(std::memchr(p, c, static_cast<std::size_t>(end - p))) : nullptr;
}
#endif

/// First occurrence of the n-byte `pattern` (ending in '>') in [p, end), or null.
inline const char* FindTerminator(const char* p, const char* end, const char* pattern,
                                  std::size_t n) noexcept {
    if (end - p < static_cast<std::ptrdiff_t>(n)) return nullptr;
    const char* q = p + (n - 1);
    while (q < end) {
        q = FindChar(q, end, '>');
        if (!q) return nullptr;
        if (std::memcmp(q - (n - 1), pattern, n - 1) == 0) return q - (n - 1);
        ++q;
    }
    return nullptr;
}

/// Skips a quoted literal starting at p (on the quote); null when it is not closed.
inline const char* SkipQuoted(const char* p, const char* end) noexcept {
    const char* q = FindChar(p + 1, end, *p);
    return q ? q + 1 : nullptr;
}

/// End (one past '>') of a DOCTYPE declaration whose text after the keyword starts at p.
const char* DoctypeEnd(const char* p, const char* end) noexcept {
    while (p && p < end) {
        const char c = *p;
        if (c == '>') return p + 1;
        if (c == '"' || c == '\'') {
            p = SkipQuoted(p, end);
        } else if (c == '[') {
            ++p;
            while (p && p < end && *p != ']')
                p = (*p == '"' || *p == '\'') ? SkipQuoted(p, end) : p + 1;
            if (p && p < end) ++p;
        } else {
            ++p;
        }
    }
    return nullptr;
}
} // namespace

const std::uint8_t KrXmlCharClass[256] = {
#define KR_ROW(i) kCharClass[i], kCharClass[i + 1], kCharClass[i + 2], kCharClass[i + 3]
#define KR_ROW16(i) KR_ROW(i), KR_ROW(i + 4), KR_ROW(i + 8), KR_ROW(i + 12)
    KR_ROW16(0),   KR_ROW16(16),  KR_ROW16(32),  KR_ROW16(48),  KR_ROW16(64),  KR_ROW16(80),
    KR_ROW16(96),  KR_ROW16(112), KR_ROW16(128), KR_ROW16(144), KR_ROW16(160), KR_ROW16(176),
    KR_ROW16(192), KR_ROW16(208), KR_ROW16(224), KR_ROW16(240),
#undef KR_ROW16
#undef KR_ROW
};

TKrXmlTextPlace KrXmlTextPlace(const char* text, std::size_t length, std::size_t offset) noexcept {
    TKrXmlTextPlace place;
    place.line = 1;
    place.column = 1;
    if (!text) return place;
    const char* end = text + (offset < length ? offset : length);
    const char* lineStart = text;
    for (const char* p = text; p < end; ++p) {
        if (*p == '\n' || (*p == '\r' && (p + 1 == text + length || p[1] != '\n'))) {
            ++place.line;
            lineStart = p + 1;
        }
    }
    for (const char* p = lineStart; p < end; ++p)
        place.column += (static_cast<unsigned char>(*p) & 0xC0) != 0x80;
    return place;
}

TKrXmlColl::~TKrXmlColl() = default;
bool TKrXmlColl::AddUnknown(const char*, const char*) {
    return false;
}
bool TKrXmlColl::AddCharData(const char*, const char*) {
    return true;
}
bool TKrXmlColl::AddCData(const char*, const char*, const char*, const char*) {
    return true;
}
bool TKrXmlColl::AddComment(const char*, const char*, const char*, const char*) {
    return true;
}
bool TKrXmlColl::AddPI(const char*, const char*, const char*, const char*) {
    return true;
}
bool TKrXmlColl::AddDoctype(const char*, const char*) {
    return true;
}
bool TKrXmlColl::AddSTag(const char*, const char*, const char*, const char*,
                         const std::vector<TKrXmlAttrData>&) {
    return true;
}
bool TKrXmlColl::AddETag(const char*, const char*, const char*, const char*) {
    return true;
}
bool TKrXmlColl::AddEmptyElemTag(const char*, const char*, const char*, const char*,
                                 const std::vector<TKrXmlAttrData>&) {
    return true;
}

bool TKrXmlParserLow::ReadXml(const char* data, std::size_t len, const char** stop, std::size_t* rest,
                              TKrXmlColl* coll) {
    return Scan<false>(data, len, stop, rest, coll, nullptr);
}

bool TKrXmlParserLow::ReadXml(const char* data, std::size_t len, const char** stop, std::size_t* rest,
                              TKrXmlColl* coll, TKrProgressHandler* progress) {
    if (!progress) return Scan<false>(data, len, stop, rest, coll, nullptr);
    return Scan<true>(data, len, stop, rest, coll, progress);
}

template <bool WithProgress>
bool TKrXmlParserLow::Scan(const char* data, std::size_t len, const char** stop, std::size_t* rest,
                           TKrXmlColl* coll, TKrProgressHandler* progress) {
    const char* p = data;
    const char* const end = data + len;
    std::size_t nextReport = ProgressStep;
    bool ok = true;
    const char* nextOpen = nullptr; // the first '<' after a start tag's end, when its mask showed it

    // Every branch leaves `p` after the construct it reported; a refusing callback ends the loop.
    while (p < end) {
        if constexpr (WithProgress) {
            const std::size_t offset = static_cast<std::size_t>(p - data);
            if (offset >= nextReport) {
                progress->SetPosNB(static_cast<double>(offset) / static_cast<double>(len));
                if (progress->UserBreak()) {
                    ok = false;
                    break;
                }
                nextReport = offset - offset % ProgressStep + ProgressStep;
            }
        }

        const char* const knownOpen = nextOpen;
        nextOpen = nullptr;
        if (*p != '<') {
            // Between tags the text is mostly a line break and indentation: the start tag
            // before it may have seen where it ends; otherwise look a few bytes ahead one by one
            // before setting up the vector search.
            const char* lt = p + 1;
            if (knownOpen > p) {
                lt = knownOpen;
            } else {
                const char* const nearEnd = end - lt > 8 ? lt + 8 : end;
                while (lt < nearEnd && *lt != '<')
                    ++lt;
                if (lt == nearEnd) lt = FindChar(lt, end, '<');
            }
            const char* textEnd = lt ? lt : end;
            if (!coll->AddCharData(p, textEnd)) {
                p = textEnd;
                ok = false;
                break;
            }
            p = textEnd;
            continue;
        }

        const char* const b = p;
        const char* q = p + 1;
        bool accepted;
        if (q < end && *q == '!') {
            if (q + 1 < end && q[1] == '[') {
                if (end - b >= 9 && std::memcmp(b, "<![CDATA[", 9) == 0) {
                    const char* t = FindTerminator(b + 9, end, "]]>", 3);
                    p = t ? t + 3 : end;
                    accepted = coll->AddCData(b, p, b + 9, t ? t : end);
                } else {
                    const char* t = FindTerminator(b + 3, end, "]>", 2);
                    p = t ? t + 2 : end;
                    accepted = coll->AddUnknown(b, p);
                }
            } else if (end - b >= 4 && q[1] == '-' && q[2] == '-') {
                const char* t = FindTerminator(b + 4, end, "-->", 3);
                p = t ? t + 3 : end;
                accepted = coll->AddComment(b, p, b + 4, t ? t : end);
            } else {
                const char* nameEnd =
                    (q + 1 < end && (Class(q + 1) & CC::xccNameStart)) ? SkipName(q + 1, end) : q + 1;
                if (nameEnd - (q + 1) == 7 && std::memcmp(q + 1, "DOCTYPE", 7) == 0) {
                    const char* e = DoctypeEnd(nameEnd, end);
                    p = e ? e : end;
                    accepted = e ? coll->AddDoctype(b, p) : coll->AddUnknown(b, p);
                } else {
                    const char* gt = FindChar(q + 1, end, '>');
                    p = gt ? gt + 1 : end;
                    accepted = coll->AddUnknown(b, p);
                }
            }
        } else if (q < end && *q == '?') {
            const char* t = FindTerminator(b + 2, end, "?>", 2);
            if (!t) {
                ok = false;
                break;
            }
            p = t + 2;
            accepted = coll->AddPI(b, p, b + 2, t);
        } else if (q < end && *q == '/' && q + 1 < end && (Class(q + 1) & CC::xccNameStart)) {
            const char* nameEnd = SkipName(q + 2, end);
            const char* gt = FindChar(nameEnd, end, '>');
            if (gt) {
                p = gt + 1;
                accepted = coll->AddETag(b, p, q + 1, nameEnd);
            } else {
                p = end;
                accepted = coll->AddUnknown(b, p);
            }
        } else {
            // Start or empty-element tag; `q` ends on the first byte that does not fit.
            m_attrs.clear();
            const char* nameEnd = nullptr;
            const char* tagEnd = nullptr;
            bool empty = false;
            // Where '"' and '<' stand in the 64 bytes from '<' (most tags fit), when they lie in
            // the buffer.
            const TTagMasks masks = end - b >= 64 ? TagMasks(b) : TTagMasks();
            const std::uint64_t quotes = masks.quotes;
            // The first '<' after this one ends the text after the tag, when it lies past the
            // tag's end; known now, the next tag need not wait for this one's attributes.
            const std::uint64_t later = masks.opens & ~std::uint64_t(1);
            nextOpen = later ? b + __builtin_ctzll(later) : nullptr;
            if (q < end && (Class(q) & CC::xccNameStart)) {
                nameEnd = q = SkipName(q + 1, end);
                while (q < end) {
                    if (*q == '>') {
                        tagEnd = q + 1;
                        break;
                    }
                    if (*q == '/') {
                        if (q + 1 < end && q[1] == '>') {
                            tagEnd = q + 2;
                            empty = true;
                        }
                        break;
                    }
                    // The next two '"', taken from the tag's mask, are where this attribute's
                    // value most likely lies.
                    const auto at = static_cast<std::size_t>(q - b);
                    std::uint64_t ahead = at < 64 ? quotes >> at : 0;
                    if ((ahead & (ahead - 1)) && (ahead & 15) == 8 && q[0] == ' ' && q[2] == '=' &&
                        (Class(q + 1) & CC::xccNameStart)) {
                        // ` n="`: a one-letter name, as settings items have, checked in one go.
                        ahead &= ahead - 1;
                        const char* const close = q + __builtin_ctzll(ahead);
                        TKrXmlAttrData& a = m_attrs.emplace_back();
                        a.nameBegin = q + 1;
                        a.nameEnd = q + 2;
                        a.valueBegin = q + 4;
                        a.valueEnd = close;
                        q = close + 1;
                        continue;
                    }
                    if (!(Class(q) & CC::xccSpace)) break;
                    q = SkipSpace(q + 1, end);
                    if (q >= end || *q == '>' || *q == '/') continue;
                    if (!(Class(q) & CC::xccNameStart)) break;
                    // The four pointers stay in registers and are stored field by field: a
                    // record built on the stack and copied whole would be read back 16 bytes at
                    // a time before its 8-byte stores have landed (a store-forwarding stall).
                    const char* const attrName = q;
                    const char* const attrNameEnd = q = SkipName(q + 1, end);
                    if (ahead & (ahead - 1)) {
                        // The next attribute starts from the mask, not from the checks below,
                        // which only confirm it: one attribute's byte checks overlap the next's.
                        const char* const open = b + at + __builtin_ctzll(ahead);
                        ahead &= ahead - 1;
                        const char* const close = b + at + __builtin_ctzll(ahead);
                        const char* const eq = SkipSpace(q, end);
                        if (eq < open && *eq == '=' && SkipSpace(eq + 1, end) == open) {
                            TKrXmlAttrData& a = m_attrs.emplace_back();
                            a.nameBegin = attrName;
                            a.nameEnd = attrNameEnd;
                            a.valueBegin = open + 1;
                            a.valueEnd = close;
                            q = close + 1;
                            continue;
                        }
                    }
                    q = SkipSpace(q, end);
                    if (q >= end || *q != '=') break;
                    q = SkipSpace(q + 1, end);
                    if (q >= end || (*q != '"' && *q != '\'')) break;
                    const char* close = FindChar(q + 1, end, *q);
                    if (!close) break;
                    TKrXmlAttrData& a = m_attrs.emplace_back();
                    a.nameBegin = attrName;
                    a.nameEnd = attrNameEnd;
                    a.valueBegin = q + 1;
                    a.valueEnd = close;
                    q = close + 1;
                }
            }
            if (tagEnd) {
                p = tagEnd;
                accepted = empty ? coll->AddEmptyElemTag(b, p, b + 1, nameEnd, m_attrs)
                                 : coll->AddSTag(b, p, b + 1, nameEnd, m_attrs);
            } else {
                const char* gt = FindChar(q, end, '>');
                p = gt ? gt + 1 : end;
                accepted = coll->AddUnknown(b, p);
            }
        }
        if (!accepted) {
            ok = false;
            break;
        }
    }
    if (stop) *stop = p;
    if (rest) *rest = static_cast<std::size_t>(end - p);
    return ok;
}
