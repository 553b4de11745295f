// kr::TBlockAllocator: equal-sized elements carved from blocks of 1024, recycled through a free list.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace kr {

/// Hands out elements of T from blocks of BlockSize (1024 by default), so that a structure that
/// grows one node or item at a time allocates once per block instead of once per element.
/// Deleted elements go to a free list and are handed out again before a block is carved further.
///
/// T must be trivially destructible: Clear() and the destructor drop all elements at once without
/// visiting them. Addresses stay valid until the element is deleted or the allocator cleared.
/// Not thread-safe. Costs: New and Delete are O(1); one heap allocation per BlockSize elements.
template <class T, std::size_t BlockSize = 1024> class TBlockAllocator {
    static_assert(std::is_trivially_destructible<T>::value,
                  "TBlockAllocator drops its elements without destroying them");
    static_assert(BlockSize > 0, "blocks hold at least one element");

public:
    using value_type = T;
    static constexpr std::size_t kBlockSize = BlockSize;

    TBlockAllocator() noexcept = default;
    TBlockAllocator(const TBlockAllocator&) = delete;
    TBlockAllocator& operator=(const TBlockAllocator&) = delete;
    TBlockAllocator(TBlockAllocator&& other) noexcept { Swap(other); }
    TBlockAllocator& operator=(TBlockAllocator&& other) noexcept {
        TBlockAllocator gone(std::move(*this));
        Swap(other);
        return *this;
    }

    /// A new element made from `args` (default-initialised, so left indeterminate for plain
    /// data, when there are none). Throws std::bad_alloc when a new block cannot be had (the
    /// allocator is then unchanged), or whatever T's constructor throws.
    template <class... A> T* New(A&&... args) {
        Slot* s = Take();
        try {
            if constexpr (sizeof...(A) == 0)
                return ::new (static_cast<void*>(s->bytes)) T;
            else
                return ::new (static_cast<void*>(s->bytes)) T(std::forward<A>(args)...);
        } catch (...) {
            Give(s);
            throw;
        }
    }

    /// Returns `p` (made by this allocator, or null) for reuse.
    void Delete(T* p) noexcept {
        if (p) Give(reinterpret_cast<Slot*>(p));
    }

    /// Forgets every element but keeps the blocks, so refilling allocates nothing.
    void Clear() noexcept {
        m_free = nullptr;
        m_current = nullptr;
        m_used = BlockSize;
        m_nextBlock = 0;
        m_live = 0;
    }

    /// Forgets every element and releases the blocks.
    void Release() noexcept {
        std::vector<std::unique_ptr<Slot[]>>().swap(m_blocks);
        Clear();
    }

    /// Elements handed out and not deleted.
    std::size_t Size() const noexcept { return m_live; }
    /// Elements the blocks held so far can hold.
    std::size_t Capacity() const noexcept { return m_blocks.size() * BlockSize; }

    void Swap(TBlockAllocator& other) noexcept {
        m_blocks.swap(other.m_blocks);
        std::swap(m_current, other.m_current);
        std::swap(m_used, other.m_used);
        std::swap(m_nextBlock, other.m_nextBlock);
        std::swap(m_free, other.m_free);
        std::swap(m_live, other.m_live);
    }

private:
    union Slot {
        Slot* next;
        alignas(T) unsigned char bytes[sizeof(T)];
    };

    Slot* Take() {
        Slot* s = m_free;
        if (s) {
            m_free = s->next;
        } else {
            if (m_used == BlockSize) {
                if (m_nextBlock == m_blocks.size()) {
                    std::unique_ptr<Slot[]> block(new Slot[BlockSize]);
                    m_blocks.push_back(std::move(block));
                }
                m_current = m_blocks[m_nextBlock++].get();
                m_used = 0;
            }
            s = m_current + m_used++;
        }
        ++m_live;
        return s;
    }

    void Give(Slot* s) noexcept {
        s->next = m_free;
        m_free = s;
        --m_live;
    }

    std::vector<std::unique_ptr<Slot[]>> m_blocks;
    Slot* m_current = nullptr;      // the block being carved
    std::size_t m_used = BlockSize; // slots of m_current handed out
    std::size_t m_nextBlock = 0;    // the block to carve after m_current
    Slot* m_free = nullptr;
    std::size_t m_live = 0;
};

} // namespace kr
