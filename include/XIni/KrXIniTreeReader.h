// TKrXIniTreeReaderT: the XIni reader over an in-memory TKrXIniTree.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniTree.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

/// Reads a TKrXIniTree through TKrXIniReader: the same values, conversions and error messages as
/// the stream reader, with item paths built from the stack of entered sections. Values are
/// converted from the stored text on every read (strtol-family rules for integers, strtod for
/// doubles, Base64 decoding for binary items); nothing is cached. Index access is O(1), searches
/// and counts by name O(items of the section).
///
/// Two instances exist: TKrXIniTreeReader over a const tree, and TKrXIniTreeReaderW over a
/// mutable one (the base of TKrXIniTreeWriter). Entering a section whose child is null reads it
/// as an empty section; the mutable instance gives it an empty child tree so that writes made
/// inside land in the tree. The reader holds the root and every entered section's tree, so
/// changing the tree behind its back never leaves it dangling. One thread at a time.
template <class TreePtr, class ItemPtr> class KRSTD_API TKrXIniTreeReaderT : public TKrXIniReader {
public:
    /// A null root reads as an empty tree.
    explicit TKrXIniTreeReaderT(var_a<TreePtr> root);
    ~TKrXIniTreeReaderT() override;
    TKrXIniTreeReaderT(const TKrXIniTreeReaderT&) = default;
    TKrXIniTreeReaderT& operator=(const TKrXIniTreeReaderT&) = default;

    /// The tree given at construction.
    const var_a<TreePtr>& GetRoot() const noexcept { return m_root; }
    /// The tree of the current section (the root at level 0).
    TreePtr CurrentTree() const noexcept { return m_current; }
    /// The index of the item last accessed in the current section (npos before any access).
    std::size_t CurrentIndex() const noexcept { return m_index; }
    /// The current level (0 at the root).
    std::size_t Level() const noexcept { return m_stack.size(); }

    using TKrXIniReader::Count;
    using TKrXIniReader::CountE;

    std::size_t Count() override;
    std::size_t CountE() override;
    std::size_t Count_x(const char* name, std::size_t len) override;
    std::size_t CountE_x(const char* name, std::size_t len) override;
    std::size_t FindF_x(const char* name, std::size_t len, std::size_t start) override;
    std::size_t FindFE_x(const char* name, std::size_t len, std::size_t start) override;
    TKrXIniItemType ItemType(std::size_t index) override;
    TKrXIniItemType ItemTypeE(std::size_t index) override;
    std::string ItemName(std::size_t index) override;
    std::string ItemNameE(std::size_t index) override;
    bool Exists(std::size_t index) override;
    bool ExistsE(std::size_t index) override;
    std::size_t EnterSection(std::size_t index) override;
    std::size_t EnterSectionE(std::size_t index) override;
    bool ExitSection(std::size_t level) override;
    std::size_t ExitSectionE(std::size_t level) override;

    int Read_x_int32(std::size_t index, int def) override;
    int ReadE_x_int32(std::size_t index) override;
    unsigned Read_x_uint32(std::size_t index, unsigned def) override;
    unsigned ReadE_x_uint32(std::size_t index) override;
    long Read_x_int64(std::size_t index, long def) override;
    long ReadE_x_int64(std::size_t index) override;
    unsigned long Read_x_uint64(std::size_t index, unsigned long def) override;
    unsigned long ReadE_x_uint64(std::size_t index) override;
    double Read_x_double(std::size_t index, double def) override;
    double ReadE_x_double(std::size_t index) override;
    std::string Read_x_string(std::size_t index, const std::string& def) override;
    std::string ReadE_x_string(std::size_t index) override;
    std::string ReadLongString(std::size_t index, const std::string& def) override;
    std::string ReadLongStringE(std::size_t index) override;
    std::string ReadBinary(std::size_t index, const std::string& def) override;
    std::string ReadBinaryE(std::size_t index) override;
    /// A complete document (header Full, uncompressed) holding the section's items, written by
    /// TKrXIniStreamWriter. O(items of the section's hierarchy).
    std::string ReadXIni(std::size_t index) override;
    /// The read error with "Err_XIni_WriteError" when the section cannot be written (it holds an
    /// item of unknown type).
    std::string ReadXIniE(std::size_t index) override;
    /// A deep copy of the section's child tree. O(items of the section's hierarchy).
    var_a<TKrXIniTree*> ReadXIniTree(std::size_t index, TXIniTreeMode mode) override;
    var_a<TKrXIniTree*> ReadXIniTreeE(std::size_t index) override;
    std::size_t ReadDouble2(std::size_t index, double* x, double* y) override;
    void ReadDouble2E(std::size_t index, double* x, double* y) override;
    std::size_t ReadDouble3(std::size_t index, double* x, double* y, double* z) override;
    void ReadDouble3E(std::size_t index, double* x, double* y, double* z) override;

    /// Throws "Err_Read_name_msg" with the item's path and `message` as the inner text.
    [[noreturn]] void throw_error_value_message(std::size_t index, const std::string& message) override;

    /// A deep copy of the whole current section.
    var_a<TKrXIniTree*> ReadXIniTreeE();

protected:
    /// The item at index of the current section, or null; records index as the last accessed.
    ItemPtr Access(std::size_t index) noexcept;
    /// Access that throws "Err_XIni_RecordNotFound" for a missing item.
    ItemPtr AccessE(std::size_t index);
    /// Access for an item of `type`: null when it is missing or of another type (plain forms).
    ItemPtr AccessTyped(std::size_t index, TKrXIniItemType type) noexcept;
    /// The same, throwing not-found or the type error with `typeWord`.
    ItemPtr AccessTypedE(std::size_t index, TKrXIniItemType type, const char* typeWord);
    /// Pushes the current section and makes `child` current; returns the new level.
    std::size_t Push(std::size_t index, var_a<TreePtr> child);
    /// The child tree of a section item for reading (never null; a shared empty tree, or for
    /// the mutable instance a new empty child, when the section has none).
    var_a<TreePtr> ChildOf(ItemPtr section);

    template <class T> T ReadNumber(std::size_t index, T def, TKrXIniItemType type);
    template <class T> T ReadNumberE(std::size_t index, TKrXIniItemType type, const char* typeWord);
    void ReadDoublesE(std::size_t index, ItemPtr section, std::size_t n, double* const* out);

    /// The path of the current section followed by `leaf`, as error messages show it.
    std::string ItemPath(const std::string& leaf) const;
    [[noreturn]] void ThrowNotFound(std::size_t index) const;
    [[noreturn]] void ThrowWrongType(std::size_t index, ItemPtr item, const char* typeWord) const;

    var_a<TreePtr> m_root;
    TreePtr m_current;
    std::size_t m_index = npos;
    std::vector<std::pair<TreePtr, std::size_t>> m_stack; // one (tree, index) per entered section
    // The tree of each entered section, held so that a section removed from the tree while the
    // reader is inside it stays valid (writes into it are then lost, but nothing dangles).
    std::vector<var_a<TreePtr>> m_held;
};

extern template class KRSTD_API TKrXIniTreeReaderT<const TKrXIniTree*, const TKrXIniTree::TItem*>;
extern template class KRSTD_API TKrXIniTreeReaderT<TKrXIniTree*, TKrXIniTree::TItem*>;

/// Reads a tree it does not change.
using TKrXIniTreeReader = TKrXIniTreeReaderT<const TKrXIniTree*, const TKrXIniTree::TItem*>;
/// Reads a tree that may be changed through it; the base of TKrXIniTreeWriter.
using TKrXIniTreeReaderW = TKrXIniTreeReaderT<TKrXIniTree*, TKrXIniTree::TItem*>;
