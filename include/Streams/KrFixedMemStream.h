// TKrFixedMemStream: a stream over a caller's buffer of fixed size.
#pragma once

#include "Streams/KrStream.h"

/// Never grows and does not own the buffer. Reads in modes krOpenRead and krOpenReadWrite,
/// writes in krOpenWrite and krOpenReadWrite; a write that does not fit stores what fits and
/// sets stNoRoom | stWriteError.
class KRSTD_API TKrFixedMemStream : public TKrStream {
public:
    /// Throws std::logic_error for modes other than krOpenWrite, krOpenRead, krOpenReadWrite.
    TKrFixedMemStream(void* buffer, streamsize_t size, krOpenMode mode,
                      const std::string& infoName = std::string());
    /// Read-only view.
    TKrFixedMemStream(const void* buffer, streamsize_t size, const std::string& infoName = std::string());

    /// Re-targets the stream without checks; position 0.
    void Init(void* buffer, streamsize_t size, krOpenMode mode, const std::string& infoName);
    /// The buffer when the mode allows reading, else null.
    const char* GetReadableBuffer() const noexcept { return CanRead() ? m_buffer : nullptr; }

    streamsize_t getPosition() override { return m_position; }
    streamsize_t Read(void* buf, streamsize_t n) override;
    bool ReadAll(void* buf, streamsize_t n) override;
    streamsize_t Write(const void* buf, streamsize_t n) override;
    bool WriteAll(const void* buf, streamsize_t n) override;
    streamsize_t getSize() override { return m_size; }
    /// Only the current size succeeds (and moves the position there).
    bool setSize(streamsize_t n) override;
    /// Any position is accepted; reads and writes beyond the end fail.
    bool setPosition(streamsize_t p) override;
    bool eof() override { return m_position == m_size; }
    explicit operator bool() override { return m_buffer != nullptr; }

private:
    bool CanRead() const { return m_mode == krOpenRead || m_mode == krOpenReadWrite; }
    bool CanWrite() const { return m_mode == krOpenWrite || m_mode == krOpenReadWrite; }

    char* m_buffer = nullptr;
    streamsize_t m_size = 0;
    krOpenMode m_mode = krOpenRead;
    streamsize_t m_position = 0;
};
