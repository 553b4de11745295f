// TKrMemCache: a byte-budgeted least-recently-used list of memory blocks shared between caches.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"

#include <cstddef>
#include <list>

/// One block of memory held by a TKrMemCache. The owner of the memory derives from it: when the
/// memory cache drops its last reference (eviction, clear), the derived destructor gives the
/// memory back, so eviction reaches whoever holds the data without a callback interface.
class KRSTD_API TKrMemCacheEntry {
public:
    explicit TKrMemCacheEntry(std::size_t size) noexcept : m_size(size) {}
    TKrMemCacheEntry(const TKrMemCacheEntry&) = delete;
    TKrMemCacheEntry& operator=(const TKrMemCacheEntry&) = delete;
    virtual ~TKrMemCacheEntry();

    /// The bytes this entry counts against the budget.
    std::size_t size() const noexcept { return m_size; }

private:
    std::size_t m_size;
};

/// A least-recently-used list of entries under a byte budget (0 = unlimited), shared through
/// var_a<TKrMemCache*> by every cache that draws on one budget. Not locked: the caches sharing it
/// and the memory cache itself are used from one thread at a time. All operations are O(1) but
/// make_room and clear, which are O(entries removed) plus the entries' destructors.
class KRSTD_API TKrMemCache {
public:
    using TEntries = std::list<var_a<TKrMemCacheEntry*>>;
    using iterator = TEntries::iterator;

    explicit TKrMemCache(std::size_t limit) noexcept : m_limit(limit) {}
    TKrMemCache(const TKrMemCache&) = delete;
    TKrMemCache& operator=(const TKrMemCache&) = delete;
    /// Drops every entry (their destructors run).
    ~TKrMemCache();

    /// Evicts least recently used entries until used + extra fits the limit (nothing when the
    /// limit is 0). An empty list always counts as 0 bytes used.
    void make_room(std::size_t extra);
    /// make_room(0), then puts the entry in front and counts its size: the newest entry may take
    /// the total above the limit until the next insertion, so an entry larger than the whole
    /// budget is still kept until something else arrives. A null entry throws TKrMessage.
    iterator push_front(var_a<TKrMemCacheEntry*> entry);
    /// Removes the entry at `pos`; its destructor runs when this was its last reference.
    void erase(iterator pos);
    /// Removes the entry at `pos` from the list and hands it to the caller.
    var_a<TKrMemCacheEntry*> release(iterator pos);
    /// Marks the entry at `pos` as the most recently used.
    void move_to_front(iterator pos) noexcept {
        if (pos != m_entries.begin()) m_entries.splice(m_entries.begin(), m_entries, pos);
    }
    /// Removes every entry.
    void clear();

    std::size_t limit() const noexcept { return m_limit; }
    /// A new budget; takes effect at the next make_room or push_front.
    void set_limit(std::size_t limit) noexcept { m_limit = limit; }
    std::size_t used() const noexcept { return m_used; }
    std::size_t count() const noexcept { return m_count; }

private:
    std::size_t m_limit;
    std::size_t m_used = 0;
    TEntries m_entries;
    std::size_t m_count = 0;
};
