// TKrXmlCollIniQ: scanning one section of a lazily read XIni document.
#include "XIni/KrXmlCollIniQ.h"

#include "XIni/KrXIniLoad.h"
#include "XIni/KrXIniReader.h"
#include "Xml/KrXmlEscape.h"

#include <cstring>

using namespace KrXIniInternal;

namespace {

// Unescapes the attribute text [begin, end) in place and terminates it; null gives "".
const char* Unescape(const char* begin, const char* end, std::size_t& len) noexcept {
    if (!begin) {
        len = 0;
        return "";
    }
    char* text = const_cast<char*>(begin);
    len = KrDecodeStringXml(text, std::size_t(end - begin), text);
    text[len] = '\0';
    return text;
}

bool IsName(const char* begin, const char* end, const char* name, std::size_t len) noexcept {
    return std::size_t(end - begin) == len && std::memcmp(begin, name, len) == 0;
}

} // namespace

bool TKrXmlCollIniQ::AddSTag(const char*, const char* end, const char* nameBegin, const char* nameEnd,
                             const std::vector<TKrXmlAttrData>& attrs) {
    if (m_leaf || !IsItemElement(nameBegin, nameEnd)) return Fail();
    if (m_depth > 0) {
        if (*nameBegin != 'x') m_leaf = *nameBegin;
        ++m_depth;
        return true;
    }
    TKrXIniTagParts tag;
    if (!CheckItemTag(nameBegin, nameEnd, attrs, tag)) return Fail();
    TKrXIniItemQ* item = NewItem(tag);
    m_depth = 1;
    if (tag.type == TE_KrXIniItemType::Section) {
        TKrXIniSectionQ* child = m_pools->sections.New();
        child->parent = m_s;
        child->resume = const_cast<char*>(end);
        item->child = child;
        m_s->pending = child;
        return CheckStop(item, end);
    }
    m_leaf = *nameBegin;
    m_open = item;
    if (tag.type == TE_KrXIniItemType::Binary) m_binary = m_binaryStart = const_cast<char*>(end);
    return true;
}

bool TKrXmlCollIniQ::AddEmptyElemTag(const char*, const char* end, const char* nameBegin, const char* nameEnd,
                                     const std::vector<TKrXmlAttrData>& attrs) {
    if (m_leaf || !IsItemElement(nameBegin, nameEnd)) return Fail();
    if (m_depth > 0) return true;
    TKrXIniTagParts tag;
    if (!CheckItemTag(nameBegin, nameEnd, attrs, tag)) return Fail();
    TKrXIniItemQ* item = NewItem(tag);
    if (tag.type == TE_KrXIniItemType::Section) {
        item->child = m_pools->sections.New();
        item->child->parent = m_s; // nothing to scan: complete and empty
    }
    return CheckStop(item, end);
}

bool TKrXmlCollIniQ::AddETag(const char*, const char* end, const char* nameBegin, const char* nameEnd) {
    if (m_depth == 0) {
        if (!IsName(nameBegin, nameEnd, m_isRoot ? "krini" : "x", m_isRoot ? 5 : 1)) return Fail();
        m_s->resume = nullptr;
        m_s->pending = nullptr;
        TKrXIniSectionQ* parent = m_s->parent;
        if (parent && parent->pending == m_s) {
            parent->pending = nullptr;
            parent->resume = const_cast<char*>(end);
        }
        m_result = Ended;
        return false;
    }
    const char expected = m_leaf ? m_leaf : 'x';
    if (nameEnd - nameBegin != 1 || *nameBegin != expected) return Fail();
    m_leaf = 0;
    if (--m_depth > 0) return true;
    if (!m_open) {
        m_s->pending = nullptr; // left the sub-section the last scan stopped in
        return true;
    }
    TKrXIniItemQ* item = m_open;
    m_open = nullptr;
    if (item->type == TE_KrXIniItemType::Binary) {
        *m_binary = '\0';
        item->value = m_binaryStart;
        item->valueLen = std::size_t(m_binary - m_binaryStart);
    }
    return CheckStop(item, end);
}

bool TKrXmlCollIniQ::AddCharData(const char* begin, const char* end) {
    if (m_open && m_leaf == 'b') {
        char* text = const_cast<char*>(begin);
        const std::size_t n = KrDecodeStringXml(text, std::size_t(end - begin), text);
        m_binary = KeepBase64(text, text + n, m_binary);
    }
    return true;
}

bool TKrXmlCollIniQ::AddCData(const char*, const char*, const char* innerBegin, const char* innerEnd) {
    if (m_open && m_leaf == 'b') m_binary = KeepBase64(innerBegin, innerEnd, m_binary);
    return true;
}

TKrXIniItemQ* TKrXmlCollIniQ::NewItem(const TKrXIniTagParts& tag) {
    TKrXIniItemQ* item = m_pools->items.New();
    item->type = tag.type;
    item->name = Unescape(tag.nameBegin, tag.nameEnd, item->nameLen);
    item->value = Unescape(tag.valueBegin, tag.valueEnd, item->valueLen);
    m_s->items.push_back(item);
    return item;
}

bool TKrXmlCollIniQ::CheckStop(const TKrXIniItemQ* item, const char* end) {
    if (m_wanted == TKrXIniReader::npos || m_s->items.size() <= m_wanted) return true;
    if (m_byName && !(item->nameLen == m_len && std::memcmp(item->name, m_name, m_len) == 0)) return true;
    m_s->resume = const_cast<char*>(end);
    m_result = Stopped;
    return false;
}
