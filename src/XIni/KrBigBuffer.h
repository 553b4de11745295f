// TKrBigBuffer: a byte buffer for whole documents, backed by huge pages when it is large.
#pragma once

#include <cstddef>

namespace KrXIniInternal {

/// Buffers of 8 MiB and more are mapped privately and advised to use transparent huge pages,
/// so that filling a fresh document buffer costs one fault per 2 MiB instead of one per 4 KiB;
/// smaller ones come from the heap. Contents start undefined. Move-only.
class TKrBigBuffer {
public:
    TKrBigBuffer() = default;
    /// Throws std::bad_alloc when the memory cannot be had.
    explicit TKrBigBuffer(std::size_t size);
    /// Maps `size` bytes of the open file `fd` from offset 0 privately (copy-on-write: writes
    /// never reach the file) with one zero byte after them, so the buffer reads like a loaded
    /// copy without reading anything up front. Empty when the mapping fails. Should the file
    /// shrink while mapped, the pages past its new end read as zeros and Damaged() says so.
    static TKrBigBuffer MapFile(int fd, std::size_t size) noexcept;
    /// Makes the buffer `size` bytes long (never shorter), keeping its contents. Mapped memory
    /// is remapped without copying; heap memory is copied. Throws std::bad_alloc.
    void Grow(std::size_t size);
    TKrBigBuffer(TKrBigBuffer&& other) noexcept;
    TKrBigBuffer& operator=(TKrBigBuffer&& other) noexcept;
    TKrBigBuffer(const TKrBigBuffer&) = delete;
    TKrBigBuffer& operator=(const TKrBigBuffer&) = delete;
    ~TKrBigBuffer();

    char* get() const noexcept { return m_data; }
    std::size_t size() const noexcept { return m_size; }
    explicit operator bool() const noexcept { return m_data != nullptr; }
    char& operator[](std::size_t i) const noexcept { return m_data[i]; }
    void reset() noexcept;
    /// True when a mapped file lost pages under the buffer (truncated by someone else).
    bool Damaged() const noexcept;

private:
    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_mapped = 0; // length of the mapping; 0 for heap memory
    int m_guard = -1;         // KrMapGuard slot of a mapped file; -1 for memory of our own
};

} // namespace KrXIniInternal
