// TKrXIniTreeBuilder: the stack of waiting items and its hand-over to stored item arrays.
#include "XIni/KrXIniTreeBuilder.h"
#include "XIni/KrXIniStore.h"

#include <cstring>
#include <new>

TKrXIniTreeBuilder::TKrXIniTreeBuilder(TKrXIniTree* root)
    : m_store(root->m_store ? root->m_store : new_a<TKrXIniStore>()) {
    root->m_store = m_store;
    m_stack.Reserve(256);
    m_levels.push_back({root, 0});
}

TKrXIniTreeBuilder::~TKrXIniTreeBuilder() {
    try {
        Finish();
    } catch (...) {
        // Out of memory on the way: the waiting items go with the stack.
    }
}

TKrXIniTree::TItem& TKrXIniTreeBuilder::Push() {
    return m_stack.Append();
}

void TKrXIniTreeBuilder::OpenSection(const char* nameBegin, const char* nameEnd) {
    m_levels.reserve(m_levels.size() + 1);
    TItem& item = Push();
    item.type = TE_KrXIniItemType::Section;
    m_store->Decode(item.name, nameBegin, nameEnd);
    m_levels.push_back({nullptr, m_stack.m_count}); // the child tree is made when the section closes
}

void TKrXIniTreeBuilder::EmptySection(const char* nameBegin, const char* nameEnd) {
    var_a<TKrXIniTree*> child = TKrXIniStore::NewTree(m_store);
    TItem& item = Push();
    item.type = TE_KrXIniItemType::Section;
    m_store->Decode(item.name, nameBegin, nameEnd);
    item.child = std::move(child);
}

void TKrXIniTreeBuilder::Item(TKrXIniItemType type, const char* nameBegin, const char* nameEnd,
                              const char* valueBegin, const char* valueEnd) {
    TItem& item = Push();
    item.type = type;
    m_store->Decode(item.name, nameBegin, nameEnd);
    m_store->Decode(item.value, valueBegin, valueEnd);
}

void TKrXIniTreeBuilder::ItemText(TKrXIniItemType type, const char* name, std::size_t nameLength,
                                  const char* value, std::size_t valueLength) {
    TItem& item = Push();
    item.type = type;
    m_store->Copy(item.name, name, nameLength);
    m_store->Copy(item.value, value, valueLength);
}

bool TKrXIniTreeBuilder::CloseSection() {
    if (m_levels.size() < 2) return false;
    Close();
    return true;
}

void TKrXIniTreeBuilder::Finish() {
    while (!m_levels.empty())
        Close();
}

void TKrXIniTreeBuilder::Close() {
    const TLevel level = m_levels.back();
    TKrXIniTree* tree = level.tree;
    const std::size_t n = m_stack.m_count - level.first;
    if (!tree) {
        // A section: its tree and items in one piece of the store, hung on the section item.
        var_a<TKrXIniTree*> child = TKrXIniStore::NewTree(m_store, m_stack.m_items + level.first, n);
        m_stack.m_count = level.first; // moved by their bytes, nothing to destroy
        m_stack.m_items[level.first - 1].child = std::move(child);
    } else if (n) {
        const std::size_t bytes = n * sizeof(TItem);
        if (tree->m_count == 0) {
            tree->Release();
            tree->m_items = static_cast<TItem*>(m_store->Allocate(bytes));
            tree->m_capacity = 0; // the array belongs to the store
        } else {
            tree->Reserve(tree->m_count + n);
        }
        std::memcpy(static_cast<void*>(tree->m_items + tree->m_count),
                    static_cast<const void*>(m_stack.m_items + level.first), bytes);
        tree->m_count += n;
        m_stack.m_count = level.first;
    }
    m_levels.pop_back();
}
