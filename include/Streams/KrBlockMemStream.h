// TKrBlockMemData and TKrBlockMemStream: memory in equal power-of-two blocks behind a stream.
#pragma once

#include "Core/KrVarA.h"
#include "Streams/KrStream.h"

#include <cstddef>
#include <vector>

/// Storage that grows by whole blocks, so large contents never get reallocated and copied.
/// Shared between streams through var_a; concurrent writers are not coordinated.
class KRSTD_API TKrBlockMemData {
public:
    /// 1 MiB blocks.
    TKrBlockMemData();
    /// `blockSize` must be a power of two (throws TKrMessage otherwise). `flag` is kept for the
    /// owner's use and carried through SetBlockSize.
    TKrBlockMemData(std::size_t blockSize, bool flag);
    TKrBlockMemData(const TKrBlockMemData&) = delete;
    TKrBlockMemData& operator=(const TKrBlockMemData&) = delete;
    ~TKrBlockMemData();

    /// Allocates or frees whole blocks so that exactly ceil(n / block size) exist; size = n.
    void SetSize(std::size_t n);
    /// Allocates blocks until the capacity is at least n.
    void SetCapacity(std::size_t n);
    /// Rebuilds the data with another block size, keeping every byte.
    void SetBlockSize(std::size_t blockSize);
    void Swap(TKrBlockMemData& other) noexcept;

    std::size_t GetSize() const noexcept { return m_size; }
    std::size_t GetCapacity() const noexcept { return m_capacity; }
    std::size_t GetBlockSize() const noexcept { return m_blockSize; }
    std::size_t GetBlocksCount() const noexcept { return m_blocks.size(); }
    bool GetFlag() const noexcept { return m_flag; }
    char* GetBlock(std::size_t i) const noexcept { return m_blocks[i]; }

    /// Copies bytes between the blocks and a flat buffer; the range must lie within the capacity.
    void CopyOut(std::size_t offset, void* dst, std::size_t n) const noexcept;
    void CopyIn(std::size_t offset, const void* src, std::size_t n) noexcept;

private:
    void AddBlock();

    std::vector<char*> m_blocks;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    std::size_t m_blockSize;
    unsigned m_blockShift;
    bool m_flag = false;
};

/// A stream over (possibly shared) block memory. Reads are allowed unless the mode is
/// krOpenWrite, writes unless it is krOpenRead; writes grow the data by whole blocks.
class KRSTD_API TKrBlockMemStream : public virtual TKrStream {
public:
    explicit TKrBlockMemStream(krOpenMode mode = krOpenReadWrite);
    TKrBlockMemStream(std::size_t blockSize, krOpenMode mode);
    TKrBlockMemStream(const var_a<TKrBlockMemData*>& data, krOpenMode mode);

    const var_a<TKrBlockMemData*>& GetData() const noexcept { return m_data; }
    std::size_t GetBlocksCount() const noexcept { return m_data ? m_data->GetBlocksCount() : 0; }
    std::size_t GetBlockSize() const noexcept { return m_data ? m_data->GetBlockSize() : 0; }

    streamsize_t getPosition() override { return m_position; }
    streamsize_t getPosition64() override { return m_position; }
    /// Releases the data; closing a closed stream succeeds.
    bool Close() override;
    streamsize_t Read(void* buf, streamsize_t n) override;
    bool ReadAll(void* buf, streamsize_t n) override;
    void ReadAllE(void* buf, streamsize_t n) override;
    streamsize_t Write(const void* buf, streamsize_t n) override;
    bool WriteAll(const void* buf, streamsize_t n) override;
    void WriteAllE(const void* buf, streamsize_t n) override;
    streamsize_t getSize() override { return m_data ? m_data->GetSize() : 0; }
    streamsize_t getSize64() override { return getSize(); }
    bool setSize(streamsize_t n) override;
    bool setSize64(streamsize_t n) override { return setSize(n); }
    bool setPosition(streamsize_t p) override;
    bool setPosition64(streamsize_t p) override { return setPosition(p); }
    explicit operator bool() override { return static_cast<bool>(m_data); }

private:
    void SyncBlock() noexcept;

    var_a<TKrBlockMemData*> m_data;
    streamsize_t m_position = 0;
    std::size_t m_block = 0;  // block of m_position
    std::size_t m_offset = 0; // offset of m_position in that block
    bool m_canRead = false;
    bool m_canWrite = false;
};
