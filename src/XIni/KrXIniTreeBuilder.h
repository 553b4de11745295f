// TKrXIniTreeBuilder: fills a tree from a document's items in document order.
#pragma once

#include "Core/KrVarA.h"
#include "XIni/KrXIniItemType.h"
#include "XIni/KrXIniTree.h"

#include <cstddef>
#include <vector>

/// Builds a tree the way a parser meets the items: sections open and close around their
/// content. Texts, item arrays and child trees go to one storage shared by the whole tree; the
/// items of the open sections wait on a stack and move into an array of exactly their number
/// when their section closes. Raw texts are XML attribute text, unescaped on the way in.
class TKrXIniTreeBuilder {
public:
    /// Builds into `root`, which should be empty (items already there are kept in front).
    explicit TKrXIniTreeBuilder(TKrXIniTree* root);
    TKrXIniTreeBuilder(const TKrXIniTreeBuilder&) = delete;
    TKrXIniTreeBuilder& operator=(const TKrXIniTreeBuilder&) = delete;
    /// Closes what is still open (see Finish).
    ~TKrXIniTreeBuilder();

    /// Appends a section and enters it.
    void OpenSection(const char* nameBegin, const char* nameEnd);
    /// Appends a section with an empty child tree.
    void EmptySection(const char* nameBegin, const char* nameEnd);
    /// Leaves the innermost open section; false at the root.
    bool CloseSection();
    /// Appends a leaf item from raw name and value texts.
    void Item(TKrXIniItemType type, const char* nameBegin, const char* nameEnd, const char* valueBegin,
              const char* valueEnd);
    /// Appends a leaf item whose texts are final already.
    void ItemText(TKrXIniItemType type, const char* name, std::size_t nameLength, const char* value,
                  std::size_t valueLength);
    /// Sections open below the root.
    std::size_t Depth() const noexcept { return m_levels.size() - 1; }
    /// Moves the waiting items of every open section into their trees, so the tree shows all
    /// that was read (as it stands when a parse stops early). Nothing is open afterwards.
    void Finish();

private:
    using TItem = TKrXIniTree::TItem;
    struct TLevel {
        TKrXIniTree* tree; // null for a section, whose tree is made when it closes
        std::size_t first; // its first item on the stack
    };
    TItem& Push();
    void Close();

    var_a<TKrXIniStore*> m_store;
    TKrXIniTree m_stack; // the waiting items of all open sections, innermost last
    std::vector<TLevel> m_levels;
};
