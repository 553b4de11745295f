// TKrXIniStore: blocks, stored texts and trees living inside the store.
#include "XIni/KrXIniStore.h"
#include "Xml/KrXmlEscape.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr std::size_t kAlign = alignof(TKrXIniTree::TItem) > alignof(std::int64_t) ? alignof(TKrXIniTree::TItem) : alignof(std::int64_t);
constexpr std::size_t kMaxBlock = std::size_t(4) << 20;

// A tree made inside a store. The last owner destroys the tree and then lets go of the store,
// which may free the very block the tree lies in.
struct TStoredTree : var_a_item {
    TKrXIniTree tree;
    var_a<TKrXIniStore*> block; // apart from the tree's own, which moves with its items
};
static_assert(alignof(TStoredTree) <= kAlign, "stored trees are aligned by the store");

} // namespace

TKrXIniStore::~TKrXIniStore() {
    while (m_blocks)
        std::free(std::exchange(m_blocks, m_blocks->next));
}

char* TKrXIniStore::NewBlock(TRegion& region, std::size_t n) {
    const std::size_t header = (sizeof(TBlock) + kAlign - 1) / kAlign * kAlign;
    // Requests larger than a quarter of the usual block get a block of their own, so the block
    // being filled keeps its room.
    const bool own = n > region.blockSize / 4;
    const std::size_t size = header + (own ? n : region.blockSize);
    auto* block = static_cast<TBlock*>(std::malloc(size));
    if (!block) throw std::bad_alloc();
    block->next = m_blocks;
    block->size = size;
    m_blocks = block;
    char* room = reinterpret_cast<char*>(block) + header;
    if (!own) {
        region.next = room + n;
        region.end = room + region.blockSize;
        if (region.blockSize < kMaxBlock) region.blockSize *= 2;
    }
    return room;
}

char* TKrXIniStore::Bytes(std::size_t n) {
    if (std::size_t(m_texts.end - m_texts.next) >= n) return std::exchange(m_texts.next, m_texts.next + n);
    return NewBlock(m_texts, n);
}

void* TKrXIniStore::Allocate(std::size_t n) {
    n = (n + kAlign - 1) / kAlign * kAlign; // the region stays aligned
    if (std::size_t(m_nodes.end - m_nodes.next) >= n) return std::exchange(m_nodes.next, m_nodes.next + n);
    return NewBlock(m_nodes, n);
}

void TKrXIniStore::Decode(TKrXIniString& out, const char* begin, const char* end) {
    if (!begin || !end || end <= begin) {
        out.clear();
        return;
    }
    const std::size_t n = std::size_t(end - begin);
    char* p = Bytes(n + 1);
    std::size_t used = n;
    if (n <= 32) {
        // Names and numbers are short: copy and look for references in one pass.
        bool reference = false;
        for (std::size_t i = 0; i < n; ++i) {
            p[i] = begin[i];
            reference |= begin[i] == '&';
        }
        if (reference) used = KrDecodeStringXml(begin, n, p);
    } else {
        used = KrDecodeStringXml(begin, n, p);
    }
    p[used] = '\0';
    if (p + n + 1 == m_texts.next) m_texts.next = p + used + 1; // give back what unescaping saved
    out.Free();
    out.m_data = p;
    out.m_size = used;
}

void TKrXIniStore::Copy(TKrXIniString& out, const char* s, std::size_t n) {
    out.clear();
    if (n == 0) return;
    char* p = Bytes(n + 1);
    std::memcpy(p, s, n);
    p[n] = '\0';
    out.m_data = p;
    out.m_size = n;
}

var_a<TKrXIniTree*> TKrXIniStore::NewTree(const var_a<TKrXIniStore*>& self, TKrXIniTree::TItem* items,
                                          std::size_t count) {
    using TItem = TKrXIniTree::TItem;
    static_assert(sizeof(TStoredTree) % alignof(TItem) == 0, "items follow the tree");
    if (count > (std::size_t(-1) - sizeof(TStoredTree)) / sizeof(TItem)) throw std::bad_alloc();
    void* room = self->Allocate(sizeof(TStoredTree) + count * sizeof(TItem));
    auto* stored = ::new (room) TStoredTree;
    stored->m_destroy = &TKrXIniStore::DestroyTree;
    stored->tree.m_store = self;
    stored->block = self;
    if (count) {
        TItem* array = reinterpret_cast<TItem*>(stored + 1);
        std::memcpy(static_cast<void*>(array), static_cast<const void*>(items), count * sizeof(TItem));
        stored->tree.m_items = array;
        stored->tree.m_count = count;
        stored->tree.m_capacity = 0; // the array belongs to the store
    }
    return var_a<TKrXIniTree*>(stored, &stored->tree);
}

void TKrXIniStore::DestroyTree(var_a_item* item) noexcept {
    auto* self = static_cast<TStoredTree*>(item);
    var_a<TKrXIniStore*> store = std::move(self->block);
    self->~TStoredTree();
    // `store` goes last, possibly with the block that held the tree.
}
