// TKrXIniString: the byte string of an XIni tree item's name or value.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <string>
#include <string_view>

class TKrXIniStore;

/// A NUL-terminated byte string that either owns its bytes or, for trees read from a document,
/// refers to bytes in the storage the tree keeps alive (so loading a document allocates nothing
/// per name or value). It reads like a constant std::string: data, size, comparison, implicit
/// conversion to std::string and std::string_view.
///
/// Copying always gives an owning string; so does moving a string that refers to a tree's
/// storage, so an item taken out of a tree never outlives the bytes it shows. Assigning makes
/// the string owning.
class KRSTD_API TKrXIniString {
public:
    TKrXIniString() noexcept = default;
    TKrXIniString(const char* s, std::size_t n) { Assign(s, n); }
    TKrXIniString(const char* s) { Assign(s, s ? std::char_traits<char>::length(s) : 0); }
    TKrXIniString(std::string_view s) { Assign(s.data(), s.size()); }
    TKrXIniString(const std::string& s) { Assign(s.data(), s.size()); }
    TKrXIniString(const TKrXIniString& o) { Assign(o.data(), o.size()); }
    TKrXIniString(TKrXIniString&& o);
    ~TKrXIniString() { Free(); }

    TKrXIniString& operator=(const TKrXIniString& o);
    TKrXIniString& operator=(TKrXIniString&& o);
    TKrXIniString& operator=(std::string_view s) { return assign(s.data(), s.size()); }
    TKrXIniString& operator=(const std::string& s) { return assign(s.data(), s.size()); }
    TKrXIniString& operator=(const char* s) { return assign(s, s ? std::char_traits<char>::length(s) : 0); }
    TKrXIniString& assign(const char* s, std::size_t n);
    void clear() noexcept {
        Free();
        m_data = "";
        m_size = 0;
    }

    const char* data() const noexcept { return m_data; }
    const char* c_str() const noexcept { return m_data; }
    std::size_t size() const noexcept { return m_size & ~kOwned; }
    std::size_t length() const noexcept { return size(); }
    bool empty() const noexcept { return size() == 0; }
    const char* begin() const noexcept { return m_data; }
    const char* end() const noexcept { return m_data + size(); }
    char operator[](std::size_t i) const noexcept { return m_data[i]; }

    std::string str() const { return std::string(m_data, size()); }
    std::string_view view() const noexcept { return std::string_view(m_data, size()); }
    operator std::string() const { return str(); }
    operator std::string_view() const noexcept { return view(); }

    /// Exchanges the two strings as they are, borrowed bytes included (for moves inside a tree).
    void swap(TKrXIniString& o) noexcept;

    friend bool operator==(const TKrXIniString& a, const TKrXIniString& b) noexcept { return a.view() == b.view(); }
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
    friend bool operator<(const TKrXIniString& a, const TKrXIniString& b) noexcept { return a.view() < b.view(); }
    friend std::string operator+(const TKrXIniString& a, const TKrXIniString& b) { return a.str().append(b.view()); }
    friend std::string operator+(const std::string& a, const TKrXIniString& b) { return std::string(a).append(b.view()); }
    friend std::string operator+(const TKrXIniString& a, const std::string& b) { return a.str() + b; }
    friend std::string operator+(const char* a, const TKrXIniString& b) { return std::string(a).append(b.view()); }
    friend std::string operator+(const TKrXIniString& a, const char* b) { return a.str().append(b); }

private:
    friend class TKrXIniStore;
    friend class TKrXIniTree;
    static constexpr std::size_t kOwned = std::size_t(1) << (sizeof(std::size_t) * 8 - 1);

    void Assign(const char* s, std::size_t n);
    void Free() noexcept {
        if (Owned()) delete[] m_data;
    }
    bool Owned() const noexcept { return (m_size & kOwned) != 0; }

    const char* m_data = "";
    std::size_t m_size = 0; // top bit: the bytes were allocated by this string
};
