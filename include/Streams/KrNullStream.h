// TKrNullStream: a stream that only counts the bytes passed through it.
#pragma once

#include "Streams/KrStream.h"

/// Accepted reads and writes of n bytes advance the position by n and touch no buffer.
/// Reads are refused in krOpenWrite, writes in krOpenRead.
class KRSTD_API TKrNullStream : public TKrStream {
public:
    explicit TKrNullStream(krOpenMode mode = krOpenReadWrite) : m_mode(mode) {}

    streamsize_t getPosition() override { return m_position; }
    streamsize_t getPosition64() override { return m_position; }
    streamsize_t Read(void* buf, streamsize_t n) override;
    streamsize_t Write(const void* buf, streamsize_t n) override;
    streamsize_t getSize() override { return m_size; }
    streamsize_t getSize64() override { return m_size; }
    bool setSize(streamsize_t n) override;
    bool setSize64(streamsize_t n) override { return setSize(n); }
    bool setPosition(streamsize_t p) override;
    bool setPosition64(streamsize_t p) override { return setPosition(p); }
    explicit operator bool() override { return static_cast<std::uint32_t>(m_mode) != 0xFFFFFFFFu; }

private:
    streamsize_t m_size = 0;
    streamsize_t m_position = 0;
    krOpenMode m_mode;
};
