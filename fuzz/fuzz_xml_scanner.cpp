// The scanner on any bytes: pieces are reported in order, back to back, inside the buffer.
#include "Xml/KrXmlParser.h"
#include "Xml/KrXmlCharClass.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
class TCheckingCollector : public TKrXmlColl {
public:
    TCheckingCollector(const char* data, std::size_t size, std::size_t refuseAt)
        : m_begin(data), m_end(data + size), m_next(data), m_refuseAt(refuseAt) {}

    const char* Next() const { return m_next; }

    bool AddUnknown(const char* b, const char* e) override { return Piece(b, e, b, e, true) && m_unknownOk; }
    bool AddCharData(const char* b, const char* e) override {
        if (b == e || std::memchr(b, '<', static_cast<std::size_t>(e - b))) std::abort();
        return Piece(b, e, b, e, false);
    }
    bool AddCData(const char* b, const char* e, const char* ib, const char* ie) override {
        return Piece(b, e, ib, ie, true);
    }
    bool AddComment(const char* b, const char* e, const char* ib, const char* ie) override {
        return Piece(b, e, ib, ie, true);
    }
    bool AddPI(const char* b, const char* e, const char* ib, const char* ie) override {
        if (e - b < 4 || std::memcmp(e - 2, "?>", 2) != 0) std::abort();
        return Piece(b, e, ib, ie, true);
    }
    bool AddDoctype(const char* b, const char* e) override {
        if (e[-1] != '>') std::abort();
        return Piece(b, e, b, e, true);
    }
    bool AddSTag(const char* b, const char* e, const char* nb, const char* ne,
                 const std::vector<TKrXmlAttrData>& attrs) override {
        return Tag(b, e, nb, ne, attrs) && Piece(b, e, nb, ne, true);
    }
    bool AddETag(const char* b, const char* e, const char* nb, const char* ne) override {
        return Tag(b, e, nb, ne, {}) && Piece(b, e, nb, ne, true);
    }
    bool AddEmptyElemTag(const char* b, const char* e, const char* nb, const char* ne,
                         const std::vector<TKrXmlAttrData>& attrs) override {
        return Tag(b, e, nb, ne, attrs) && Piece(b, e, nb, ne, true);
    }

    bool m_unknownOk = true;

private:
    bool Piece(const char* b, const char* e, const char* ib, const char* ie, bool markup) {
        if (b != m_next || b < m_begin || b >= e || e > m_end || ib < b || ie < ib || ie > e) std::abort();
        if (markup && *b != '<') std::abort();
        m_next = e;
        return ++m_count != m_refuseAt;
    }
    bool Tag(const char* b, const char* e, const char* nb, const char* ne,
             const std::vector<TKrXmlAttrData>& attrs) {
        if (e[-1] != '>' || nb >= ne || !KrXmlIsClass(*nb, TE_KrXmlCharClass::xccNameStart)) std::abort();
        for (const char* p = nb; p < ne; ++p)
            if (!KrXmlIsClass(*p, TE_KrXmlCharClass::xccName)) std::abort();
        const char* after = ne;
        for (const TKrXmlAttrData& a : attrs) {
            if (a.nameBegin <= after || a.nameEnd <= a.nameBegin || a.valueBegin <= a.nameEnd ||
                a.valueEnd < a.valueBegin || a.valueEnd >= e)
                std::abort();
            const char quote = a.valueBegin[-1];
            if ((quote != '"' && quote != '\'') || *a.valueEnd != quote ||
                std::memchr(a.valueBegin, quote, static_cast<std::size_t>(a.valueEnd - a.valueBegin)))
                std::abort();
            after = a.valueEnd;
        }
        (void)b;
        return true;
    }

    const char* m_begin;
    const char* m_end;
    const char* m_next;
    std::size_t m_count = 0;
    std::size_t m_refuseAt;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1) return 0;
    // The first byte picks after which piece the collector refuses (0: never) and whether
    // unrecognised markup is accepted.
    const std::size_t refuseAt = bytes[0] & 0x3F;
    const bool unknownOk = (bytes[0] & 0x40) != 0;
    std::vector<char> buf(bytes + 1, bytes + size);
    const char* data = buf.empty() ? nullptr : buf.data();
    TCheckingCollector coll(data, buf.size(), refuseAt);
    coll.m_unknownOk = unknownOk;
    TKrXmlParserLow parser;
    const char* stop = nullptr;
    std::size_t rest = 0;
    const bool ok = parser.ReadXml(data, buf.size(), &stop, &rest, &coll);
    if (stop < data || stop > data + buf.size() || rest != static_cast<std::size_t>(data + buf.size() - stop))
        std::abort();
    if (ok && (stop != data + buf.size() || coll.Next() != stop)) std::abort();
    // A failure either follows the refused piece or sits on an unterminated "<?".
    if (!ok && coll.Next() != stop && !(stop[0] == '<' && stop + 1 < data + buf.size() && stop[1] == '?'))
        std::abort();
    return 0;
}
