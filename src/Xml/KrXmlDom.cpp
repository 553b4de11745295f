// The XML DOM: node classes, lookups, the tree-building collector, the reader and the writer.
#include "Xml/KrXmlDom.h"

#include "Core/KrExceptions.h"
#include "Core/KrProgressHandler.h"
#include "Xml/KrXmlEscape.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>

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

// ---- document storage

/// The block allocator of one document. Everything a document holds is carved from it: nodes,
/// attribute and child arrays, NUL-terminated texts and, for a document read in place, the bytes
/// read. Nothing is freed before the whole document
/// goes, and node destructors never run (nodes hold nothing that needs one), so dropping a
/// document of any size and depth costs one free per block.
class TKrXmlDocument {
public:
    explicit TKrXmlDocument(const TKrXmlTagItem* owner) noexcept : m_owner(owner) {}
    TKrXmlDocument(const TKrXmlDocument&) = delete;
    TKrXmlDocument& operator=(const TKrXmlDocument&) = delete;
    ~TKrXmlDocument() {
        while (m_blocks) {
            TBlock* next = m_blocks->next;
            std::free(m_blocks);
            m_blocks = next;
        }
    }

    /// The root that frees this storage.
    const TKrXmlTagItem* m_owner;

    void* Allocate(std::size_t n, std::size_t align) {
        const std::size_t pad = (align - reinterpret_cast<std::uintptr_t>(m_cur) % align) % align;
        if (n + pad > static_cast<std::size_t>(m_end - m_cur)) return Grow(n, align);
        char* p = m_cur + pad;
        m_cur = p + n;
        return p;
    }
    char* AllocateChars(std::size_t n) {
        if (n > static_cast<std::size_t>(m_end - m_cur)) return static_cast<char*>(Grow(n, 1));
        char* p = m_cur;
        m_cur += n;
        return p;
    }
    template <class T> T* AllocateArray(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(Allocate(n * sizeof(T), alignof(T)));
    }

    /// A terminated copy of [s, s + n).
    TKrXmlString String(const char* s, std::size_t n) {
        if (!n) return TKrXmlString();
        char* p = AllocateChars(n + 1);
        std::memcpy(p, s, n);
        p[n] = '\0';
        return TKrXmlString(p, n);
    }
    TKrXmlString String(std::string_view s) { return String(s.data(), s.size()); }
    /// The unescaped, terminated text of [s, s + n), decoded straight into the storage.
    TKrXmlString Decoded(const char* s, std::size_t n) {
        char* p = AllocateChars(n + 1);
        const std::size_t m = KrDecodeStringXml(s, n, p);
        p[m] = '\0';
        if (p + n + 1 == m_cur) m_cur = p + m + 1; // give back what unescaping saved
        return TKrXmlString(p, m);
    }

    /// [s, s + n) where it is; s[n] must be (or become) the NUL.
    static TKrXmlString View(const char* s, std::size_t n) noexcept {
        return n ? TKrXmlString(s, n) : TKrXmlString();
    }

    TKrXmlTagItem* NewTag() {
        return ::new (Allocate(sizeof(TKrXmlTagItem), alignof(TKrXmlTagItem))) TKrXmlTagItem(this);
    }
    template <class T> T* NewLeaf(TKrXmlString text) {
        T* item = ::new (Allocate(sizeof(T), alignof(T))) T();
        item->m_text = text;
        return item;
    }

    /// Appends to an array of the document, doubling its capacity when full.
    template <class T>
    static void Append(TKrXmlDocument& doc, T*& data, std::size_t& size, std::size_t& capacity,
                       const T& value) {
        if (size == capacity) {
            const std::size_t grown = capacity ? 2 * capacity : 4;
            T* bigger = doc.AllocateArray<T>(grown);
            if (size) std::memcpy(static_cast<void*>(bigger), data, size * sizeof(T));
            data = bigger;
            capacity = grown;
        }
        data[size++] = value;
    }

    /// Copies the content of `src` (any document) into fresh storage of this one and only then
    /// sets it on `dst`, so `src` may lie inside `dst`. Iterative: any depth is safe.
    void CopyTree(TKrXmlTagItem& dst, const TKrXmlTagItem& src) {
        std::vector<std::pair<const TKrXmlTagItem*, TKrXmlTagItem*>> jobs;
        TKrXmlTagItem top(this); // not the owner: its destructor frees nothing
        CopyTag(top, src, jobs);
        dst.m_name = top.m_name;
        dst.m_attributes = top.m_attributes;
        dst.m_items = top.m_items;
        while (!jobs.empty()) {
            const auto job = jobs.back();
            jobs.pop_back();
            CopyTag(*job.second, *job.first, jobs);
        }
    }

private:
    struct TBlock {
        TBlock* next;
    };
    static constexpr std::size_t kFirstBlock = 4096;
    static constexpr std::size_t kMaxBlock = 8u << 20;
    static constexpr std::size_t kHeader = alignof(std::max_align_t);

    void* Grow(std::size_t n, std::size_t align) {
        static_assert(sizeof(TBlock) <= kHeader, "block header");
        if (n > static_cast<std::size_t>(-1) / 4) throw std::bad_alloc();
        const std::size_t need = n + align;
        // A big request gets a block of its own; the current block stays in use.
        const bool own = need > m_next / 4;
        const std::size_t size = own ? need : m_next;
        auto* block = static_cast<TBlock*>(std::malloc(kHeader + size));
        if (!block) throw std::bad_alloc();
        block->next = m_blocks;
        m_blocks = block;
        char* begin = reinterpret_cast<char*>(block) + kHeader;
        if (own) return begin + (align - reinterpret_cast<std::uintptr_t>(begin) % align) % align;
        m_cur = begin;
        m_end = begin + size;
        if (m_next < kMaxBlock) m_next *= 2;
        return Allocate(n, align);
    }

    void CopyTag(TKrXmlTagItem& dst, const TKrXmlTagItem& src,
                 std::vector<std::pair<const TKrXmlTagItem*, TKrXmlTagItem*>>& jobs) {
        dst.m_name = String(src.m_name);
        TKrXmlTagAttributes attrs;
        if (const std::size_t n = src.m_attributes.size()) {
            attrs.m_data = AllocateArray<TKrXmlTagAttribute>(n);
            for (std::size_t i = 0; i < n; ++i)
                attrs.m_data[i] = {String(src.m_attributes[i].name), String(src.m_attributes[i].value)};
            attrs.m_size = attrs.m_capacity = n;
        }
        TKrXmlTagItems items;
        if (const std::size_t n = src.m_items.size()) {
            items.m_data = AllocateArray<TKrXmlItem*>(n);
            for (std::size_t i = 0; i < n; ++i) {
                const TKrXmlItem* item = src.m_items[i];
                TKrXmlItem* copy;
                if (const TKrXmlTagItem* t = item->AsTag()) {
                    TKrXmlTagItem* tag = NewTag();
                    jobs.emplace_back(t, tag);
                    copy = tag;
                } else if (const TKrXmlTextItem* x = item->AsText()) {
                    copy = NewLeaf<TKrXmlTextItem>(String(x->m_text));
                } else if (const TKrXmlCommentItem* c = item->AsComment()) {
                    copy = NewLeaf<TKrXmlCommentItem>(String(c->m_text));
                } else {
                    copy = NewLeaf<TKrXmlPiItem>(String(item->AsPi()->m_text));
                }
                items.m_data[i] = copy;
            }
            items.m_size = items.m_capacity = n;
        }
        dst.m_attributes = attrs;
        dst.m_items = items;
    }

    char* m_cur = nullptr;
    char* m_end = nullptr;
    /// Every block, for freeing.
    TBlock* m_blocks = nullptr;
    std::size_t m_next = kFirstBlock;
};

std::ostream& operator<<(std::ostream& os, const TKrXmlString& s) {
    return os.write(s.data(), static_cast<std::streamsize>(s.size()));
}

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

TKrXmlTagItem::TKrXmlTagItem(std::string_view name) {
    if (!name.empty()) m_name = Doc().String(name);
}

TKrXmlTagItem::TKrXmlTagItem(const TKrXmlTagItem& other) : TKrXmlItem() {
    if (!other.m_name.empty() || !other.m_attributes.empty() || !other.m_items.empty())
        Doc().CopyTree(*this, other);
}

TKrXmlTagItem::TKrXmlTagItem(TKrXmlTagItem&& other) : TKrXmlItem() {
    if (other.OwnsDoc())
        TakeDoc(other);
    else if (!other.m_name.empty() || !other.m_attributes.empty() || !other.m_items.empty())
        Doc().CopyTree(*this, other);
}

TKrXmlTagItem& TKrXmlTagItem::operator=(const TKrXmlTagItem& other) {
    if (this == &other) return *this;
    if (m_doc && !OwnsDoc()) {
        // A node inside a document copies into that document's storage.
        m_doc->CopyTree(*this, other);
        return *this;
    }
    TKrXmlTagItem copy(other); // before the old storage goes: `other` may live in it
    ReplaceRoot(copy);
    return *this;
}

TKrXmlTagItem& TKrXmlTagItem::operator=(TKrXmlTagItem&& other) {
    if (this == &other) return *this;
    if ((m_doc && !OwnsDoc()) || !other.OwnsDoc()) return *this = static_cast<const TKrXmlTagItem&>(other);
    ReplaceRoot(other); // both are roots, so neither lives in the other's storage
    return *this;
}

TKrXmlTagItem::~TKrXmlTagItem() {
    if (OwnsDoc()) delete m_doc;
}

bool TKrXmlTagItem::OwnsDoc() const noexcept {
    return m_doc && m_doc->m_owner == this;
}

TKrXmlDocument& TKrXmlTagItem::Doc() {
    if (!m_doc) m_doc = new TKrXmlDocument(this);
    return *m_doc;
}

void TKrXmlTagItem::TakeDoc(TKrXmlTagItem& root) noexcept {
    m_doc = root.m_doc;
    m_doc->m_owner = this;
    m_name = root.m_name;
    m_attributes = root.m_attributes;
    m_items = root.m_items;
    root.ClearRoot();
}

void TKrXmlTagItem::ReplaceRoot(TKrXmlTagItem& root) noexcept {
    TKrXmlDocument* old = OwnsDoc() ? m_doc : nullptr;
    if (root.OwnsDoc())
        TakeDoc(root);
    else
        ClearRoot();
    delete old;
}

void TKrXmlTagItem::ClearRoot() noexcept {
    m_doc = nullptr;
    m_name = TKrXmlString();
    m_attributes = TKrXmlTagAttributes();
    m_items = TKrXmlTagItems();
}

TKrXmlTagItem& TKrXmlTagItem::AddTag(std::string_view name) {
    TKrXmlDocument& doc = Doc();
    TKrXmlTagItem* tag = doc.NewTag();
    tag->m_name = doc.String(name);
    TKrXmlDocument::Append<TKrXmlItem*>(doc, m_items.m_data, m_items.m_size, m_items.m_capacity, tag);
    return *tag;
}

TKrXmlTextItem& TKrXmlTagItem::AddText(std::string_view text) {
    TKrXmlDocument& doc = Doc();
    TKrXmlTextItem* item = doc.NewLeaf<TKrXmlTextItem>(doc.String(text));
    TKrXmlDocument::Append<TKrXmlItem*>(doc, m_items.m_data, m_items.m_size, m_items.m_capacity, item);
    return *item;
}

TKrXmlCommentItem& TKrXmlTagItem::AddComment(std::string_view text) {
    TKrXmlDocument& doc = Doc();
    TKrXmlCommentItem* item = doc.NewLeaf<TKrXmlCommentItem>(doc.String(text));
    TKrXmlDocument::Append<TKrXmlItem*>(doc, m_items.m_data, m_items.m_size, m_items.m_capacity, item);
    return *item;
}

TKrXmlPiItem& TKrXmlTagItem::AddPi(std::string_view text) {
    TKrXmlDocument& doc = Doc();
    TKrXmlPiItem* item = doc.NewLeaf<TKrXmlPiItem>(doc.String(text));
    TKrXmlDocument::Append<TKrXmlItem*>(doc, m_items.m_data, m_items.m_size, m_items.m_capacity, item);
    return *item;
}

void TKrXmlTagItem::RemoveItem(std::size_t index) {
    KR_CHECK(index < m_items.m_size);
    std::memmove(m_items.m_data + index, m_items.m_data + index + 1,
                 (m_items.m_size - index - 1) * sizeof(TKrXmlItem*));
    --m_items.m_size;
}

void TKrXmlTagItem::AddAttribute(std::string_view name, std::string_view value) {
    TKrXmlDocument& doc = Doc();
    const TKrXmlTagAttribute a{doc.String(name), doc.String(value)};
    TKrXmlDocument::Append(doc, m_attributes.m_data, m_attributes.m_size, m_attributes.m_capacity, a);
}

void TKrXmlTagItem::SetAttribute(std::string_view name, std::string_view value) {
    const std::size_t i = m_attributes.find(name);
    if (i == TKrXmlTagAttributes::npos) return AddAttribute(name, value);
    m_attributes.m_data[i].value = Doc().String(value);
}

void TKrXmlTagItem::SetName(std::string_view name) {
    m_name = Doc().String(name);
}

// ---- attributes

std::size_t TKrXmlTagAttributes::count(std::string_view name) const noexcept {
    std::size_t n = 0;
    for (const auto& a : *this)
        n += a.name == name;
    return n;
}

std::size_t TKrXmlTagAttributes::find(std::string_view name) const noexcept {
    for (std::size_t i = 0; i < size(); ++i)
        if ((*this)[i].name == name) return i;
    return npos;
}

std::size_t TKrXmlTagAttributes::find_e(std::string_view name) const {
    const std::size_t i = find(name);
    if (i == npos) throw KrMsg_helper("Err_Xml_AttributeNotFound_aname") << std::string(name);
    return i;
}

std::string TKrXmlTagAttributes::get_value(std::size_t index, const std::string& def) const {
    return index < size() ? (*this)[index].value.str() : def;
}

const TKrXmlString& TKrXmlTagAttributes::get_value_e(std::size_t index) const {
    KR_CHECK(index < size());
    return (*this)[index].value;
}

std::string TKrXmlTagAttributes::get_value(std::string_view name, const std::string& def) const {
    return get_value(find(name), def);
}

const TKrXmlString& TKrXmlTagAttributes::get_value_e(std::string_view name) const {
    return (*this)[find_e(name)].value;
}

// ---- children

TKrXmlTagItem* TKrXmlTagItems::tag(std::size_t index) const {
    return index < size() ? m_data[index]->AsTag() : nullptr;
}

std::size_t TKrXmlTagItems::count_tags() const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < size(); ++i)
        n += tag(i) != nullptr;
    return n;
}

std::size_t TKrXmlTagItems::count_tags(std::string_view name) const {
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

std::size_t TKrXmlTagItems::find_tag_f(std::string_view name, std::size_t start) const {
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

std::size_t TKrXmlTagItems::find_tag_fe(std::string_view name, std::size_t start) const {
    const std::size_t i = find_tag_f(name, start);
    if (i == npos) throw KrMsg_helper("Err_Xml_TagNotFoundFromPos_name_start") << std::string(name) << start;
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
    for (const TKrXmlItem* item : *this)
        if (const TKrXmlTextItem* t = item->AsText()) out.append(t->m_text.data(), t->m_text.size());
    return out;
}

// ---- building

TKrXmlCollXmlTree::TKrXmlCollXmlTree(unsigned flags, const char* buffer)
    : m_flags(flags), m_buffer(buffer), m_doc(&m_holder.Doc()) {}

TKrXmlCollXmlTree::TKrXmlCollXmlTree(unsigned flags, std::size_t size)
    : m_flags(flags), m_buffer(nullptr), m_inPlace(true), m_doc(&m_holder.Doc()) {
    char* input = m_doc->AllocateArray<char>(size + 1);
    input[size] = '\0'; // what an unterminated comment or CDATA section ends with
    m_buffer = input;
}

TKrXmlCollXmlTree::~TKrXmlCollXmlTree() = default;

bool TKrXmlCollXmlTree::SetError(const char* at) {
    m_errorAt = static_cast<std::size_t>(at - m_buffer);
    std::string where;
    if (m_open.empty()) {
        where = m_root ? "[1+]" : "[0]";
    } else {
        // The root is child 0 of the document.
        for (const TOpen& open : m_open) {
            where += '[';
            where += std::to_string(open.index);
            where += ",<";
            where.append(open.tag->m_name.data(), open.tag->m_name.size());
            where += ">]";
        }
        where += "[" + std::to_string(m_pending.size() - m_open.back().first) + "+]";
    }
    m_errorWhere = std::move(where);
    return false;
}

bool TKrXmlCollXmlTree::Decode(const char* begin, const char* end, bool deferNul, TKrXmlString& out) {
    const std::size_t n = static_cast<std::size_t>(end - begin);
    const char* amp = n ? static_cast<const char*>(std::memchr(begin, '&', n)) : nullptr;
    if (amp && !(m_flags & RF::rxLenientReferences))
        if (const char* bad = BadReference(amp, end)) return SetError(bad);
    if (!m_inPlace) {
        out = amp ? m_doc->Decoded(begin, n) : m_doc->String(begin, n);
        return true;
    }
    char* p = const_cast<char*>(begin); // our own input buffer
    const std::size_t m = amp ? KrDecodeStringXml(p, n, p) : n;
    if (m == n && deferNul)
        m_nulOwed = p + n;
    else
        p[m] = '\0';
    out = TKrXmlDocument::View(p, m);
    return true;
}

TKrXmlString TKrXmlCollXmlTree::Raw(const char* begin, const char* end) {
    const std::size_t n = static_cast<std::size_t>(end - begin);
    if (!m_inPlace) return m_doc->String(begin, n);
    const_cast<char*>(begin)[n] = '\0';
    return TKrXmlDocument::View(begin, n);
}

TKrXmlTagItem* TKrXmlCollXmlTree::NewTag(const char* nameBegin, const char* nameEnd,
                                         const std::vector<TKrXmlAttrData>& attrs) {
    TKrXmlTagAttributes attributes;
    if (const std::size_t n = attrs.size()) {
        attributes.m_data = m_doc->AllocateArray<TKrXmlTagAttribute>(n);
        attributes.m_size = attributes.m_capacity = n;
        for (std::size_t i = 0; i < n; ++i) {
            const TKrXmlAttrData& a = attrs[i];
            TKrXmlTagAttribute& to = attributes.m_data[i];
            to.name = Raw(a.nameBegin, a.nameEnd);
            if (!Decode(a.valueBegin, a.valueEnd, false, to.value)) return nullptr;
        }
    }
    TKrXmlTagItem* tag;
    if (m_open.empty()) {
        // The root takes over the document's storage.
        m_root = new_a<TKrXmlTagItem>(std::move(m_holder));
        tag = m_root.get();
    } else {
        tag = m_doc->NewTag();
        m_pending.push_back(tag);
    }
    tag->m_name = Raw(nameBegin, nameEnd);
    tag->m_attributes = attributes;
    return tag;
}

void TKrXmlCollXmlTree::Close(TKrXmlTagItem* tag, std::size_t first) {
    const std::size_t n = m_pending.size() - first;
    if (!n) return;
    TKrXmlTagItems& items = tag->m_items;
    items.m_data = m_doc->AllocateArray<TKrXmlItem*>(n);
    std::memcpy(items.m_data, m_pending.data() + first, n * sizeof(TKrXmlItem*));
    items.m_size = items.m_capacity = n;
    m_pending.resize(first);
}

bool TKrXmlCollXmlTree::AddUnknown(const char* begin, const char*) {
    PayNul();
    return SetError(begin);
}

bool TKrXmlCollXmlTree::AddCharData(const char* begin, const char* end) {
    PayNul();
    if (m_open.empty()) return IsBlank(begin, end) || SetError(begin);
    const bool keep = m_flags & RF::rxKeepText;
    if (!keep || (m_flags & RF::rxSkipBlankText)) {
        if (IsBlank(begin, end)) return true; // nothing to keep, no reference to check
        if (!keep) {
            if (!(m_flags & RF::rxLenientReferences))
                if (const char* bad = BadReference(begin, end)) return SetError(bad);
            return true;
        }
    }
    TKrXmlTextItem* text = m_doc->NewLeaf<TKrXmlTextItem>(TKrXmlString());
    // The byte after character data is the '<' the scanner looks at next: it becomes the NUL
    // when the next construct is reported.
    if (!Decode(begin, end, true, text->m_text)) return false;
    m_pending.push_back(text);
    return true;
}

bool TKrXmlCollXmlTree::AddCData(const char* begin, const char*, const char* innerBegin,
                                 const char* innerEnd) {
    PayNul();
    if (m_open.empty()) return SetError(begin);
    if (m_flags & RF::rxKeepText)
        m_pending.push_back(m_doc->NewLeaf<TKrXmlTextItem>(Raw(innerBegin, innerEnd)));
    return true;
}

bool TKrXmlCollXmlTree::AddComment(const char*, const char*, const char* innerBegin, const char* innerEnd) {
    PayNul();
    if (!m_open.empty() && (m_flags & RF::rxKeepComments))
        m_pending.push_back(m_doc->NewLeaf<TKrXmlCommentItem>(Raw(innerBegin, innerEnd)));
    return true;
}

bool TKrXmlCollXmlTree::AddPI(const char*, const char*, const char* innerBegin, const char* innerEnd) {
    PayNul();
    if (!m_open.empty() && (m_flags & RF::rxKeepPi))
        m_pending.push_back(m_doc->NewLeaf<TKrXmlPiItem>(Raw(innerBegin, innerEnd)));
    return true;
}

bool TKrXmlCollXmlTree::AddDoctype(const char* begin, const char*) {
    PayNul();
    if (m_root || m_doctypeSeen) return SetError(begin);
    m_doctypeSeen = true;
    return true;
}

bool TKrXmlCollXmlTree::AddSTag(const char* begin, const char*, const char* nameBegin, const char* nameEnd,
                                const std::vector<TKrXmlAttrData>& attrs) {
    PayNul();
    if (m_rootClosed) return SetError(begin);
    const std::size_t index = m_open.empty() ? 0 : m_pending.size() - m_open.back().first;
    TKrXmlTagItem* tag = NewTag(nameBegin, nameEnd, attrs);
    if (!tag) return false;
    // Field by field: an aggregate temporary here costs a store-forwarding stall per tag.
    TOpen& open = m_open.emplace_back();
    open.tag = tag;
    open.first = m_pending.size();
    open.index = index;
    return true;
}

bool TKrXmlCollXmlTree::AddETag(const char* begin, const char*, const char* nameBegin, const char* nameEnd) {
    PayNul();
    if (m_open.empty()) return SetError(begin);
    const TOpen& open = m_open.back();
    if (open.tag->m_name != std::string_view(nameBegin, static_cast<std::size_t>(nameEnd - nameBegin)))
        return SetError(begin);
    Close(open.tag, open.first);
    m_open.pop_back();
    if (m_open.empty()) m_rootClosed = true;
    return true;
}

bool TKrXmlCollXmlTree::AddEmptyElemTag(const char* begin, const char*, const char* nameBegin,
                                        const char* nameEnd, const std::vector<TKrXmlAttrData>& attrs) {
    PayNul();
    if (m_rootClosed) return SetError(begin);
    if (!NewTag(nameBegin, nameEnd, attrs)) return false;
    if (m_open.empty()) m_rootClosed = true;
    return true;
}

bool TKrXmlCollXmlTree::Finish(const char* end) {
    PayNul();
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

    bool Writes(const TKrXmlItem* item) const {
        const TKrXmlTagItem* t = item->AsTag();
        return !t || !(Flags(t) & WF::wxeOmit);
    }

    void Put(std::string_view s) { Put(s.data(), s.size()); }
    void Put(const char* s) { Put(s, std::strlen(s)); }
    void Put(const char* s, std::size_t n) {
        m_buf.append(s, n);
        if (m_buf.size() >= kFlushAt) Flush();
    }
    void Flush() {
        if (!m_buf.empty()) m_stream->WriteAllE(m_buf.data(), m_buf.size());
        m_buf.clear();
    }
    /// Escapes straight into the buffer.
    void PutEncoded(std::string_view s, TKrEncodeStringXmlMode mode) {
        const std::size_t at = m_buf.size();
        m_buf.resize(at + KrEncodeStringXmlBufLength(s.data(), s.size(), mode));
        m_buf.resize(at + KrEncodeStringXmlBufNZ(s.data(), s.size(), &m_buf[at], mode));
        if (m_buf.size() >= kFlushAt) Flush();
    }
    /// Escaped text whose line ends follow the options.
    void PutEscaped(std::string_view s, TKrEncodeStringXmlMode mode) {
        if (m_options.normalizeEol) return PutLines(KrEncodeStringXml(s.data(), s.size(), mode));
        PutEncoded(s, mode);
    }
    /// Text whose line ends follow the options.
    void PutLines(std::string_view s) {
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

    void EndTag(const TKrXmlTagItem* t) {
        Put("</");
        Put(t->m_name);
        Put(">");
    }

    void StartTag(const TKrXmlTagItem* t, bool hasContent) {
        Put("<");
        Put(t->m_name);
        for (const TKrXmlTagAttribute& a : t->m_attributes) {
            Put(" ");
            Put(a.name);
            Put("=\"");
            // Control bytes become references, so values need no line-end handling.
            PutEncoded(a.value, TE_KrEncodeStringXmlMode::xmlEncDefault);
            Put("\"");
        }
        Put(hasContent || !m_options.shortEmptyElements ? ">" : "/>");
    }

    /// Writes the tree with an explicit stack, so any depth is safe.
    void Tree(const TKrXmlTagItem* root) {
        std::vector<TFrame> stack;
        auto open = [&](const TKrXmlTagItem* t, bool parentInline) {
            bool content = false, text = false;
            for (const TKrXmlItem* item : t->m_items) {
                content = content || Writes(item);
                text = text || item->AsText();
            }
            StartTag(t, content);
            if (!content) {
                if (!m_options.shortEmptyElements) EndTag(t);
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
                EndTag(t);
                continue;
            }
            const TKrXmlItem* item = f.tag->m_items[f.next++];
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
