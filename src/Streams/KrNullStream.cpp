// TKrNullStream: counts bytes, stores none.
#include "Streams/KrNullStream.h"

streamsize_t TKrNullStream::Read(void*, streamsize_t n) {
    if (m_mode == krOpenWrite) {
        AddState(stReadError);
        return invalid_value;
    }
    m_position += n;
    return n;
}

streamsize_t TKrNullStream::Write(const void*, streamsize_t n) {
    if (m_mode == krOpenRead) {
        AddState(stWriteError);
        return invalid_value;
    }
    m_position += n;
    return n;
}

bool TKrNullStream::setSize(streamsize_t n) {
    m_size = n;
    return true;
}

bool TKrNullStream::setPosition(streamsize_t p) {
    m_position = p;
    return true;
}
