// TKrMemoryStream: a growable stream in one malloc'ed buffer.
#pragma once

#include "Streams/KrStream.h"

/// Grows by half its capacity (at least to what a write needs), so small writes stay amortised.
/// Always usable; reads never fail, they just stop at the end.
class KRSTD_API TKrMemoryStream : public TKrStream {
public:
    TKrMemoryStream() = default;
    explicit TKrMemoryStream(const std::string& infoName) : TKrStream(infoName) {}
    ~TKrMemoryStream() override;

    /// Grows the capacity to exactly n when it is smaller.
    bool Reserve(streamsize_t n);
    void ReserveE(streamsize_t n);
    /// Exchanges buffer, capacity, size and position with `other`.
    void Swap(TKrMemoryStream& other) noexcept;
    /// Writes the whole content to the file at `path` (opened with krOpenWrite, created when
    /// missing); the file ends up holding exactly the content.
    void SaveE(const std::string& path);
    /// Replaces the content by the whole file at `path`; position 0.
    void LoadE(const std::string& path);

    /// The content (size bytes); valid until the next write or resize.
    char* GetBuffer() const noexcept { return m_buffer; }
    streamsize_t GetCapacity() const noexcept { return m_capacity; }

    streamsize_t getPosition() override { return m_position; }
    streamsize_t getPosition64() override { return m_position; }
    streamsize_t Read(void* buf, streamsize_t n) override;
    bool ReadAll(void* buf, streamsize_t n) override;
    streamsize_t Write(const void* buf, streamsize_t n) override;
    bool WriteAll(const void* buf, streamsize_t n) override;
    void WriteAllE(const void* buf, streamsize_t n) override;
    streamsize_t getSize() override { return m_size; }
    streamsize_t getSize64() override { return m_size; }
    bool setSize(streamsize_t n) override;
    bool setSize64(streamsize_t n) override { return setSize(n); }
    bool setPosition(streamsize_t p) override;
    bool setPosition64(streamsize_t p) override { return setPosition(p); }
    bool eof() override { return m_position >= m_size; }
    explicit operator bool() override { return true; }

private:
    bool Grow(streamsize_t needed) noexcept;

    char* m_buffer = nullptr;
    streamsize_t m_capacity = 0;
    streamsize_t m_size = 0;
    streamsize_t m_position = 0;
};
