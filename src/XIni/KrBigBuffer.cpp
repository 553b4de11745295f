// TKrBigBuffer: a byte buffer for whole documents, backed by huge pages when it is large.
#include "XIni/KrBigBuffer.h"
#include "XIni/KrMapGuard.h"

#include <sys/mman.h>

#include <unistd.h>

#include <cstring>
#include <new>
#include <utility>

namespace KrXIniInternal {

namespace {
constexpr std::size_t MapFrom = std::size_t(8) << 20;
constexpr std::size_t HugePage = std::size_t(2) << 20;
} // namespace

TKrBigBuffer::TKrBigBuffer(std::size_t size) : m_size(size) {
    if (size < MapFrom) {
        m_data = new char[size ? size : 1];
        return;
    }
    const std::size_t length = (size + HugePage - 1) / HugePage * HugePage;
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    madvise(p, length, MADV_HUGEPAGE); // advice only: without huge pages it works all the same
    m_data = static_cast<char*>(p);
    m_mapped = length;
}

TKrBigBuffer TKrBigBuffer::MapFile(int fd, std::size_t size) noexcept {
    TKrBigBuffer buffer;
    const long pageSize = sysconf(_SC_PAGESIZE);
    const std::size_t page = pageSize > 0 ? std::size_t(pageSize) : 4096;
    if (size == 0 || size > std::size_t(-1) / 2) return buffer;
    // An anonymous reservation one byte longer than the file, the file mapped over its start:
    // the tail of the file's last page reads as zeros, and when the file ends on a page
    // boundary the byte after it lies in the anonymous page.
    const std::size_t length = (size + 1 + page - 1) / page * page;
    void* area = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) return buffer;
    void* file = mmap(area, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd, 0);
    if (file == MAP_FAILED) {
        munmap(area, length);
        return buffer;
    }
    buffer.m_guard = KrMapGuardAdd(area, (size + page - 1) / page * page);
    if (buffer.m_guard < 0) {
        munmap(area, length);
        return buffer;
    }
    buffer.m_data = static_cast<char*>(area);
    buffer.m_size = size + 1;
    buffer.m_mapped = length;
    return buffer;
}

void TKrBigBuffer::Grow(std::size_t size) {
    if (size <= m_size) return;
    if (m_mapped && m_guard < 0) {
        const std::size_t length = (size + HugePage - 1) / HugePage * HugePage;
        void* p = mremap(m_data, m_mapped, length, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) throw std::bad_alloc();
        madvise(p, length, MADV_HUGEPAGE);
        m_data = static_cast<char*>(p);
        m_mapped = length;
        m_size = size;
        return;
    }
    TKrBigBuffer bigger(size);
    std::memcpy(bigger.m_data, m_data, m_size);
    *this = std::move(bigger);
}

TKrBigBuffer::TKrBigBuffer(TKrBigBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mapped(std::exchange(other.m_mapped, 0)), m_guard(std::exchange(other.m_guard, -1)) {}

TKrBigBuffer& TKrBigBuffer::operator=(TKrBigBuffer&& other) noexcept {
    if (this != &other) {
        reset();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mapped = std::exchange(other.m_mapped, 0);
        m_guard = std::exchange(other.m_guard, -1);
    }
    return *this;
}

TKrBigBuffer::~TKrBigBuffer() {
    reset();
}

bool TKrBigBuffer::Damaged() const noexcept {
    return KrMapGuardDamaged(m_guard);
}

void TKrBigBuffer::reset() noexcept {
    KrMapGuardRemove(m_guard);
    m_guard = -1;
    if (m_mapped)
        munmap(m_data, m_mapped);
    else
        delete[] m_data;
    m_data = nullptr;
    m_size = 0;
    m_mapped = 0;
}

} // namespace KrXIniInternal
