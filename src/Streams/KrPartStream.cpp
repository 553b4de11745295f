// TKrPartStream: reads and writes through a window of another stream.
#include "Streams/KrPartStream.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

TKrPartStream::TKrPartStream(TKrStream* source, streamsize_t offset, streamsize_t length, krOpenMode mode)
    : m_source(source), m_offset(offset), m_length(length), m_mode(mode) {
    if (mode != krOpenWrite && mode != krOpenRead && mode != krOpenReadWrite)
        throw std::logic_error("@TKrPartStream: OpenMode not supported");
    if (source) {
        std::string name = source->GetInfoName();
        if (!name.empty()) {
            char suffix[64];
            std::snprintf(suffix, sizeof suffix, ":part(%llu,%llu)", static_cast<unsigned long long>(offset),
                          static_cast<unsigned long long>(length));
            SetInfoName(name + suffix);
        }
    }
}

TKrPartStream::~TKrPartStream() {
    if (m_source && (getOptions() & optCloseSource)) m_source->Close();
}

bool TKrPartStream::Close() {
    if (m_source && (getOptions() & optCloseSource)) return m_source->Close();
    return true;
}

bool TKrPartStream::SeekSource(unsigned failBit) {
    const streamsize_t target = m_offset + m_position;
    if (m_source->getPosition64() == target) return true;
    if (m_source->setPosition64(target)) return true;
    AddState(failBit);
    return false;
}

streamsize_t TKrPartStream::Read(void* buf, streamsize_t n) {
    if (!m_source || (m_mode != krOpenRead && m_mode != krOpenReadWrite)) {
        AddState(stReadError);
        return invalid_value;
    }
    if (m_position > m_length) {
        AddState(stReadError | stEndOfData);
        return invalid_value;
    }
    if (!SeekSource(stReadError)) return invalid_value;
    const streamsize_t want = std::min(n, m_length - m_position);
    const streamsize_t got = want ? m_source->Read(buf, want) : 0;
    if (got == invalid_value) {
        AddState(stReadError);
        return invalid_value;
    }
    m_position += got;
    if (got < n) AddState(m_position == m_length ? stEndOfData : stReadError);
    return got;
}

streamsize_t TKrPartStream::Write(const void* buf, streamsize_t n) {
    if (!m_source || (m_mode != krOpenWrite && m_mode != krOpenReadWrite) || m_position > m_length) {
        AddState(stWriteError);
        return invalid_value;
    }
    if (!SeekSource(stWriteError)) return invalid_value;
    const streamsize_t want = std::min(n, m_length - m_position);
    const streamsize_t put = want ? m_source->Write(buf, want) : 0;
    if (put != invalid_value) m_position += put;
    if (put == invalid_value || put < n) {
        setState(getState() | m_source->getState() | stWriteError);
        return put;
    }
    return put;
}

bool TKrPartStream::setSize64(streamsize_t n) {
    if (n != m_length) {
        AddState(stWriteError);
        return false;
    }
    m_position = n;
    return true;
}

bool TKrPartStream::setPosition64(streamsize_t p) {
    m_position = p;
    if (p > m_length || !m_source) return false;
    return m_source->setPosition64(m_offset + p);
}

bool TKrPartStream::Flush() {
    if (getOptions() & optNoFlushSource) return true;
    if (m_source && m_source->Flush()) return true;
    AddState(stWriteError);
    return false;
}
