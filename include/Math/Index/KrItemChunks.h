// kr::TItemChunk, kr::TItemChunkPool: a tree node's items as a short list of growing arrays.
#pragma once

#include "Math/Index/KrBlockAllocator.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <type_traits>
#include <vector>

namespace kr {

/// One array of a node's items. A node's chunks form a singly linked list whose head is the only
/// one that may have room left: a node holds one chunk of 4, 16, 64, 256 or 1024 items, moving
/// to the next size as it fills, and adds further chunks of 1024 beyond that. Walking a node's
/// items so reads one run of adjacent memory (per 1024 items) instead of one scattered record
/// per item; such cache misses are what a query spends its time on.
template <class TItem>
struct TItemChunk {
    static constexpr std::uint32_t kClasses = 5;

    TItemChunk* next;
    std::uint32_t count;
    std::uint32_t sizeClass;

    static constexpr std::uint32_t CapacityOf(std::uint32_t sizeClass) noexcept { return 4u << (2 * sizeClass); }
    std::uint32_t Capacity() const noexcept { return CapacityOf(sizeClass); }
    /// The items, stored right after this header.
    TItem* Items() noexcept { return reinterpret_cast<TItem*>(this + 1); }
    const TItem* Items() const noexcept { return reinterpret_cast<const TItem*>(this + 1); }
};

/// Appends the ids of the items of the list `head` for which `hit(item)` holds. The test runs
/// for every item without a branch on its outcome (ids go through a small staging buffer), so
/// scattered hits among many misses cost no mispredictions; `hit` should be branch-free too.
template <class TItem, class THit, class TId>
void KrAppendHits(const TItemChunk<TItem>* head, THit hit, std::vector<TId>& ids) {
    constexpr std::uint32_t kStage = 256;
    TId stage[kStage];
    for (const TItemChunk<TItem>* c = head; c; c = c->next) {
        const TItem* items = c->Items();
        for (std::uint32_t done = 0; done < c->count; done += kStage) {
            const std::uint32_t end = std::min(c->count, done + kStage);
            std::uint32_t n = 0;
            for (std::uint32_t i = done; i < end; ++i) {
                stage[n] = items[i].id;
                n += hit(items[i]) ? 1 : 0;
            }
            ids.insert(ids.end(), stage, stage + n);
        }
    }
}

/// Makes and recycles the chunks of every node of one tree, each size from its own block
/// allocator (blocks of about 4096 items), so adding an item allocates nothing individually:
/// at most one chunk is taken per growth step of a node. TItem must be trivially copyable.
/// Not thread-safe.
template <class TItem>
class TItemChunkPool {
    static_assert(std::is_trivially_copyable<TItem>::value, "items are moved by copying");
    static_assert(sizeof(TItemChunk<TItem>) % alignof(TItem) == 0, "items follow the chunk header");

public:
    using TChunk = TItemChunk<TItem>;

    /// Adds `item` to the list `head`. A full head below the largest size moves to a chunk of
    /// the next size (copying at most 256 items, so the cost stays constant per item on
    /// average); a full largest one gets a new largest chunk in front of it.
    void Push(TChunk*& head, const TItem& item) {
        if (!head) {
            head = New(0, nullptr);
        } else if (head->count == head->Capacity()) {
            if (head->sizeClass + 1 < TChunk::kClasses) {
                TChunk* bigger = New(head->sizeClass + 1, head->next);
                std::copy(head->Items(), head->Items() + head->count, bigger->Items());
                bigger->count = head->count;
                Delete(head);
                head = bigger;
            } else {
                head = New(head->sizeClass, head);
            }
        }
        head->Items()[head->count++] = item;
    }

    /// Removes the item at `index` of `chunk` (a chunk of the list `head`) by moving the list's
    /// last item into its place; the head chunk goes when it empties.
    void Remove(TChunk*& head, TChunk* chunk, std::uint32_t index) noexcept {
        chunk->Items()[index] = head->Items()[head->count - 1];
        if (--head->count == 0) {
            TChunk* gone = head;
            head = head->next;
            Delete(gone);
        }
    }

    /// Returns every chunk of the list `head` to the pool.
    void Free(TChunk*& head) noexcept {
        while (head) {
            TChunk* gone = head;
            head = head->next;
            Delete(gone);
        }
    }

    /// Forgets every chunk, keeping the memory for reuse.
    void Clear() noexcept {
        m_c0.Clear(), m_c1.Clear(), m_c2.Clear(), m_c3.Clear(), m_c4.Clear();
    }
    /// Forgets every chunk and releases the memory.
    void Release() noexcept {
        m_c0.Release(), m_c1.Release(), m_c2.Release(), m_c3.Release(), m_c4.Release();
    }

private:
    template <std::uint32_t N>
    struct alignas(alignof(TChunk) > alignof(TItem) ? alignof(TChunk) : alignof(TItem)) TStorage {
        unsigned char bytes[sizeof(TChunk) + N * sizeof(TItem)];
    };

    TChunk* New(std::uint32_t sizeClass, TChunk* next) {
        void* p;
        switch (sizeClass) {
        case 0: p = m_c0.New(); break;
        case 1: p = m_c1.New(); break;
        case 2: p = m_c2.New(); break;
        case 3: p = m_c3.New(); break;
        default: p = m_c4.New(); break;
        }
        return ::new (p) TChunk{next, 0, sizeClass};
    }

    void Delete(TChunk* c) noexcept {
        void* p = c;
        switch (c->sizeClass) {
        case 0: m_c0.Delete(static_cast<TStorage<4>*>(p)); break;
        case 1: m_c1.Delete(static_cast<TStorage<16>*>(p)); break;
        case 2: m_c2.Delete(static_cast<TStorage<64>*>(p)); break;
        case 3: m_c3.Delete(static_cast<TStorage<256>*>(p)); break;
        default: m_c4.Delete(static_cast<TStorage<1024>*>(p)); break;
        }
    }

    TBlockAllocator<TStorage<4>, 1024> m_c0;
    TBlockAllocator<TStorage<16>, 256> m_c1;
    TBlockAllocator<TStorage<64>, 64> m_c2;
    TBlockAllocator<TStorage<256>, 16> m_c3;
    TBlockAllocator<TStorage<1024>, 4> m_c4;
};

} // namespace kr
