// TKrXIniString: copies of their own, assignment and the move rule for borrowed bytes.
#include "XIni/KrXIniString.h"

#include <cstring>
#include <stdexcept>

TKrXIniString::TKrXIniString(TKrXIniString&& o) {
    if (o.Borrowed()) {
        Assign(o.Pointer(), o.size()); // borrowed bytes stay with their tree
    } else {
        std::memcpy(m_bytes, o.m_bytes, 16);
        o.SetEmpty();
    }
}

TKrXIniString& TKrXIniString::operator=(const TKrXIniString& o) {
    if (this != &o) assign(o.data(), o.size());
    return *this;
}

TKrXIniString& TKrXIniString::operator=(TKrXIniString&& o) {
    if (this == &o) return *this;
    if (o.Borrowed()) return assign(o.Pointer(), o.size());
    Free();
    std::memcpy(m_bytes, o.m_bytes, 16);
    o.SetEmpty();
    return *this;
}

TKrXIniString& TKrXIniString::assign(const char* s, std::size_t n) {
    // The new bytes may lie inside the old ones: copy first, free after.
    TKrXIniString copy(s, n);
    swap(copy);
    return *this;
}

void TKrXIniString::Assign(const char* s, std::size_t n) {
    if (!s || n <= kMaxInline) {
        SetEmpty();
        if (s && n) SetInline(s, n);
        return;
    }
    if (n >= (kOwned >> 1)) throw std::length_error("TKrXIniString: text too long");
    char* p = new char[n + 1];
    std::memcpy(p, s, n);
    p[n] = '\0';
    SetPointer(p, n | kOwned);
}
