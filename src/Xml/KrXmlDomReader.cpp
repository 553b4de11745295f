// The XML DOM reader: the collector that builds a document from the scanner's pieces, and KrReadXml.
#include "Xml/KrXmlDom.h"
#include "Xml/KrXmlCharClass.h"
#include "Xml/KrXmlDocument.h"

#include "Core/KrExceptions.h"
#include "Core/KrProgressHandler.h"
#include "Xml/KrXmlEscape.h"

#include <cstring>
#include <memory>
#include <string>

namespace {
using CC = TE_KrXmlCharClass;
using RF = TE_KrReadXmlFlags;

bool IsBlank(const char* b, const char* e) noexcept {
    for (; b < e; ++b)
        if (!KrXmlIsClass(*b, CC::xccSpace)) return false;
    return true;
}

/// The first '&' in [b, e) that does not start "&name;", "&#digits;" or "&#xhex;", or null.
const char* BadReference(const char* b, const char* e) noexcept {
    while ((b = b < e ? static_cast<const char*>(std::memchr(b, '&', static_cast<std::size_t>(e - b)))
                      : nullptr)) {
        const char* p = b + 1;
        if (p < e && *p == '#') {
            const bool hex = ++p < e && *p == 'x';
            const char* digits = p += hex;
            while (p < e && ((*p >= '0' && *p <= '9') || (hex && (*p | 0x20) >= 'a' && (*p | 0x20) <= 'f')))
                ++p;
            if (p == digits) return b;
        } else {
            if (p >= e || !KrXmlIsClass(*p, CC::xccNameStart)) return b;
            while (++p < e && KrXmlIsClass(*p, CC::xccName)) {
            }
        }
        if (p >= e || *p != ';') return b;
        b = p + 1;
    }
    return nullptr;
}

} // namespace

// ---- building

/// What the builder keeps while a document is scanned.
struct TKrXmlCollXmlTree::TState {
    /// An element whose end tag has not come yet; its children so far are pending[first...].
    struct TOpen {
        TKrXmlTagItem* tag;
        std::size_t first; ///< where its children start in pending
        std::size_t index; ///< its own index among its parent's children
    };

    TState(unsigned f, const char* b, bool inPlaceRead) : flags(f), buffer(b), inPlace(inPlaceRead) {}

    unsigned flags;
    const char* buffer;
    bool inPlace;
    /// Where the NUL of the last text read in place goes once the scanner has passed it.
    char* nulOwed = nullptr;
    /// Owns the document's storage until the root element opens and takes it over.
    TKrXmlTagItem holder;
    TKrXmlDocument* doc = &holder.Doc();
    var_a<TKrXmlTagItem*> root;
    std::vector<TOpen> open;
    /// The children of all open elements, innermost last; an end tag moves its element's share
    /// into one array of the exact size.
    std::vector<TKrXmlItem*> pending;
    bool rootClosed = false;
    bool doctypeSeen = false;
    std::size_t errorAt = static_cast<std::size_t>(-1);
    std::string errorWhere;
};

TKrXmlCollXmlTree::TKrXmlCollXmlTree(unsigned flags, const char* buffer)
    : m_s(std::make_unique<TState>(flags, buffer, false)) {}

TKrXmlCollXmlTree::TKrXmlCollXmlTree(unsigned flags, std::size_t size)
    : m_s(std::make_unique<TState>(flags, nullptr, true)) {
    char* input = m_s->doc->AllocateArray<char>(size + 1);
    input[size] = '\0'; // what an unterminated comment or CDATA section ends with
    m_s->buffer = input;
}

TKrXmlCollXmlTree::~TKrXmlCollXmlTree() = default;

const var_a<TKrXmlTagItem*>& TKrXmlCollXmlTree::Root() const noexcept {
    return m_s->root;
}
char* TKrXmlCollXmlTree::Input() const noexcept {
    return m_s->inPlace ? const_cast<char*>(m_s->buffer) : nullptr;
}
std::size_t TKrXmlCollXmlTree::ErrorAt() const noexcept {
    return m_s->errorAt;
}
const std::string& TKrXmlCollXmlTree::ErrorWhere() const noexcept {
    return m_s->errorWhere;
}
void TKrXmlCollXmlTree::PayNul() noexcept {
    if (m_s->nulOwed) *m_s->nulOwed = '\0';
    m_s->nulOwed = nullptr;
}

bool TKrXmlCollXmlTree::SetError(const char* at) {
    m_s->errorAt = static_cast<std::size_t>(at - m_s->buffer);
    std::string where;
    if (m_s->open.empty()) {
        where = m_s->root ? "[1+]" : "[0]";
    } else {
        // The root is child 0 of the document.
        for (const TState::TOpen& open : m_s->open) {
            where += '[';
            where += std::to_string(open.index);
            where += ",<";
            where.append(open.tag->m_name.data(), open.tag->m_name.size());
            where += ">]";
        }
        where += "[" + std::to_string(m_s->pending.size() - m_s->open.back().first) + "+]";
    }
    m_s->errorWhere = std::move(where);
    return false;
}

bool TKrXmlCollXmlTree::Decode(const char* begin, const char* end, bool deferNul, TKrXmlString& out) {
    const std::size_t n = static_cast<std::size_t>(end - begin);
    const char* amp = n ? static_cast<const char*>(std::memchr(begin, '&', n)) : nullptr;
    if (amp && !(m_s->flags & RF::rxLenientReferences))
        if (const char* bad = BadReference(amp, end)) return SetError(bad);
    if (!m_s->inPlace) {
        out = amp ? m_s->doc->Decoded(begin, n) : m_s->doc->String(begin, n);
        return true;
    }
    char* p = const_cast<char*>(begin); // our own input buffer
    const std::size_t m = amp ? KrDecodeStringXml(p, n, p) : n;
    if (m == n && deferNul)
        m_s->nulOwed = p + n;
    else
        p[m] = '\0';
    out = TKrXmlDocument::View(p, m);
    return true;
}

TKrXmlString TKrXmlCollXmlTree::Raw(const char* begin, const char* end) {
    const std::size_t n = static_cast<std::size_t>(end - begin);
    if (!m_s->inPlace) return m_s->doc->String(begin, n);
    const_cast<char*>(begin)[n] = '\0';
    return TKrXmlDocument::View(begin, n);
}

TKrXmlTagItem* TKrXmlCollXmlTree::NewTag(const char* nameBegin, const char* nameEnd,
                                         const std::vector<TKrXmlAttrData>& attrs) {
    TKrXmlTagAttributes attributes;
    if (const std::size_t n = attrs.size()) {
        attributes.m_data = m_s->doc->AllocateArray<TKrXmlTagAttribute>(n);
        attributes.m_size = attributes.m_capacity = n;
        for (std::size_t i = 0; i < n; ++i) {
            const TKrXmlAttrData& a = attrs[i];
            TKrXmlTagAttribute& to = attributes.m_data[i];
            to.name = Raw(a.nameBegin, a.nameEnd);
            if (!Decode(a.valueBegin, a.valueEnd, false, to.value)) return nullptr;
        }
    }
    TKrXmlTagItem* tag;
    if (m_s->open.empty()) {
        // The root takes over the document's storage.
        m_s->root = new_a<TKrXmlTagItem>(std::move(m_s->holder));
        tag = m_s->root.get();
    } else {
        tag = m_s->doc->NewTag();
        m_s->pending.push_back(tag);
    }
    tag->m_name = Raw(nameBegin, nameEnd);
    tag->m_attributes = attributes;
    return tag;
}

void TKrXmlCollXmlTree::Close(TKrXmlTagItem* tag, std::size_t first) {
    const std::size_t n = m_s->pending.size() - first;
    if (!n) return;
    TKrXmlTagItems& items = tag->m_items;
    items.m_data = m_s->doc->AllocateArray<TKrXmlItem*>(n);
    std::memcpy(items.m_data, m_s->pending.data() + first, n * sizeof(TKrXmlItem*));
    items.m_size = items.m_capacity = n;
    m_s->pending.resize(first);
}

bool TKrXmlCollXmlTree::AddUnknown(const char* begin, const char*) {
    PayNul();
    return SetError(begin);
}

bool TKrXmlCollXmlTree::AddCharData(const char* begin, const char* end) {
    PayNul();
    if (m_s->open.empty()) return IsBlank(begin, end) || SetError(begin);
    const bool keep = m_s->flags & RF::rxKeepText;
    if (!keep || (m_s->flags & RF::rxSkipBlankText)) {
        if (IsBlank(begin, end)) return true; // nothing to keep, no reference to check
        if (!keep) {
            if (!(m_s->flags & RF::rxLenientReferences))
                if (const char* bad = BadReference(begin, end)) return SetError(bad);
            return true;
        }
    }
    TKrXmlTextItem* text = m_s->doc->NewLeaf<TKrXmlTextItem>(TKrXmlString());
    // The byte after character data is the '<' the scanner looks at next: it becomes the NUL
    // when the next construct is reported.
    if (!Decode(begin, end, true, text->m_text)) return false;
    m_s->pending.push_back(text);
    return true;
}

bool TKrXmlCollXmlTree::AddCData(const char* begin, const char*, const char* innerBegin,
                                 const char* innerEnd) {
    PayNul();
    if (m_s->open.empty()) return SetError(begin);
    if (m_s->flags & RF::rxKeepText)
        m_s->pending.push_back(m_s->doc->NewLeaf<TKrXmlTextItem>(Raw(innerBegin, innerEnd)));
    return true;
}

bool TKrXmlCollXmlTree::AddComment(const char*, const char*, const char* innerBegin, const char* innerEnd) {
    PayNul();
    if (!m_s->open.empty() && (m_s->flags & RF::rxKeepComments))
        m_s->pending.push_back(m_s->doc->NewLeaf<TKrXmlCommentItem>(Raw(innerBegin, innerEnd)));
    return true;
}

bool TKrXmlCollXmlTree::AddPI(const char*, const char*, const char* innerBegin, const char* innerEnd) {
    PayNul();
    if (!m_s->open.empty() && (m_s->flags & RF::rxKeepPi))
        m_s->pending.push_back(m_s->doc->NewLeaf<TKrXmlPiItem>(Raw(innerBegin, innerEnd)));
    return true;
}

bool TKrXmlCollXmlTree::AddDoctype(const char* begin, const char*) {
    PayNul();
    if (m_s->root || m_s->doctypeSeen) return SetError(begin);
    m_s->doctypeSeen = true;
    return true;
}

bool TKrXmlCollXmlTree::AddSTag(const char* begin, const char*, const char* nameBegin, const char* nameEnd,
                                const std::vector<TKrXmlAttrData>& attrs) {
    PayNul();
    if (m_s->rootClosed) return SetError(begin);
    const std::size_t index = m_s->open.empty() ? 0 : m_s->pending.size() - m_s->open.back().first;
    TKrXmlTagItem* tag = NewTag(nameBegin, nameEnd, attrs);
    if (!tag) return false;
    // Field by field: an aggregate temporary here costs a store-forwarding stall per tag.
    TState::TOpen& open = m_s->open.emplace_back();
    open.tag = tag;
    open.first = m_s->pending.size();
    open.index = index;
    return true;
}

bool TKrXmlCollXmlTree::AddETag(const char* begin, const char*, const char* nameBegin, const char* nameEnd) {
    PayNul();
    if (m_s->open.empty()) return SetError(begin);
    const TState::TOpen& open = m_s->open.back();
    if (open.tag->m_name != std::string_view(nameBegin, static_cast<std::size_t>(nameEnd - nameBegin)))
        return SetError(begin);
    Close(open.tag, open.first);
    m_s->open.pop_back();
    if (m_s->open.empty()) m_s->rootClosed = true;
    return true;
}

bool TKrXmlCollXmlTree::AddEmptyElemTag(const char* begin, const char*, const char* nameBegin,
                                        const char* nameEnd, const std::vector<TKrXmlAttrData>& attrs) {
    PayNul();
    if (m_s->rootClosed) return SetError(begin);
    if (!NewTag(nameBegin, nameEnd, attrs)) return false;
    if (m_s->open.empty()) m_s->rootClosed = true;
    return true;
}

bool TKrXmlCollXmlTree::Finish(const char* end) {
    PayNul();
    if (m_s->errorAt != static_cast<std::size_t>(-1)) return false;
    if (!m_s->root) return false;
    if (!m_s->open.empty()) return SetError(end);
    return true;
}

// ---- reading

var_a<TKrXmlTagItem*> KrReadXmlEx(TKrStream* stream, unsigned flags, bool throwOnError,
                                  TKrProgressHandler* progress) {
    KR_CHECK(stream != nullptr);
    const std::string name = stream->GetInfoName();
    const streamsize_t pos = stream->getPosition64();
    const streamsize_t size = stream->getSize64();
    const std::size_t n = size > pos ? static_cast<std::size_t>(size - pos) : 0;
    // The bytes go straight into the document's storage and are parsed in place.
    TKrXmlCollXmlTree coll(flags, n);
    char* data = coll.Input();
    if (n && !stream->ReadAll(data, n)) {
        if (throwOnError) throw KrMsg_helper("Err_ReadStream");
        return nullptr;
    }

    std::size_t skip = n >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    TKrXmlParserLow parser;
    const char* stop = nullptr;
    bool ok = parser.ReadXml(data + skip, n - skip, &stop, nullptr, &coll, progress);
    if (!ok && progress && progress->UserBreak()) progress->UserBreakE();
    if (!ok && coll.ErrorAt() == static_cast<std::size_t>(-1)) coll.SetError(stop);
    if (ok) ok = coll.Finish(data + n);
    if (ok) return coll.Root();

    TKrMessage error;
    if (coll.ErrorAt() == static_cast<std::size_t>(-1)) {
        error = name.empty() ? KrMsg_helper("Err_Xml_Format") : KrMsg_helper("Err_Xml_Format_stream") << name;
    } else {
        error = name.empty() ? KrMsg_helper("Err_Xml_Format_where_pos")
                             : KrMsg_helper("Err_Xml_Format_where_pos_stream");
        error << coll.ErrorWhere() << static_cast<unsigned long>(coll.ErrorAt());
        if (!name.empty()) error << name;
    }
    if (throwOnError) throw error;
    return nullptr;
}

var_a<TKrXmlTagItem*> KrReadXml(TKrStream* stream, bool throwOnError, TKrProgressHandler* progress) {
    return KrReadXmlEx(stream, RF::rxDefault, throwOnError, progress);
}
