// TKrXIniStore: blocks, stored texts and trees living inside the store.
#include "XIni/KrXIniStore.h"
#include "Xml/KrXmlEscape.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t kAlign = alignof(TKrXIniTree::TItem) > alignof(std::int64_t)
                                   ? alignof(TKrXIniTree::TItem)
                                   : alignof(std::int64_t);
constexpr std::size_t kMaxBlock = std::size_t(4) << 20;

// A tree made inside a store. The last owner destroys the tree and then lets go of the store,
// which may free the very block the tree lies in.
struct TStoredTree : var_a_item {
    TKrXIniTree tree;
    var_a<TKrXIniStore*> block; // apart from the tree's own, which moves with its items
};
static_assert(alignof(TStoredTree) <= kAlign, "stored trees are aligned by the store");

// True when a byte of w is '&': it becomes a zero byte of w ^ 0x26..26, which the borrow finds.
inline bool HasAmpersand(std::uint64_t w) noexcept {
    w ^= 0x2626262626262626u;
    return ((w - 0x0101010101010101u) & ~w & 0x8080808080808080u) != 0;
}

// Copies sizeof(W) <= n <= 2 * sizeof(W) bytes as two overlapping words, the first and the last.
template <class W> bool CopyEnds(char* to, const char* from, std::size_t n) noexcept {
    W a, b;
    std::memcpy(&a, from, sizeof a);
    std::memcpy(&b, from + n - sizeof b, sizeof b);
    std::memcpy(to, &a, sizeof a);
    std::memcpy(to + n - sizeof b, &b, sizeof b);
    // Two 32-bit words side by side in one 64-bit word; 64-bit words one by one.
    if constexpr (sizeof(W) == 4) return HasAmpersand((std::uint64_t(a) << 32) | b);
    return HasAmpersand(a) || HasAmpersand(b);
}

// Copies n <= 32 bytes with a few overlapping loads and stores (never outside either range)
// and tells whether an '&' was among them.
inline bool CopyShort(char* to, const char* from, std::size_t n) noexcept {
    if (n >= 16) {
#ifdef __SSE2__
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + n - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + n - 16), b);
        const __m128i amp = _mm_set1_epi8('&');
        return _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(a, amp), _mm_cmpeq_epi8(b, amp))) != 0;
#else
        std::memcpy(to, from, n);
        return std::memchr(from, '&', n) != nullptr;
#endif
    }
    if (n >= 8) return CopyEnds<std::uint64_t>(to, from, n);
    if (n >= 4) return CopyEnds<std::uint32_t>(to, from, n);
    bool amp = false;
    for (std::size_t i = 0; i < n; ++i) {
        to[i] = from[i];
        amp |= from[i] == '&';
    }
    return amp;
}

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
    out.Free();
    if (n <= TKrXIniString::kMaxInline) {
        // Straight into the string's own bytes.
        char* own = out.m_bytes;
        const std::size_t used = CopyShort(own, begin, n) ? KrDecodeStringXml(begin, n, own) : n;
        out.EndInline(used);
        return;
    }
    char* p = Bytes(n + 1);
    std::size_t used = n;
    // Names and numbers are short: copied whole while looking for references.
    if (n > 32 || CopyShort(p, begin, n)) used = KrDecodeStringXml(begin, n, p);
    if (used <= TKrXIniString::kMaxInline) {
        out.SetInline(p, used);
        if (p + n + 1 == m_texts.next) m_texts.next = p; // the string keeps the bytes itself
        return;
    }
    p[used] = '\0';
    if (p + n + 1 == m_texts.next) m_texts.next = p + used + 1; // give back what unescaping saved
    out.SetPointer(p, used);
}

void TKrXIniStore::Copy(TKrXIniString& out, const char* s, std::size_t n) {
    out.clear();
    if (n <= TKrXIniString::kMaxInline) {
        if (n) out.SetInline(s, n);
        return;
    }
    char* p = Bytes(n + 1);
    std::memcpy(p, s, n);
    p[n] = '\0';
    out.SetPointer(p, n);
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
