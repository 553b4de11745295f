// TKrStringStream: reads and writes over an owned std::string.
#include "Streams/KrStringStream.h"

#include <algorithm>
#include <cstring>

var_a<TKrStringStream*> TKrStringStream::VCreate() {
    return new_a<TKrStringStream>();
}

streamsize_t TKrStringStream::Read(void* buf, streamsize_t n) {
    if ((getOptions() & optFailReadsAfterError) && (getState() & stReadError)) return invalid_value;
    const streamsize_t size = m_content.size();
    if (m_position == size) {
        AddState(stEndOfData);
        return 0;
    }
    if (m_position > size) {
        AddState(stReadError | stEndOfData);
        return invalid_value;
    }
    streamsize_t count = std::min(n, size - m_position);
    if (count) std::memcpy(buf, m_content.data() + m_position, count);
    m_position += count;
    if (count < n) AddState(stEndOfData);
    return count;
}

streamsize_t TKrStringStream::Write(const void* buf, streamsize_t n) {
    if ((getOptions() & optFailWritesAfterError) && (getState() & stWriteError)) return invalid_value;
    try {
        const streamsize_t end = m_position + n;
        if (end > m_content.capacity()) m_content.reserve(end + end / 2);
        if (m_position > m_content.size()) m_content.resize(m_position, '\0');
        const streamsize_t overlap = std::min<streamsize_t>(n, m_content.size() - m_position);
        const char* bytes = static_cast<const char*>(buf);
        if (overlap) m_content.replace(m_position, overlap, bytes, overlap);
        if (n > overlap) m_content.append(bytes + overlap, n - overlap);
        m_position = end;
        return n;
    } catch (const std::exception&) {
        AddState(stWriteError);
        return invalid_value;
    }
}

bool TKrStringStream::setSize(streamsize_t n) {
    try {
        m_content.resize(n, '\0');
    } catch (const std::exception&) {
        AddState(stWriteError);
        return false;
    }
    m_position = n;
    return true;
}

bool TKrStringStream::setPosition(streamsize_t p) {
    m_position = p;
    return true;
}
