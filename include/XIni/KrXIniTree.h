// TKrXIniTree: one level of XIni items in memory, each section holding its own child tree.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "XIni/KrXIniItemType.h"
#include "XIni/KrXIniString.h"

#include <cstddef>
#include <string>
#include <vector>

class TKrStream;
class TKrXIniStore;
class TKrXIniTreeBuilder;

/// An ordered, growable array of items in document order. Names need not be unique and may be
/// empty; they compare byte-wise and case-sensitively. Items are addressed by zero-based index;
/// searches return npos when nothing matches, and an index out of range is never an error.
///
/// Copying the tree (copy constructor, operator=, CopyFrom, CreateCopy) is deep: every child tree
/// is recreated. Copying a single TItem shares its child. Every operation walks nested sections
/// with an explicit stack, so depth is limited by memory only, never by the call stack.
///
/// One thread at a time; child trees are shared only through atomic reference counts.
///
/// A tree read from a document keeps the names, values, item arrays and child trees of the
/// whole document in one shared storage, released when its last tree goes; items added later
/// own their texts.
class KRSTD_API TKrXIniTree {
public:
    static constexpr std::size_t npos = std::size_t(-1);

    /// One item. `value` holds a number's text for Integer and Double, the Base64 text for
    /// Binary and nothing for Section; `child` is set only for sections, and a section whose
    /// child is null has no content at all (writers skip it).
    struct TItem {
        TKrXIniItemType type = TE_KrXIniItemType::Invalid;
        TKrXIniString name;
        TKrXIniString value;
        var_a<TKrXIniTree*> child;
    };

    TKrXIniTree() noexcept = default;
    /// Deep copy. O(items of the whole hierarchy).
    TKrXIniTree(const TKrXIniTree& other);
    TKrXIniTree(TKrXIniTree&& other) noexcept;
    /// Replaces the content with a deep copy of `other`. Safe when `other` is this tree or lies
    /// inside it: the copy is made before the old content goes.
    TKrXIniTree& operator=(const TKrXIniTree& other);
    TKrXIniTree& operator=(TKrXIniTree&& other) noexcept;
    /// Releases nested trees iteratively, so arbitrarily deep trees cannot exhaust the stack.
    ~TKrXIniTree();

    /// Appends deep copies of all items of `other` (null: nothing). A section without a child
    /// gets an empty child in the copy. Safe when `other` is this tree or related to it.
    void CopyFrom(const TKrXIniTree* other);
    /// Removes all items; false when the tree was already empty.
    bool Clear();
    /// A new deep copy.
    var_a<TKrXIniTree*> CreateCopy() const;

    /// Number of items.
    std::size_t Count() const noexcept { return m_count; }
    /// Number of items with that name. O(items).
    std::size_t Count(const std::string& name) const noexcept;
    /// The same for `len` bytes at `name` (null reads as the empty name).
    std::size_t Count(const char* name, std::size_t len) const noexcept;

    /// The item at `index`, or null when index is out of range. The pointer stays valid until
    /// the next insertion or deletion.
    TItem* FindItem(std::size_t index) noexcept { return index < m_count ? &m_items[index] : nullptr; }
    const TItem* FindItem(std::size_t index) const noexcept {
        return index < m_count ? &m_items[index] : nullptr;
    }

    /// First index at or after `start` whose name matches; npos if none. O(items searched).
    std::size_t FindItemIndexF(const std::string& name, std::size_t start) const noexcept;
    std::size_t FindItemIndexF(const char* name, std::size_t len, std::size_t start) const noexcept;
    /// Cyclic search: from `start` to the end, then from 0 up to start-1; npos if none.
    std::size_t FindItemIndexC(const std::string& name, std::size_t start) const noexcept;
    std::size_t FindItemIndexC(const char* name, std::size_t len, std::size_t start) const noexcept;

    /// Appends a Section item with a new empty child tree and returns that child.
    var_a<TKrXIniTree*> AddSection(const std::string& name);
    /// The same with the name given as raw XML attribute text [begin, end), unescaped first.
    /// A null or reversed range is the empty name.
    var_a<TKrXIniTree*> AddSectionRaw(const char* begin, const char* end);
    /// Appends a leaf item (no child) of any type number.
    void AddItem(TKrXIniItemType type, const std::string& name, const std::string& value);
    /// The same with name and value given as raw XML attribute text, both unescaped first.
    void AddItemRaw(TKrXIniItemType type, const char* nameBegin, const char* nameEnd, const char* valueBegin,
                    const char* valueEnd);

    /// Moves all items of `other` to the end of this tree; `other` keeps as many emptied
    /// (Invalid, unnamed, childless) items. O(items of other). `other` must not contain this
    /// tree as a descendant (that would make the tree own itself); null does nothing.
    void Splice(TKrXIniTree* other);

    /// True when both trees have the same number of items and, index by index, the same type
    /// and name, and sections have both children null or both non-null with equal hierarchy.
    /// Values are not compared. O(items of the smaller hierarchy).
    bool EqualHierarchy(const TKrXIniTree& other) const;
    /// EqualHierarchy and, item by item, the same value texts. O(items and value bytes).
    bool EqualContent(const TKrXIniTree& other) const;

    /// Removes the item at `index`; false when index is out of range.
    bool Delete(std::size_t index);
    /// Removes `count` items from `index` on, clipped at the end; false when index is out of range.
    bool Delete(std::size_t index, std::size_t count);

    /// Writes a readable dump, one item per line indented by 2*indent blanks, names and values
    /// raw. A null stream does nothing. Output is written in blocks of about 64 KiB.
    void DebugPrint(TKrStream* stream, std::size_t indent) const;

private:
    friend class TKrXIniStore;
    friend class TKrXIniTreeBuilder;

    bool Equal(const TKrXIniTree& other, bool values) const;
    // Appends a default item, reserving 4 slots on the first insertion and growing geometrically
    // after.
    TItem& Append();
    // Makes room for `capacity` items; items move by copying their bytes (every member of an
    // item stays valid at a new address), never through TItem's move, which would copy
    // borrowed texts.
    void Reserve(std::size_t capacity);
    // Destroys the items and frees an array of our own; leaves the tree empty, keeping the storage.
    void Release() noexcept;
    // Release, with the children of the items moved to `pending` first.
    void TakeApart(std::vector<var_a<TKrXIniTree*>>& pending);
    // Gives borrowed texts of the items [first, last) owning copies.
    void OwnTexts(std::size_t first, std::size_t last);

    TItem* m_items = nullptr;
    std::size_t m_count = 0;
    std::size_t m_capacity = 0;   // 0 with items: the array lies in m_store
    var_a<TKrXIniStore*> m_store; // borrowed texts, the stored array
};
