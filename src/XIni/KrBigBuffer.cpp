// TKrBigBuffer: a byte buffer for whole documents, backed by huge pages when it is large.
#include "XIni/KrBigBuffer.h"

#include <sys/mman.h>

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

TKrBigBuffer::TKrBigBuffer(TKrBigBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_mapped(std::exchange(other.m_mapped, 0)) {}

TKrBigBuffer& TKrBigBuffer::operator=(TKrBigBuffer&& other) noexcept {
    if (this != &other) {
        reset();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mapped = std::exchange(other.m_mapped, 0);
    }
    return *this;
}

TKrBigBuffer::~TKrBigBuffer() {
    reset();
}

void TKrBigBuffer::reset() noexcept {
    if (m_mapped)
        munmap(m_data, m_mapped);
    else
        delete[] m_data;
    m_data = nullptr;
    m_size = 0;
    m_mapped = 0;
}

} // namespace KrXIniInternal
