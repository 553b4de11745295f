// TFixStack: a pool of objects that never move, grown in blocks.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace KrXIniInternal {

/// Objects are constructed in place in fixed blocks; a new block holds 1.5 times the previous
/// block's capacity (first block 64, at most 65536), so pointers stay valid until the pool
/// goes. Destroys its objects in reverse order of creation. Not thread-safe.
template <class T> class TFixStack {
public:
    TFixStack() = default;
    TFixStack(const TFixStack&) = delete;
    TFixStack& operator=(const TFixStack&) = delete;
    ~TFixStack() {
        for (std::size_t b = m_blocks.size(); b-- > 0;) {
            TBlock& block = m_blocks[b];
            for (std::size_t i = block.used; i-- > 0;) block.At(i)->~T();
        }
    }

    template <class... Args> T* New(Args&&... args) {
        if (m_blocks.empty() || m_blocks.back().used == m_blocks.back().capacity) Grow();
        TBlock& block = m_blocks.back();
        T* object = new (block.At(block.used)) T(std::forward<Args>(args)...);
        ++block.used;
        return object;
    }

    std::size_t Size() const noexcept {
        std::size_t n = 0;
        for (const TBlock& b : m_blocks) n += b.used;
        return n;
    }

private:
    struct TBlock {
        std::unique_ptr<unsigned char[]> storage;
        std::size_t capacity = 0;
        std::size_t used = 0;
        T* At(std::size_t i) noexcept { return reinterpret_cast<T*>(storage.get()) + i; }
    };

    void Grow() {
        const std::size_t previous = m_blocks.empty() ? 0 : m_blocks.back().capacity;
        const std::size_t capacity = previous == 0 ? 64 : std::min<std::size_t>(previous + previous / 2, 65536);
        TBlock block;
        // operator new[] of unsigned char is aligned for any fundamental type.
        static_assert(alignof(T) <= alignof(std::max_align_t), "over-aligned pool objects");
        block.storage.reset(new unsigned char[capacity * sizeof(T)]);
        block.capacity = capacity;
        m_blocks.push_back(std::move(block));
    }

    std::vector<TBlock> m_blocks;
};

} // namespace KrXIniInternal
