// TKrMemoryStream: growable memory buffer behind the stream interface.
#include "Streams/KrMemoryStream.h"
#include "Core/KrMessage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

TKrMemoryStream::~TKrMemoryStream() {
    std::free(m_buffer);
}

bool TKrMemoryStream::Reserve(streamsize_t n) {
    if (n <= m_capacity) return true;
    void* grown = std::realloc(m_buffer, n);
    if (!grown) return false;
    m_buffer = static_cast<char*>(grown);
    m_capacity = n;
    return true;
}

void TKrMemoryStream::ReserveE(streamsize_t n) {
    if (!Reserve(n)) throw TKrMessage("TKrMemoryStream::ReserveE: reserve %1% bytes failed!") << n;
}

void TKrMemoryStream::Swap(TKrMemoryStream& other) noexcept {
    std::swap(m_buffer, other.m_buffer);
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_size, other.m_size);
    std::swap(m_position, other.m_position);
}

bool TKrMemoryStream::Grow(streamsize_t needed) noexcept {
    if (needed <= m_capacity) return true;
    return Reserve(std::max(m_capacity + m_capacity / 2, needed));
}

streamsize_t TKrMemoryStream::Read(void* buf, streamsize_t n) {
    streamsize_t count = m_position < m_size ? std::min(n, m_size - m_position) : 0;
    if (count) std::memcpy(buf, m_buffer + m_position, count);
    m_position += count;
    return count;
}

bool TKrMemoryStream::ReadAll(void* buf, streamsize_t n) {
    if (m_position > m_size || n > m_size - m_position) return false;
    if (n) std::memcpy(buf, m_buffer + m_position, n);
    m_position += n;
    return true;
}

bool TKrMemoryStream::WriteAll(const void* buf, streamsize_t n) {
    if (n > invalid_value - m_position || !Grow(m_position + n)) return false;
    if (n) std::memcpy(m_buffer + m_position, buf, n);
    m_position += n;
    m_size = std::max(m_size, m_position);
    return true;
}

streamsize_t TKrMemoryStream::Write(const void* buf, streamsize_t n) {
    if (n <= m_capacity - m_position && m_position <= m_capacity) { // the common case: it fits
        if (n) std::memcpy(m_buffer + m_position, buf, n);
        m_position += n;
        if (m_position > m_size) m_size = m_position;
        return n;
    }
    return TKrMemoryStream::WriteAll(buf, n) ? n : invalid_value;
}

void TKrMemoryStream::WriteAllE(const void* buf, streamsize_t n) {
    if (n > invalid_value - m_position)
        throw TKrMessage("TKrMemoryStream::ReserveE: reserve %1% bytes failed!") << n;
    if (m_position + n > m_capacity) ReserveE(std::max(m_capacity + m_capacity / 2, m_position + n));
    if (n) std::memcpy(m_buffer + m_position, buf, n);
    m_position += n;
    m_size = std::max(m_size, m_position);
}

bool TKrMemoryStream::setSize(streamsize_t n) {
    if (!Reserve(n)) return false;
    m_size = n;
    m_position = std::min(m_position, n);
    return true;
}

bool TKrMemoryStream::setPosition(streamsize_t p) {
    if (!Reserve(p)) return false;
    m_size = std::max(m_size, p);
    m_position = p;
    return true;
}
