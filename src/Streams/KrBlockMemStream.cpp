// TKrBlockMemData and TKrBlockMemStream: block-wise storage and its stream.
#include "Streams/KrBlockMemStream.h"
#include "Core/KrMessage.h"

#include <algorithm>
#include <cstring>

namespace {
const char kReadAllE[] = "@virtual void TKrBlockMemStream::ReadAllE(void *, streamsize_t): ";
const char kWriteAllE[] = "@virtual void TKrBlockMemStream::WriteAllE(const void *, streamsize_t): ";
} // namespace

TKrBlockMemData::TKrBlockMemData() : m_blockSize(0x100000), m_blockShift(20) {}

TKrBlockMemData::TKrBlockMemData(std::size_t blockSize, bool flag)
    : m_blockSize(blockSize), m_blockShift(0), m_flag(flag) {
    if (blockSize == 0 || (blockSize & (blockSize - 1)) != 0)
        throw TKrMessage("@TKrBlockMemData::TKrBlockMemData(size_t, bool): Invalid BlockSize %1%")
            << blockSize;
    while ((std::size_t(1) << m_blockShift) < blockSize)
        ++m_blockShift;
}

TKrBlockMemData::~TKrBlockMemData() {
    for (char* b : m_blocks)
        delete[] b;
}

void TKrBlockMemData::AddBlock() {
    m_blocks.reserve(m_blocks.size() + 1);
    m_blocks.push_back(new char[m_blockSize]);
    m_capacity += m_blockSize;
}

void TKrBlockMemData::SetSize(std::size_t n) {
    const std::size_t needed = (n >> m_blockShift) + ((n & (m_blockSize - 1)) ? 1 : 0);
    while (m_blocks.size() < needed)
        AddBlock();
    while (m_blocks.size() > needed) {
        delete[] m_blocks.back();
        m_blocks.pop_back();
        m_capacity -= m_blockSize;
    }
    m_size = n;
}

void TKrBlockMemData::SetCapacity(std::size_t n) {
    while (m_capacity < n)
        AddBlock();
}

void TKrBlockMemData::SetBlockSize(std::size_t blockSize) {
    TKrBlockMemData rebuilt(blockSize, m_flag);
    rebuilt.SetSize(m_size);
    for (std::size_t done = 0; done < m_size;) {
        const std::size_t chunk = std::min(m_blockSize - (done & (m_blockSize - 1)), m_size - done);
        rebuilt.CopyIn(done, m_blocks[done >> m_blockShift] + (done & (m_blockSize - 1)), chunk);
        done += chunk;
    }
    Swap(rebuilt);
}

void TKrBlockMemData::Swap(TKrBlockMemData& other) noexcept {
    m_blocks.swap(other.m_blocks);
    std::swap(m_size, other.m_size);
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_blockSize, other.m_blockSize);
    std::swap(m_blockShift, other.m_blockShift);
    std::swap(m_flag, other.m_flag);
}

void TKrBlockMemData::CopyOut(std::size_t offset, void* dst, std::size_t n) const noexcept {
    auto* out = static_cast<char*>(dst);
    while (n > 0) {
        const std::size_t in = offset & (m_blockSize - 1);
        const std::size_t chunk = std::min(n, m_blockSize - in);
        std::memcpy(out, m_blocks[offset >> m_blockShift] + in, chunk);
        out += chunk;
        offset += chunk;
        n -= chunk;
    }
}

void TKrBlockMemData::CopyIn(std::size_t offset, const void* src, std::size_t n) noexcept {
    auto* in = static_cast<const char*>(src);
    while (n > 0) {
        const std::size_t at = offset & (m_blockSize - 1);
        const std::size_t chunk = std::min(n, m_blockSize - at);
        std::memcpy(m_blocks[offset >> m_blockShift] + at, in, chunk);
        in += chunk;
        offset += chunk;
        n -= chunk;
    }
}

TKrBlockMemStream::TKrBlockMemStream(krOpenMode mode) : TKrBlockMemStream(new_a<TKrBlockMemData>(), mode) {}

TKrBlockMemStream::TKrBlockMemStream(std::size_t blockSize, krOpenMode mode)
    : TKrBlockMemStream(new_a<TKrBlockMemData>(blockSize, false), mode) {}

TKrBlockMemStream::TKrBlockMemStream(const var_a<TKrBlockMemData*>& data, krOpenMode mode)
    : m_data(data), m_canRead(mode != krOpenWrite), m_canWrite(mode != krOpenRead) {}

void TKrBlockMemStream::SyncBlock() noexcept {
    const std::size_t bs = GetBlockSize();
    m_block = bs ? m_position / bs : 0;
    m_offset = bs ? m_position % bs : 0;
}

bool TKrBlockMemStream::Close() {
    m_data.reset();
    m_position = 0;
    m_block = m_offset = 0;
    m_canRead = m_canWrite = false;
    return true;
}

streamsize_t TKrBlockMemStream::Read(void* buf, streamsize_t n) {
    if (!m_canRead || !m_data) return invalid_value;
    const streamsize_t size = m_data->GetSize();
    const streamsize_t count = m_position < size ? std::min(n, size - m_position) : 0;
    m_data->CopyOut(m_position, buf, count);
    m_position += count;
    SyncBlock();
    return count;
}

void TKrBlockMemStream::ReadAllE(void* buf, streamsize_t n) {
    if (!m_canRead || !m_data) throw TKrMessage(std::string(kReadAllE) + "Can`t be read");
    const streamsize_t size = m_data->GetSize();
    const streamsize_t available = m_position < size ? size - m_position : 0;
    if (n > available)
        throw TKrMessage(std::string(kReadAllE) + "Insufficient data %1% (available %2%)") << n << available;
    Read(buf, n);
}

bool TKrBlockMemStream::ReadAll(void* buf, streamsize_t n) {
    try {
        ReadAllE(buf, n);
        return true;
    } catch (...) {
        return false;
    }
}

void TKrBlockMemStream::WriteAllE(const void* buf, streamsize_t n) {
    if (!m_canWrite || !m_data) throw TKrMessage(std::string(kWriteAllE) + "Can`t be write");
    if (n > invalid_value - m_position) throw TKrMessage(std::string(kWriteAllE) + "Too large %1%") << n;
    const streamsize_t end = m_position + n;
    m_data->SetCapacity(end);
    m_data->CopyIn(m_position, buf, n);
    if (end > m_data->GetSize()) m_data->SetSize(end);
    m_position = end;
    SyncBlock();
}

bool TKrBlockMemStream::WriteAll(const void* buf, streamsize_t n) {
    try {
        WriteAllE(buf, n);
        return true;
    } catch (...) {
        return false;
    }
}

streamsize_t TKrBlockMemStream::Write(const void* buf, streamsize_t n) {
    return WriteAll(buf, n) ? n : invalid_value;
}

bool TKrBlockMemStream::setSize(streamsize_t n) {
    if (!m_data) return false;
    try {
        m_data->SetSize(n);
    } catch (...) {
        return false;
    }
    m_position = std::min<streamsize_t>(m_position, n);
    SyncBlock();
    return true;
}

bool TKrBlockMemStream::setPosition(streamsize_t p) {
    if (!m_data) return false;
    m_position = p;
    SyncBlock();
    return true;
}
