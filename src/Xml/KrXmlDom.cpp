// The XML DOM: node classes, lookups, the tree-building collector, the reader and the writer.
#include "Xml/KrXmlDom.h"

#include "Core/KrExceptions.h"
#include "Core/KrProgressHandler.h"
#include "Xml/KrXmlEscape.h"

#include <cctype>
#include <cstring>
#include <memory>

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
            while (p < e && (hex ? std::isxdigit(static_cast<unsigned char>(*p)) : (*p >= '0' && *p <= '9')))
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

/// Unescaped copy of a raw range; text without '&' is assigned as it is.
void AssignDecoded(std::string& out, const char* b, const char* e) {
    const std::size_t n = static_cast<std::size_t>(e - b);
    out.assign(b, n);
    if (n && std::memchr(b, '&', n)) out.resize(KrDecodeStringXml(&out[0], n, &out[0]));
}
} // namespace

// ---- nodes

TKrXmlItem::~TKrXmlItem() = default;
const TKrXmlTextItem* TKrXmlItem::AsText() const {
    return nullptr;
}
TKrXmlTextItem* TKrXmlItem::AsText() {
    return nullptr;
}
const TKrXmlTagItem* TKrXmlItem::AsTag() const {
    return nullptr;
}
TKrXmlTagItem* TKrXmlItem::AsTag() {
    return nullptr;
}
const TKrXmlPiItem* TKrXmlItem::AsPi() const {
    return nullptr;
}
TKrXmlPiItem* TKrXmlItem::AsPi() {
    return nullptr;
}
const TKrXmlCommentItem* TKrXmlItem::AsComment() const {
    return nullptr;
}
TKrXmlCommentItem* TKrXmlItem::AsComment() {
    return nullptr;
}

int TKrXmlTextItem::Type() const {
    return TE_KrXmlItemType::xitText;
}
const TKrXmlTextItem* TKrXmlTextItem::AsText() const {
    return this;
}
TKrXmlTextItem* TKrXmlTextItem::AsText() {
    return this;
}
int TKrXmlPiItem::Type() const {
    return TE_KrXmlItemType::xitPi;
}
const TKrXmlPiItem* TKrXmlPiItem::AsPi() const {
    return this;
}
TKrXmlPiItem* TKrXmlPiItem::AsPi() {
    return this;
}
int TKrXmlCommentItem::Type() const {
    return TE_KrXmlItemType::xitComment;
}
const TKrXmlCommentItem* TKrXmlCommentItem::AsComment() const {
    return this;
}
TKrXmlCommentItem* TKrXmlCommentItem::AsComment() {
    return this;
}
int TKrXmlTagItem::Type() const {
    return TE_KrXmlItemType::xitTag;
}
const TKrXmlTagItem* TKrXmlTagItem::AsTag() const {
    return this;
}
TKrXmlTagItem* TKrXmlTagItem::AsTag() {
    return this;
}

TKrXmlTagItem::~TKrXmlTagItem() {
    // Children we own alone give their own children to the work list before they die, so no
    // destructor below this one has anything left to recurse into.
    if (m_items.empty()) return;
    std::vector<var_a<TKrXmlItem*>> pending;
    pending.swap(m_items);
    while (!pending.empty()) {
        var_a<TKrXmlItem*> item = std::move(pending.back());
        pending.pop_back();
        if (item.use_count() != 1) continue;
        if (TKrXmlTagItem* tag = item->AsTag()) {
            for (auto& child : tag->m_items)
                pending.push_back(std::move(child));
            tag->m_items.clear();
        }
    }
}

TKrXmlTagItem& TKrXmlTagItem::AddTag(const std::string& name) {
    var_a<TKrXmlTagItem*> tag = new_a<TKrXmlTagItem>(name);
    m_items.push_back(tag);
    return *tag;
}

TKrXmlTextItem& TKrXmlTagItem::AddText(const std::string& text) {
    var_a<TKrXmlTextItem*> item = new_a<TKrXmlTextItem>(text);
    m_items.push_back(item);
    return *item;
}

// ---- attributes

std::size_t TKrXmlTagAttributes::count(const std::string& name) const {
    std::size_t n = 0;
    for (const auto& a : *this)
        n += a.name == name;
    return n;
}

std::size_t TKrXmlTagAttributes::find(const std::string& name) const {
    for (std::size_t i = 0; i < size(); ++i)
        if ((*this)[i].name == name) return i;
    return npos;
}

std::size_t TKrXmlTagAttributes::find_e(const std::string& name) const {
    const std::size_t i = find(name);
    if (i == npos) throw KrMsg_helper("Err_Xml_AttributeNotFound_aname") << name;
    return i;
}

std::string TKrXmlTagAttributes::get_value(std::size_t index, const std::string& def) const {
    return index < size() ? (*this)[index].value : def;
}

const std::string& TKrXmlTagAttributes::get_value_e(std::size_t index) const {
    KR_CHECK(index < size());
    return (*this)[index].value;
}

std::string TKrXmlTagAttributes::get_value(const std::string& name, const std::string& def) const {
    return get_value(find(name), def);
}

const std::string& TKrXmlTagAttributes::get_value_e(const std::string& name) const {
    return (*this)[find_e(name)].value;
}

// ---- children

TKrXmlTagItem* TKrXmlTagItems::tag(std::size_t index) const {
    return index < size() && (*this)[index] ? (*this)[index]->AsTag() : nullptr;
}

std::size_t TKrXmlTagItems::count_tags() const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < size(); ++i)
        n += tag(i) != nullptr;
    return n;
}

std::size_t TKrXmlTagItems::count_tags(const std::string& name) const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < size(); ++i) {
        const TKrXmlTagItem* t = tag(i);
        n += t && t->m_name == name;
    }
    return n;
}

std::size_t TKrXmlTagItems::count_tags(const TKrXmlSearchPathPredicate& predicate) const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < size(); ++i) {
        const TKrXmlTagItem* t = tag(i);
        n += t && predicate.Test(*t, 0) != TKrXmlSearchPathPredicate::testNoMatch;
    }
    return n;
}

std::size_t TKrXmlTagItems::find_tag_f(std::size_t start) const {
    for (std::size_t i = start; i < size(); ++i)
        if (tag(i)) return i;
    return npos;
}

std::size_t TKrXmlTagItems::find_tag_f(const std::string& name, std::size_t start) const {
    for (std::size_t i = start; i < size(); ++i) {
        const TKrXmlTagItem* t = tag(i);
        if (t && t->m_name == name) return i;
    }
    return npos;
}

std::size_t TKrXmlTagItems::find_tag_f(const TKrXmlSearchPathPredicate& predicate, std::size_t start) const {
    for (std::size_t i = start; i < size(); ++i) {
        const TKrXmlTagItem* t = tag(i);
        if (t && predicate.Test(*t, 0) != TKrXmlSearchPathPredicate::testNoMatch) return i;
    }
    return npos;
}

std::size_t TKrXmlTagItems::find_tag_fe(std::size_t start) const {
    const std::size_t i = find_tag_f(start);
    if (i == npos) throw KrMsg_helper("Err_Xml_TagNotFoundFromPos_start") << start;
    return i;
}

std::size_t TKrXmlTagItems::find_tag_fe(const std::string& name, std::size_t start) const {
    const std::size_t i = find_tag_f(name, start);
    if (i == npos) throw KrMsg_helper("Err_Xml_TagNotFoundFromPos_name_start") << name << start;
    return i;
}

std::size_t TKrXmlTagItems::find_tag_fe(const TKrXmlSearchPathPredicate& predicate, std::size_t start) const {
    const std::size_t i = find_tag_f(predicate, start);
    if (i == npos)
        throw KrMsg_helper("Err_Xml_TagNotFoundFromPos_qname_start")
            << predicate.error_mask_name(0, 1) << start;
    return i;
}

namespace {
/// The deepest tag reached and how many steps matched.
TKrXmlTagItem* FollowSteps(const TKrXmlTagItems& items, const TKrXmlSearchPathPredicate& predicate,
                           std::size_t& matched) {
    const TKrXmlTagItems* level = &items;
    TKrXmlTagItem* found = nullptr;
    for (matched = 0; matched < predicate.size(); ++matched) {
        TKrXmlTagItem* next = nullptr;
        for (std::size_t i = 0; i < level->size() && !next; ++i) {
            TKrXmlTagItem* t = level->tag(i);
            if (t && predicate.Test(*t, matched) != TKrXmlSearchPathPredicate::testNoMatch) next = t;
        }
        if (!next) return nullptr;
        found = next;
        level = &next->m_items;
    }
    return found;
}
} // namespace

TKrXmlTagItem* TKrXmlTagItems::get_tag_deep(const TKrXmlSearchPathPredicate& predicate) const {
    std::size_t matched;
    return FollowSteps(*this, predicate, matched);
}

TKrXmlTagItem& TKrXmlTagItems::get_tag_deep_e(const TKrXmlSearchPathPredicate& predicate) const {
    std::size_t matched;
    TKrXmlTagItem* t = FollowSteps(*this, predicate, matched);
    if (!t)
        throw KrMsg_helper("Err_Xml_TagNotFoundFromPos_qname_start")
            << predicate.error_mask_name(0, matched + 1) << std::size_t(0);
    return *t;
}

std::string TKrXmlTagItems::get_text() const {
    std::string out;
    for (const auto& item : *this)
        if (const TKrXmlTextItem* t = item ? item->AsText() : nullptr) out += t->m_text;
    return out;
}

// ---- building

TKrXmlCollXmlTree::TKrXmlCollXmlTree(unsigned flags, const char* buffer) : m_flags(flags), m_buffer(buffer) {}

bool TKrXmlCollXmlTree::SetError(const char* at) {
    m_errorAt = static_cast<std::size_t>(at - m_buffer);
    std::string where;
    if (m_open.empty()) {
        where = m_root ? "[1+]" : "[0]";
    } else {
        // The root is child 0 of the document; every other open element is found in its parent.
        where = "[0,<" + m_open[0]->m_name + ">]";
        for (std::size_t d = 1; d < m_open.size(); ++d) {
            const TKrXmlTagItems& siblings = m_open[d - 1]->m_items;
            std::size_t index = 0;
            while (index < siblings.size() && siblings[index].get() != m_open[d])
                ++index;
            where += "[" + std::to_string(index) + ",<" + m_open[d]->m_name + ">]";
        }
        where += "[" + std::to_string(m_open.back()->m_items.size()) + "+]";
    }
    m_errorWhere = std::move(where);
    return false;
}

void TKrXmlCollXmlTree::AddChild(var_a<TKrXmlItem*> item) {
    m_open.back()->m_items.push_back(std::move(item));
}

TKrXmlTagItem* TKrXmlCollXmlTree::Open(const char* nameBegin, const char* nameEnd,
                                       const std::vector<TKrXmlAttrData>& attrs) {
    var_a<TKrXmlTagItem*> tag = new_a<TKrXmlTagItem>();
    TKrXmlTagItem* t = tag.get();
    t->m_name.assign(nameBegin, nameEnd);
    if (!attrs.empty()) {
        t->m_attributes.resize(attrs.size());
        for (std::size_t i = 0; i < attrs.size(); ++i) {
            t->m_attributes[i].name.assign(attrs[i].nameBegin, attrs[i].nameEnd);
            AssignDecoded(t->m_attributes[i].value, attrs[i].valueBegin, attrs[i].valueEnd);
        }
    }
    if (m_open.empty())
        m_root = std::move(tag);
    else
        AddChild(std::move(tag));
    return t;
}

bool TKrXmlCollXmlTree::AddUnknown(const char* begin, const char*) {
    return SetError(begin);
}

bool TKrXmlCollXmlTree::AddCharData(const char* begin, const char* end) {
    if (m_open.empty()) return IsBlank(begin, end) || SetError(begin);
    if (!(m_flags & RF::rxLenientReferences))
        if (const char* bad = BadReference(begin, end)) return SetError(bad);
    if (!(m_flags & RF::rxKeepText)) return true;
    if ((m_flags & RF::rxSkipBlankText) && IsBlank(begin, end)) return true;
    var_a<TKrXmlTextItem*> text = new_a<TKrXmlTextItem>();
    AssignDecoded(text->m_text, begin, end);
    AddChild(std::move(text));
    return true;
}

bool TKrXmlCollXmlTree::AddCData(const char* begin, const char*, const char* innerBegin,
                                 const char* innerEnd) {
    if (m_open.empty()) return SetError(begin);
    if (m_flags & RF::rxKeepText) AddChild(new_a<TKrXmlTextItem>(std::string(innerBegin, innerEnd)));
    return true;
}

bool TKrXmlCollXmlTree::AddComment(const char*, const char*, const char* innerBegin, const char* innerEnd) {
    if (!m_open.empty() && (m_flags & RF::rxKeepComments))
        AddChild(new_a<TKrXmlCommentItem>(std::string(innerBegin, innerEnd)));
    return true;
}

bool TKrXmlCollXmlTree::AddPI(const char*, const char*, const char* innerBegin, const char* innerEnd) {
    if (!m_open.empty() && (m_flags & RF::rxKeepPi))
        AddChild(new_a<TKrXmlPiItem>(std::string(innerBegin, innerEnd)));
    return true;
}

bool TKrXmlCollXmlTree::AddDoctype(const char* begin, const char*) {
    if (m_root || m_doctypeSeen) return SetError(begin);
    m_doctypeSeen = true;
    return true;
}

bool TKrXmlCollXmlTree::CheckAttributes(const std::vector<TKrXmlAttrData>& attrs) {
    if (m_flags & RF::rxLenientReferences) return true;
    for (const TKrXmlAttrData& a : attrs)
        if (const char* bad = BadReference(a.valueBegin, a.valueEnd)) return SetError(bad);
    return true;
}

bool TKrXmlCollXmlTree::AddSTag(const char* begin, const char*, const char* nameBegin, const char* nameEnd,
                                const std::vector<TKrXmlAttrData>& attrs) {
    if (m_rootClosed) return SetError(begin);
    if (!CheckAttributes(attrs)) return false;
    m_open.push_back(Open(nameBegin, nameEnd, attrs));
    return true;
}

bool TKrXmlCollXmlTree::AddETag(const char* begin, const char*, const char* nameBegin, const char* nameEnd) {
    if (m_open.empty()) return SetError(begin);
    const std::string& open = m_open.back()->m_name;
    const std::size_t n = static_cast<std::size_t>(nameEnd - nameBegin);
    if (open.size() != n || std::memcmp(open.data(), nameBegin, n) != 0) return SetError(begin);
    m_open.pop_back();
    if (m_open.empty()) m_rootClosed = true;
    return true;
}

bool TKrXmlCollXmlTree::AddEmptyElemTag(const char* begin, const char*, const char* nameBegin,
                                        const char* nameEnd, const std::vector<TKrXmlAttrData>& attrs) {
    if (m_rootClosed) return SetError(begin);
    if (!CheckAttributes(attrs)) return false;
    Open(nameBegin, nameEnd, attrs);
    if (m_open.empty()) m_rootClosed = true;
    return true;
}

bool TKrXmlCollXmlTree::Finish(const char* end) {
    if (m_errorAt != static_cast<std::size_t>(-1)) return false;
    if (!m_root) return false;
    if (!m_open.empty()) return SetError(end);
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
    std::unique_ptr<char[]> buffer(new char[n ? n : 1]);
    if (n && !stream->ReadAll(buffer.get(), n)) {
        if (throwOnError) throw KrMsg_helper("Err_ReadStream");
        return nullptr;
    }

    const char* data = buffer.get();
    std::size_t skip = n >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    TKrXmlCollXmlTree coll(flags, data);
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

// ---- writing

namespace {
using WF = TE_KrWriteXmlElementFlags;

class TXmlWriter {
public:
    TXmlWriter(TKrStream* stream, const TWriteXmlOptions& options,
               const std::map<const TKrXmlTagItem*, unsigned>& flags)
        : m_stream(stream), m_options(options), m_flags(flags), m_eol(options.eol == eolCRLF ? "\r\n"
                                                                      : options.eol == eolCR ? "\r"
                                                                                             : "\n") {
        m_buf.reserve(kFlushAt + 4096);
    }

    void Document(const TKrXmlTagItem* root) {
        if (m_options.byteOrderMark) Put("\xEF\xBB\xBF");
        if (m_options.declaration == TWriteXmlOptions::declUpper)
            Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
        else if (m_options.declaration == TWriteXmlOptions::declLower)
            Put("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
        if (m_options.declaration != TWriteXmlOptions::declNone) Put(m_eol);
        if (root && !(Flags(root) & WF::wxeOmit)) Tree(root);
        if (!m_options.indent.empty()) Put(m_eol);
        Flush();
    }

private:
    static constexpr std::size_t kFlushAt = 65536;

    struct TFrame {
        const TKrXmlTagItem* tag;
        std::size_t next; // next child to write
        bool inlined;     // content on one line
    };

    unsigned Flags(const TKrXmlTagItem* tag) const {
        if (m_flags.empty()) return 0;
        auto it = m_flags.find(tag);
        return it == m_flags.end() ? 0 : it->second;
    }

    bool Writes(const var_a<TKrXmlItem*>& item) const {
        if (!item) return false;
        const TKrXmlTagItem* t = item->AsTag();
        return !t || !(Flags(t) & WF::wxeOmit);
    }

    void Put(const std::string& s) { Put(s.data(), s.size()); }
    void Put(const char* s) { Put(s, std::strlen(s)); }
    void Put(const char* s, std::size_t n) {
        m_buf.append(s, n);
        if (m_buf.size() >= kFlushAt) Flush();
    }
    void Flush() {
        if (!m_buf.empty()) m_stream->WriteAllE(m_buf.data(), m_buf.size());
        m_buf.clear();
    }
    void PutEscaped(const std::string& s, TKrEncodeStringXmlMode mode) {
        std::string escaped = KrEncodeStringXml(s, mode);
        PutLines(escaped);
    }
    /// Text whose line ends follow the options.
    void PutLines(const std::string& s) {
        if (!m_options.normalizeEol) return Put(s);
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\r' || s[i] == '\n') {
                if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
                Put(m_eol);
            } else {
                m_buf += s[i];
            }
        }
        if (m_buf.size() >= kFlushAt) Flush();
    }
    void NewLine(std::size_t depth) {
        Put(m_eol);
        for (std::size_t i = 0; i < depth; ++i)
            Put(m_options.indent);
    }

    void StartTag(const TKrXmlTagItem* t, bool hasContent) {
        Put("<");
        Put(t->m_name);
        for (const TKrXmlTagAttribute& a : t->m_attributes) {
            Put(" ");
            Put(a.name);
            Put("=\"");
            Put(KrEncodeStringXml(a.value, TE_KrEncodeStringXmlMode::xmlEncDefault));
            Put("\"");
        }
        Put(hasContent || !m_options.shortEmptyElements ? ">" : "/>");
    }

    /// Writes the tree with an explicit stack, so any depth is safe.
    void Tree(const TKrXmlTagItem* root) {
        std::vector<TFrame> stack;
        auto open = [&](const TKrXmlTagItem* t, bool parentInline) {
            bool content = false, text = false;
            for (const auto& item : t->m_items) {
                content = content || Writes(item);
                text = text || (item && item->AsText());
            }
            StartTag(t, content);
            if (!content) {
                if (!m_options.shortEmptyElements) Put("</" + t->m_name + ">");
                return;
            }
            const bool inlined =
                parentInline || text || m_options.indent.empty() || (Flags(t) & WF::wxeInline);
            stack.push_back({t, 0, inlined});
        };
        open(root, false);
        while (!stack.empty()) {
            TFrame& f = stack.back();
            if (f.next == f.tag->m_items.size()) {
                const bool inlined = f.inlined;
                const TKrXmlTagItem* t = f.tag;
                stack.pop_back();
                if (!inlined) NewLine(stack.size());
                Put("</" + t->m_name + ">");
                continue;
            }
            const var_a<TKrXmlItem*>& item = f.tag->m_items[f.next++];
            if (!Writes(item)) continue;
            const bool inlined = f.inlined;
            if (!inlined) NewLine(stack.size());
            if (const TKrXmlTagItem* t = item->AsTag()) {
                open(t, inlined);
            } else if (const TKrXmlTextItem* x = item->AsText()) {
                PutEscaped(x->m_text, TE_KrEncodeStringXmlMode::xmlEncText);
            } else if (const TKrXmlCommentItem* c = item->AsComment()) {
                Put("<!--");
                PutLines(c->m_text);
                Put("-->");
            } else if (const TKrXmlPiItem* p = item->AsPi()) {
                Put("<?");
                PutLines(p->m_text);
                Put("?>");
            }
        }
    }

    TKrStream* m_stream;
    const TWriteXmlOptions& m_options;
    const std::map<const TKrXmlTagItem*, unsigned>& m_flags;
    const std::string m_eol;
    std::string m_buf;
};
} // namespace

void WriteXml(TKrStream* stream, const TKrXmlTagItem* root) {
    WriteXmlEx(stream, root, TWriteXmlOptions(), {});
}

void WriteXmlEx(TKrStream* stream, const TKrXmlTagItem* root, const TWriteXmlOptions& options,
                const std::map<const TKrXmlTagItem*, unsigned>& elementFlags) {
    KR_CHECK(stream != nullptr);
    TXmlWriter(stream, options, elementFlags).Document(root);
}

// ---- message paths

void AppendMsgXPathTag(std::string& path, std::size_t index, const TKrXmlTagItem* tag) {
    if (tag && !tag->m_name.empty()) {
        path += '/';
        path += tag->m_name;
    } else {
        path += "/*[" + std::to_string(static_cast<unsigned long long>(index)) + "]";
    }
}

void AppendMsgXPathText(std::string& path, std::size_t index) {
    if (index == static_cast<std::size_t>(-1))
        path += "#text";
    else
        path += "/text()[" + std::to_string(static_cast<unsigned long long>(index)) + "]";
}
