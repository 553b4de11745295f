// The shared byte-budgeted LRU list: eviction, insertion and removal.
#include "Raster/KrMemCache.h"
#include "Core/KrMessage.h"

#include <utility>

TKrMemCacheEntry::~TKrMemCacheEntry() = default;

TKrMemCache::~TKrMemCache() {
    clear();
}

void TKrMemCache::make_room(std::size_t extra) {
    if (m_limit != 0) {
        while (m_used + extra > m_limit || m_used + extra < m_used) {
            if (m_entries.empty()) {
                m_used = 0;
                break;
            }
            erase(std::prev(m_entries.end()));
        }
    }
    if (m_entries.empty()) m_used = 0;
}

TKrMemCache::iterator TKrMemCache::push_front(var_a<TKrMemCacheEntry*> entry) {
    if (!entry) throw TKrMessage("@TKrMemCache::push_front: null entry.");
    make_room(0);
    const std::size_t size = entry->size();
    m_entries.push_front(std::move(entry));
    m_used += size;
    ++m_count;
    return m_entries.begin();
}

void TKrMemCache::erase(iterator pos) {
    // The entry dies after the list and the totals are consistent again: its destructor may
    // reach back into whoever owns the memory, and that owner may look at this list.
    var_a<TKrMemCacheEntry*> entry = release(pos);
}

var_a<TKrMemCacheEntry*> TKrMemCache::release(iterator pos) {
    var_a<TKrMemCacheEntry*> entry = std::move(*pos);
    m_entries.erase(pos);
    --m_count;
    const std::size_t size = entry ? entry->size() : 0;
    m_used = size <= m_used ? m_used - size : 0;
    return entry;
}

void TKrMemCache::clear() {
    while (!m_entries.empty())
        erase(std::prev(m_entries.end()));
    m_used = 0;
}
