// TKrXIniString: the byte string of an XIni tree item's name or value.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

class TKrXIniStore;

/// A NUL-terminated byte string of 16 bytes that keeps up to 14 bytes in itself and longer texts
/// either in memory of its own or, for trees read from a document, in the storage the tree keeps
/// alive (so loading a document allocates nothing per name or value). It never points into
/// itself, so items move by their bytes. It reads like a constant std::string: data, size,
/// comparison, implicit conversion to std::string and std::string_view.
///
/// Copying always gives a string of its own; so does moving a string that refers to a tree's
/// storage, so an item taken out of a tree never outlives the bytes it shows. Assigning makes
/// the string its own.
class KRSTD_API TKrXIniString {
public:
    TKrXIniString() noexcept { SetEmpty(); }
    TKrXIniString(const char* s, std::size_t n) { Assign(s, n); }
    TKrXIniString(const char* s) { Assign(s, s ? std::strlen(s) : 0); }
    TKrXIniString(std::string_view s) { Assign(s.data(), s.size()); }
    TKrXIniString(const std::string& s) { Assign(s.data(), s.size()); }
    TKrXIniString(const TKrXIniString& o) { Assign(o.data(), o.size()); }
    TKrXIniString(TKrXIniString&& o);
    ~TKrXIniString() { Free(); }

    TKrXIniString& operator=(const TKrXIniString& o);
    TKrXIniString& operator=(TKrXIniString&& o);
    TKrXIniString& operator=(std::string_view s) { return assign(s.data(), s.size()); }
    TKrXIniString& operator=(const std::string& s) { return assign(s.data(), s.size()); }
    TKrXIniString& operator=(const char* s) { return assign(s, s ? std::strlen(s) : 0); }
    TKrXIniString& assign(const char* s, std::size_t n);
    void clear() noexcept {
        Free();
        SetEmpty();
    }

    const char* data() const noexcept { return Inline() ? m_bytes : Pointer(); }
    const char* c_str() const noexcept { return data(); }
    std::size_t size() const noexcept { return Inline() ? Tag() & kInlineSize : RawSize() & ~kOwned; }
    std::size_t length() const noexcept { return size(); }
    bool empty() const noexcept { return size() == 0; }
    const char* begin() const noexcept { return data(); }
    const char* end() const noexcept { return data() + size(); }
    char operator[](std::size_t i) const noexcept { return data()[i]; }

    std::string str() const { return std::string(data(), size()); }
    std::string_view view() const noexcept { return std::string_view(data(), size()); }
    operator std::string() const { return str(); }
    operator std::string_view() const noexcept { return view(); }

    /// Exchanges the two strings as they are, borrowed bytes included (for moves inside a tree).
    void swap(TKrXIniString& o) noexcept {
        char t[16];
        std::memcpy(t, m_bytes, 16);
        std::memcpy(m_bytes, o.m_bytes, 16);
        std::memcpy(o.m_bytes, t, 16);
    }

    friend bool operator==(const TKrXIniString& a, const TKrXIniString& b) noexcept {
        return a.view() == b.view();
    }
    friend bool operator==(const TKrXIniString& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(std::string_view a, const TKrXIniString& b) noexcept { return a == b.view(); }
    friend bool operator==(const TKrXIniString& a, const char* b) noexcept { return a.view() == b; }
    friend bool operator==(const char* a, const TKrXIniString& b) noexcept { return a == b.view(); }
    friend bool operator==(const TKrXIniString& a, const std::string& b) noexcept { return a.view() == b; }
    friend bool operator==(const std::string& a, const TKrXIniString& b) noexcept { return a == b.view(); }
    friend bool operator!=(const TKrXIniString& a, const TKrXIniString& b) noexcept { return !(a == b); }
    friend bool operator!=(const TKrXIniString& a, const std::string& b) noexcept { return !(a == b); }
    friend bool operator!=(const std::string& a, const TKrXIniString& b) noexcept { return !(a == b); }
    friend bool operator!=(const TKrXIniString& a, std::string_view b) noexcept { return !(a == b); }
    friend bool operator!=(std::string_view a, const TKrXIniString& b) noexcept { return !(a == b); }
    friend bool operator!=(const TKrXIniString& a, const char* b) noexcept { return !(a == b); }
    friend bool operator!=(const char* a, const TKrXIniString& b) noexcept { return !(a == b); }
    friend bool operator<(const TKrXIniString& a, const TKrXIniString& b) noexcept {
        return a.view() < b.view();
    }
    friend std::string operator+(const TKrXIniString& a, const TKrXIniString& b) {
        return a.str().append(b.view());
    }
    friend std::string operator+(const std::string& a, const TKrXIniString& b) {
        return std::string(a).append(b.view());
    }
    friend std::string operator+(const TKrXIniString& a, const std::string& b) { return a.str() + b; }
    friend std::string operator+(const char* a, const TKrXIniString& b) {
        return std::string(a).append(b.view());
    }
    friend std::string operator+(const TKrXIniString& a, const char* b) { return a.str().append(b); }

private:
    friend class TKrXIniStore;
    friend class TKrXIniTree;
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the tag byte is the top byte of the size word: little-endian only"
#endif
    // Bytes 0-7 a pointer and 8-15 a size whose top bit says the bytes are our own, or up to 14
    // bytes, a NUL and the tag in byte 15: kInline and the length.
    static constexpr std::size_t kOwned = std::size_t(1) << 63;
    static constexpr unsigned char kInline = 0x40;
    static constexpr unsigned kInlineSize = 0x0F;
    static constexpr std::size_t kMaxInline = 14;

    unsigned char Tag() const noexcept {
        return static_cast<unsigned char>(m_bytes[15]);
    }
    bool Inline() const noexcept {
        return (Tag() & kInline) != 0;
    }
    const char* Pointer() const noexcept {
        const char* p;
        std::memcpy(&p, m_bytes, sizeof p);
        return p;
    }
    std::size_t RawSize() const noexcept {
        std::size_t n;
        std::memcpy(&n, m_bytes + 8, sizeof n);
        return n;
    }
    bool Owned() const noexcept {
        return !Inline() && (RawSize() & kOwned) != 0;
    }
    // Owned or inline: nothing to copy when the string leaves its tree.
    bool Borrowed() const noexcept {
        return !Inline() && (RawSize() & kOwned) == 0;
    }
    void SetEmpty() noexcept {
        m_bytes[0] = '\0';
        m_bytes[15] = char(kInline);
    }
    void SetInline(const char* s, std::size_t n) noexcept {
        std::memcpy(m_bytes, s, n);
        EndInline(n);
    }
    // Marks the first n <= 14 own bytes, written already, as the text.
    void EndInline(std::size_t n) noexcept {
        m_bytes[n] = '\0';
        m_bytes[15] = char(kInline | n);
    }
    void SetPointer(const char* p, std::size_t rawSize) noexcept {
        std::memcpy(m_bytes, &p, sizeof p);
        std::memcpy(m_bytes + 8, &rawSize, sizeof rawSize);
    }
    void Assign(const char* s, std::size_t n);
    void Free() noexcept {
        if (Owned()) delete[] Pointer();
    }

    alignas(8) char m_bytes[16];
};
