// kr::TItemChunk, kr::TItemChunkPool: a tree node's items as a short list of growing arrays.
#pragma once

#include "Math/Index/KrBlockAllocator.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

namespace kr {

/// One array of a node's items: 64-bit object ids and, beside them, what a query tests
/// (`TCells`, the object's finest cells). A node's chunks form a singly linked list whose head
/// is the only one that may have room left: a node holds one chunk of 4, 16, 64, 256 or 1024
/// items, moving to the next size as it fills, and adds further chunks of 1024 beyond that.
///
/// A query so reads one run of adjacent memory per node (and per 1024 items) instead of one
/// scattered record per item, and a node lying wholly inside the query is answered by copying
/// its ids, without reading the cells. Cache misses are what a query spends its time on.
template <class TCells> struct TItemChunk {
    static constexpr std::uint32_t kClasses = 5;

    TItemChunk* next;
    std::uint32_t count;
    std::uint32_t sizeClass;

    static constexpr std::uint32_t CapacityOf(std::uint32_t sizeClass) noexcept {
        return 4u << (2 * sizeClass);
    }
    std::uint32_t Capacity() const noexcept { return CapacityOf(sizeClass); }
    /// The ids, stored right after this header, then the cells of the same items.
    std::uint64_t* Ids() noexcept { return reinterpret_cast<std::uint64_t*>(this + 1); }
    const std::uint64_t* Ids() const noexcept { return reinterpret_cast<const std::uint64_t*>(this + 1); }
    TCells* Cells() noexcept { return reinterpret_cast<TCells*>(Ids() + Capacity()); }
    const TCells* Cells() const noexcept { return reinterpret_cast<const TCells*>(Ids() + Capacity()); }
};

/// Appends the ids of the items of the list `head` whose cells pass `hit`. The test runs for
/// every item without a branch on its outcome (ids go through a small staging buffer), so
/// scattered hits among many misses cost no mispredictions; `hit` should be branch-free too.
template <class TCells, class THit, class TId>
void KrAppendHits(const TItemChunk<TCells>* head, const THit& hit, std::vector<TId>& ids) {
    constexpr std::uint32_t kStage = 256;
    TId stage[kStage];
    for (const TItemChunk<TCells>* c = head; c; c = c->next) {
        const std::uint64_t* itemIds = c->Ids();
        const TCells* cells = c->Cells();
        for (std::uint32_t done = 0; done < c->count; done += kStage) {
            const std::uint32_t end = std::min(c->count, done + kStage);
            std::uint32_t n = 0;
            for (std::uint32_t i = done; i < end; ++i) {
                stage[n] = itemIds[i];
                n += hit(cells[i]) ? 1 : 0;
            }
            ids.insert(ids.end(), stage, stage + n);
        }
    }
}

/// Appends the ids of every item of the list `head`.
template <class TCells, class TId> void KrAppendAll(const TItemChunk<TCells>* head, std::vector<TId>& ids) {
    for (const TItemChunk<TCells>* c = head; c; c = c->next)
        ids.insert(ids.end(), c->Ids(), c->Ids() + c->count);
}

/// Makes and recycles the chunks of every node of one tree, each size from its own block
/// allocator (blocks of about 4096 items), so adding an item allocates nothing individually:
/// at most one chunk is taken per growth step of a node. Not thread-safe.
template <class TCells> class TItemChunkPool {
    static_assert(std::is_trivially_copyable<TCells>::value, "cells are moved by copying");
    static_assert(alignof(TCells) <= alignof(std::uint64_t), "cells follow the ids");

public:
    using TChunk = TItemChunk<TCells>;

    /// Adds an item to the list `head`. A full head below the largest size moves to a chunk of
    /// the next size (copying at most 256 items, so the cost stays constant per item on
    /// average); a full largest one gets a new largest chunk in front of it.
    void Push(TChunk*& head, std::uint64_t id, const TCells& cells) {
        if (!head) {
            head = New(0, nullptr);
        } else if (head->count == head->Capacity()) {
            if (head->sizeClass + 1 < TChunk::kClasses) {
                TChunk* bigger = New(head->sizeClass + 1, head->next);
                std::memcpy(bigger->Ids(), head->Ids(), head->count * sizeof(std::uint64_t));
                std::memcpy(static_cast<void*>(bigger->Cells()), head->Cells(), head->count * sizeof(TCells));
                bigger->count = head->count;
                Delete(head);
                head = bigger;
            } else {
                head = New(head->sizeClass, head);
            }
        }
        head->Ids()[head->count] = id;
        head->Cells()[head->count] = cells;
        ++head->count;
    }

    /// Removes the item at `index` of `chunk` (a chunk of the list `head`) by moving the list's
    /// last item into its place; the head chunk goes when it empties.
    void Remove(TChunk*& head, TChunk* chunk, std::uint32_t index) noexcept {
        const std::uint32_t last = head->count - 1;
        chunk->Ids()[index] = head->Ids()[last];
        chunk->Cells()[index] = head->Cells()[last];
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
    void Clear() noexcept { m_c0.Clear(), m_c1.Clear(), m_c2.Clear(), m_c3.Clear(), m_c4.Clear(); }
    /// Forgets every chunk and releases the memory.
    void Release() noexcept {
        m_c0.Release(), m_c1.Release(), m_c2.Release(), m_c3.Release(), m_c4.Release();
    }

private:
    template <std::uint32_t N> struct alignas(alignof(TChunk)) TStorage {
        unsigned char bytes[sizeof(TChunk) + N * (sizeof(std::uint64_t) + sizeof(TCells))];
    };

    TChunk* New(std::uint32_t sizeClass, TChunk* next) {
        void* p;
        switch (sizeClass) {
        case 0:
            p = m_c0.New();
            break;
        case 1:
            p = m_c1.New();
            break;
        case 2:
            p = m_c2.New();
            break;
        case 3:
            p = m_c3.New();
            break;
        default:
            p = m_c4.New();
            break;
        }
        return ::new (p) TChunk{next, 0, sizeClass};
    }

    void Delete(TChunk* c) noexcept {
        void* p = c;
        switch (c->sizeClass) {
        case 0:
            m_c0.Delete(static_cast<TStorage<4>*>(p));
            break;
        case 1:
            m_c1.Delete(static_cast<TStorage<16>*>(p));
            break;
        case 2:
            m_c2.Delete(static_cast<TStorage<64>*>(p));
            break;
        case 3:
            m_c3.Delete(static_cast<TStorage<256>*>(p));
            break;
        default:
            m_c4.Delete(static_cast<TStorage<1024>*>(p));
            break;
        }
    }

    TBlockAllocator<TStorage<4>, 1024> m_c0;
    TBlockAllocator<TStorage<16>, 256> m_c1;
    TBlockAllocator<TStorage<64>, 64> m_c2;
    TBlockAllocator<TStorage<256>, 16> m_c3;
    TBlockAllocator<TStorage<1024>, 4> m_c4;
};

} // namespace kr
