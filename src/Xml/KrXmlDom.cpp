// The XML DOM: document storage, node classes, attribute and child lookups, message paths.
#include "Xml/KrXmlDom.h"
#include "Xml/KrXmlDocument.h"

#include "Core/KrExceptions.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <ostream>
#include <string>

// ---- document storage

TKrXmlDocument::~TKrXmlDocument() {
    while (m_blocks) {
        TBlock* next = m_blocks->next;
        std::free(m_blocks);
        m_blocks = next;
    }
}

void* TKrXmlDocument::Grow(std::size_t n, std::size_t align) {
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

void TKrXmlDocument::CopyTree(TKrXmlTagItem& dst, const TKrXmlTagItem& src) {
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

void TKrXmlDocument::CopyTag(TKrXmlTagItem& dst, const TKrXmlTagItem& src,
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
