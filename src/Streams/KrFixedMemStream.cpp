// TKrFixedMemStream: reads and writes within a caller's fixed buffer.
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrFixedBufferRead.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

TKrFixedMemStream::TKrFixedMemStream(void* buffer, streamsize_t size, krOpenMode mode,
                                     const std::string& infoName)
    : TKrStream(infoName), m_buffer(static_cast<char*>(buffer)), m_size(size), m_mode(mode) {
    if (mode != krOpenWrite && mode != krOpenRead && mode != krOpenReadWrite)
        throw std::logic_error("@TKrFixedMemStream: OpenMode not supported");
}

TKrFixedMemStream::TKrFixedMemStream(const void* buffer, streamsize_t size, const std::string& infoName)
    : TKrFixedMemStream(const_cast<void*>(buffer), size, krOpenRead, infoName) {}

void TKrFixedMemStream::Init(void* buffer, streamsize_t size, krOpenMode mode, const std::string& infoName) {
    m_buffer = static_cast<char*>(buffer);
    m_size = size;
    m_mode = mode;
    m_position = 0;
    SetInfoName(infoName);
}

streamsize_t TKrFixedMemStream::Read(void* buf, streamsize_t n) {
    if (!CanRead()) {
        AddState(stReadError);
        return invalid_value;
    }
    return KrReadFixedBuffer(*this, m_buffer, m_size, m_position, buf, n);
}

bool TKrFixedMemStream::ReadAll(void* buf, streamsize_t n) {
    if (!CanRead()) {
        AddState(stReadError);
        return false;
    }
    if (m_position > m_size || n > m_size - m_position) return false;
    return Read(buf, n) == n;
}

streamsize_t TKrFixedMemStream::Write(const void* buf, streamsize_t n) {
    if (!CanWrite()) {
        AddState(stWriteError);
        return invalid_value;
    }
    if (m_position > m_size) {
        AddState(stNoRoom | stWriteError);
        return invalid_value;
    }
    streamsize_t count = std::min(n, m_size - m_position);
    if (count) std::memcpy(m_buffer + m_position, buf, count);
    m_position += count;
    if (count < n) AddState(stNoRoom | stWriteError);
    return count;
}

bool TKrFixedMemStream::WriteAll(const void* buf, streamsize_t n) {
    if (!CanWrite()) {
        AddState(stWriteError);
        return false;
    }
    if (m_position > m_size || n > m_size - m_position) return false;
    return Write(buf, n) == n;
}

bool TKrFixedMemStream::setSize(streamsize_t n) {
    if (n != m_size) {
        AddState(stWriteError);
        return false;
    }
    m_position = n;
    return true;
}

bool TKrFixedMemStream::setPosition(streamsize_t p) {
    m_position = p;
    return true;
}
