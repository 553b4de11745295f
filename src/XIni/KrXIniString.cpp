// TKrXIniString: owning copies, assignment and the move rule for borrowed bytes.
#include "XIni/KrXIniString.h"

#include <cstring>
#include <stdexcept>
#include <utility>

TKrXIniString::TKrXIniString(TKrXIniString&& o) {
    if (o.Owned()) {
        m_data = std::exchange(o.m_data, "");
        m_size = std::exchange(o.m_size, 0);
    } else {
        Assign(o.m_data, o.size()); // borrowed bytes stay with their tree
    }
}

TKrXIniString& TKrXIniString::operator=(const TKrXIniString& o) {
    if (this != &o) assign(o.data(), o.size());
    return *this;
}

TKrXIniString& TKrXIniString::operator=(TKrXIniString&& o) {
    if (this == &o) return *this;
    if (!o.Owned()) return assign(o.data(), o.size());
    Free();
    m_data = std::exchange(o.m_data, "");
    m_size = std::exchange(o.m_size, 0);
    return *this;
}

TKrXIniString& TKrXIniString::assign(const char* s, std::size_t n) {
    // The new bytes may lie inside the old ones: copy first, free after.
    TKrXIniString copy(s, n);
    swap(copy);
    return *this;
}

void TKrXIniString::swap(TKrXIniString& o) noexcept {
    std::swap(m_data, o.m_data);
    std::swap(m_size, o.m_size);
}

void TKrXIniString::Assign(const char* s, std::size_t n) {
    if (!s || n == 0) return; // stays the static empty string
    if (n >= kOwned) throw std::length_error("TKrXIniString: text too long");
    char* p = new char[n + 1];
    std::memcpy(p, s, n);
    p[n] = '\0';
    m_data = p;
    m_size = n | kOwned;
}
