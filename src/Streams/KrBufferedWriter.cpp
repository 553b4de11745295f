// TKrBufferedWriter: the slow path of the buffered output (full buffers handed to the stream).
#include "Streams/KrBufferedWriter.h"

#include <algorithm>

TKrBufferedWriter::TKrBufferedWriter(TKrStream* stream, std::size_t capacity, TOnFailure onFailure)
    : m_storage(new char[std::max<std::size_t>(capacity, 1)]), m_stream(stream), m_onFailure(onFailure) {
    m_begin = m_cur = m_storage.get();
    m_end = m_begin + std::max<std::size_t>(capacity, 1);
}

TKrBufferedWriter::~TKrBufferedWriter() = default;

bool TKrBufferedWriter::HandOn(std::size_t n) {
    m_cur = m_begin;
    m_flushed += n;
    if (m_stream) {
        if (m_onFailure == ThrowFailure) {
            m_stream->WriteAllE(m_begin, n);
            return true;
        }
        if (m_stream->WriteAll(m_begin, n)) return true;
    }
    m_failed = true;
    return false;
}

bool TKrBufferedWriter::WriteSlow(const char* p, std::size_t n) {
    // Fill the buffer and hand it on whole: the stream sees only full blocks until Flush.
    bool ok = true;
    while (n > 0) {
        const std::size_t k = std::min(n, static_cast<std::size_t>(m_end - m_cur));
        std::memcpy(m_cur, p, k);
        m_cur += k;
        p += k;
        n -= k;
        if (m_cur == m_end) ok = HandOn(Capacity()) && ok;
    }
    return ok;
}

bool TKrBufferedWriter::Flush() {
    if (m_cur == m_begin) return true;
    return HandOn(static_cast<std::size_t>(m_cur - m_begin));
}
