// TKrPartStream: a window of fixed offset and length on another stream.
#pragma once

#include "Streams/KrStream.h"

/// Reads and writes bytes offset .. offset + length of the source, which it neither owns nor
/// deletes; under optCloseSource it closes the source when closed or destroyed.
class KRSTD_API TKrPartStream : public TKrStream {
public:
    /// Throws std::logic_error for modes other than krOpenWrite, krOpenRead, krOpenReadWrite.
    TKrPartStream(TKrStream* source, streamsize_t offset, streamsize_t length, krOpenMode mode);
    ~TKrPartStream() override;

    TKrStream* GetSource() const noexcept { return m_source; }

    streamsize_t getPosition() override { return m_position; }
    streamsize_t getPosition64() override { return m_position; }
    bool Close() override;
    streamsize_t Read(void* buf, streamsize_t n) override;
    streamsize_t Write(const void* buf, streamsize_t n) override;
    streamsize_t getSize() override { return m_length; }
    streamsize_t getSize64() override { return m_length; }
    /// Only the window length succeeds (and moves the position there).
    bool setSize(streamsize_t n) override { return setSize64(n); }
    bool setSize64(streamsize_t n) override;
    bool setPosition(streamsize_t p) override { return setPosition64(p); }
    bool setPosition64(streamsize_t p) override;
    bool Flush() override;
    explicit operator bool() override { return m_source && static_cast<bool>(*m_source); }

private:
    bool SeekSource(unsigned failBit);

    TKrStream* m_source;
    streamsize_t m_offset;
    streamsize_t m_length;
    krOpenMode m_mode;
    streamsize_t m_position = 0;
};
