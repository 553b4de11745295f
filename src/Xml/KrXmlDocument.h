// TKrXmlDocument: the block allocator that holds everything of one XML DOM.
#pragma once

#include "Xml/KrXmlDom.h"
#include "Xml/KrXmlEscape.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

/// The block allocator of one document. Everything a document holds is carved from it: nodes,
/// attribute and child arrays, NUL-terminated texts and, for a document read in place, the bytes
/// read. Nothing is freed before the whole document goes, and node destructors never run (nodes
/// hold nothing that needs one), so dropping a document of any size and depth costs one free per
/// block. The allocation fast paths are inline: the reader calls them for every node.
class TKrXmlDocument {
public:
    explicit TKrXmlDocument(const TKrXmlTagItem* owner) noexcept : m_owner(owner) {}
    TKrXmlDocument(const TKrXmlDocument&) = delete;
    TKrXmlDocument& operator=(const TKrXmlDocument&) = delete;
    ~TKrXmlDocument();

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
    void CopyTree(TKrXmlTagItem& dst, const TKrXmlTagItem& src);

private:
    struct TBlock {
        TBlock* next;
    };
    static constexpr std::size_t kFirstBlock = 4096;
    static constexpr std::size_t kMaxBlock = 8u << 20;
    static constexpr std::size_t kHeader = alignof(std::max_align_t);

    void* Grow(std::size_t n, std::size_t align);
    void CopyTag(TKrXmlTagItem& dst, const TKrXmlTagItem& src,
                 std::vector<std::pair<const TKrXmlTagItem*, TKrXmlTagItem*>>& jobs);

    char* m_cur = nullptr;
    char* m_end = nullptr;
    /// Every block, for freeing.
    TBlock* m_blocks = nullptr;
    std::size_t m_next = kFirstBlock;
};
