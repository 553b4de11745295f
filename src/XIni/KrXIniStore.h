// TKrXIniStore: the shared storage of the trees read from one document.
#pragma once

#include "Core/KrVarA.h"
#include "XIni/KrXIniTree.h"

#include <cstddef>

/// A bump allocator in growing blocks that live as long as the store: the texts, item arrays
/// and child trees of a document read into trees. Texts and the tree structure fill separate
/// blocks, so that walking the trees (a tear-down above all) reads densely packed memory. Each tree allocated
/// here holds one count on the store, so the blocks go with the last tree. Nothing allocated here is freed
/// one by one.
class TKrXIniStore {
public:
    TKrXIniStore() = default;
    TKrXIniStore(const TKrXIniStore&) = delete;
    TKrXIniStore& operator=(const TKrXIniStore&) = delete;
    ~TKrXIniStore();

    /// `n` bytes aligned for trees and items; throws std::bad_alloc.
    void* Allocate(std::size_t n);
    /// Makes `out` show the unescaped raw XML text [begin, end), stored here with a NUL. A null
    /// or reversed range gives the empty string.
    void Decode(TKrXIniString& out, const char* begin, const char* end);
    /// Makes `out` show a stored copy of the n bytes at s.
    void Copy(TKrXIniString& out, const char* s, std::size_t n);
    /// A new tree inside the store, holding a count on `self` (which must be this store), with
    /// `items` items moved in by their bytes right behind it, so that a small section and its
    /// items share cache lines.
    static var_a<TKrXIniTree*> NewTree(const var_a<TKrXIniStore*>& self, TKrXIniTree::TItem* items = nullptr,
                                       std::size_t count = 0);

private:
    struct TBlock {
        TBlock* next;
        std::size_t size;
    };
    struct TRegion {
        char* next = nullptr;
        char* end = nullptr;
        std::size_t blockSize = 16 * 1024;
    };
    // The destroy function of trees made by NewTree.
    static void DestroyTree(var_a_item* item) noexcept;
    char* Bytes(std::size_t n); // unaligned room for n text bytes
    char* NewBlock(TRegion& region, std::size_t n);

    TBlock* m_blocks = nullptr;
    TRegion m_texts;
    TRegion m_nodes;
};
