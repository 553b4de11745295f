// TKrXIniTreeReaderT: reading an in-memory XIni tree through the reader interface.
#include "XIni/KrXIniTreeReader.h"

#include "Core/KrExceptions.h"
#include "Core/KrStringEncode.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniInternal.h"
#include "XIni/KrXIniStreamWriter.h"
#include "XIni/KrXIniValueText.h"

#include <type_traits>

using namespace KrXIniInternal;

namespace {

using TTypeWord = const char*;
constexpr TTypeWord kInt = "int", kUInt = "uint", kInt64 = "int64", kUInt64 = "uint64", kDouble = "double",
                    kString = "string", kBinary = "binary", kSection = "section";

constexpr TKrXIniItemType kSectionType = TE_KrXIniItemType::Section;

// The readable child of a section whose child is null: read-only, so one empty tree serves all.
const TKrXIniTree* EmptyTree() {
    static const TKrXIniTree empty;
    return &empty;
}

// A tree with an item of unknown type cannot be written; the writer says so by throwing.
bool WriteDocument(const TKrXIniTree* tree, std::string& text) {
    var_a<TKrStringStream*> out = new_a<TKrStringStream>();
    bool ok = false;
    try {
        TKrXIniStreamWriter writer(out, 0, TKrXIniStreamWriter::Full);
        ok = writer.MergeXIni(tree);
        ok = writer.Close() && ok;
    } catch (const TKrMessage&) {
        return false;
    }
    if (ok) text = std::move(out->str());
    return ok;
}

} // namespace

template <class TreePtr, class ItemPtr>
TKrXIniTreeReaderT<TreePtr, ItemPtr>::TKrXIniTreeReaderT(var_a<TreePtr> root) : m_root(std::move(root)) {
    if (!m_root) m_root = new_a<TKrXIniTree>();
    m_current = m_root.get();
}

template <class TreePtr, class ItemPtr> TKrXIniTreeReaderT<TreePtr, ItemPtr>::~TKrXIniTreeReaderT() = default;

// --- Access helpers -----------------------------------------------------------------------------

template <class TreePtr, class ItemPtr>
ItemPtr TKrXIniTreeReaderT<TreePtr, ItemPtr>::Access(std::size_t index) noexcept {
    m_index = index;
    return m_current->FindItem(index);
}

template <class TreePtr, class ItemPtr>
ItemPtr TKrXIniTreeReaderT<TreePtr, ItemPtr>::AccessE(std::size_t index) {
    ItemPtr item = Access(index);
    if (!item) ThrowNotFound(index);
    return item;
}

template <class TreePtr, class ItemPtr>
ItemPtr TKrXIniTreeReaderT<TreePtr, ItemPtr>::AccessTyped(std::size_t index, TKrXIniItemType type) noexcept {
    ItemPtr item = Access(index);
    return item && item->type == type ? item : nullptr;
}

template <class TreePtr, class ItemPtr>
ItemPtr TKrXIniTreeReaderT<TreePtr, ItemPtr>::AccessTypedE(std::size_t index, TKrXIniItemType type,
                                                           const char* typeWord) {
    ItemPtr item = AccessE(index);
    if (item->type != type) ThrowWrongType(index, item, typeWord);
    return item;
}

template <class TreePtr, class ItemPtr>
std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::Push(std::size_t index, var_a<TreePtr> child) {
    m_held.reserve(m_held.size() + 1);
    m_stack.emplace_back(m_current, index);
    m_current = child.get();
    m_held.push_back(std::move(child));
    m_index = npos;
    return m_stack.size();
}

template <class TreePtr, class ItemPtr>
var_a<TreePtr> TKrXIniTreeReaderT<TreePtr, ItemPtr>::ChildOf(ItemPtr section) {
    if (section->child) return section->child;
    if constexpr (std::is_const_v<std::remove_pointer_t<TreePtr>>) {
        return static_a(EmptyTree());
    } else {
        section->child = new_a<TKrXIniTree>();
        return section->child;
    }
}

template <class TreePtr, class ItemPtr>
std::string TKrXIniTreeReaderT<TreePtr, ItemPtr>::ItemPath(const std::string& leaf) const {
    TXPathLevels levels;
    levels.reserve(m_stack.size());
    for (const auto& level : m_stack)
        levels.emplace_back(level.first, level.second);
    return FormatXPath(levels, leaf);
}

template <class TreePtr, class ItemPtr>
void TKrXIniTreeReaderT<TreePtr, ItemPtr>::ThrowNotFound(std::size_t index) const {
    ThrowReadError(ItemPath(FormatItemName(index)), MsgRecordNotFound());
}

template <class TreePtr, class ItemPtr>
void TKrXIniTreeReaderT<TreePtr, ItemPtr>::ThrowWrongType(std::size_t index, ItemPtr item,
                                                          const char* typeWord) const {
    ThrowReadError(ItemPath(FormatItemName(index, item)), MsgIncorrectType(typeWord));
}

// --- Counting, searching, navigation --------------------------------------------------------------

template <class TreePtr, class ItemPtr> std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::Count() {
    return m_current->Count();
}

template <class TreePtr, class ItemPtr> std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::CountE() {
    return m_current->Count();
}

template <class TreePtr, class ItemPtr>
std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::Count_x(const char* name, std::size_t len) {
    return m_current->Count(name, len);
}

template <class TreePtr, class ItemPtr>
std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::CountE_x(const char* name, std::size_t len) {
    return m_current->Count(name, len);
}

template <class TreePtr, class ItemPtr>
std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::FindF_x(const char* name, std::size_t len,
                                                          std::size_t start) {
    const std::size_t found = m_current->FindItemIndexF(name, len, start);
    if (found != npos) m_index = found;
    return found;
}

template <class TreePtr, class ItemPtr>
std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::FindFE_x(const char* name, std::size_t len,
                                                           std::size_t start) {
    const std::size_t found = FindF_x(name, len, start);
    if (found == npos) {
        ThrowReadError(ItemPath(FormatItemSearchName(std::string(name ? name : "", name ? len : 0), start)),
                       MsgRecordNotFound());
    }
    return found;
}

template <class TreePtr, class ItemPtr>
TKrXIniItemType TKrXIniTreeReaderT<TreePtr, ItemPtr>::ItemType(std::size_t index) {
    ItemPtr item = Access(index);
    return item ? item->type : TE_KrXIniItemType::Invalid;
}

template <class TreePtr, class ItemPtr>
TKrXIniItemType TKrXIniTreeReaderT<TreePtr, ItemPtr>::ItemTypeE(std::size_t index) {
    return AccessE(index)->type;
}

template <class TreePtr, class ItemPtr>
std::string TKrXIniTreeReaderT<TreePtr, ItemPtr>::ItemName(std::size_t index) {
    ItemPtr item = Access(index);
    return item ? item->name.str() : std::string();
}

template <class TreePtr, class ItemPtr>
std::string TKrXIniTreeReaderT<TreePtr, ItemPtr>::ItemNameE(std::size_t index) {
    return AccessE(index)->name;
}

template <class TreePtr, class ItemPtr> bool TKrXIniTreeReaderT<TreePtr, ItemPtr>::Exists(std::size_t index) {
    return Access(index) != nullptr;
}

template <class TreePtr, class ItemPtr>
bool TKrXIniTreeReaderT<TreePtr, ItemPtr>::ExistsE(std::size_t index) {
    AccessE(index);
    return true;
}

template <class TreePtr, class ItemPtr>
std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::EnterSection(std::size_t index) {
    ItemPtr item = AccessTyped(index, kSectionType);
    return item ? Push(index, ChildOf(item)) : 0;
}

template <class TreePtr, class ItemPtr>
std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::EnterSectionE(std::size_t index) {
    return Push(index, ChildOf(AccessTypedE(index, kSectionType, kSection)));
}

template <class TreePtr, class ItemPtr>
bool TKrXIniTreeReaderT<TreePtr, ItemPtr>::ExitSection(std::size_t level) {
    if (level < 1 || level > m_stack.size()) return false;
    m_current = m_stack[level - 1].first;
    m_index = m_stack[level - 1].second;
    m_stack.resize(level - 1);
    m_held.resize(level - 1);
    return true;
}

template <class TreePtr, class ItemPtr>
std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::ExitSectionE(std::size_t level) {
    if (!ExitSection(level)) ThrowReadError(ItemPath(FormatItemSearchName("*", level)), MsgInvalidLevel());
    return level - 1;
}

// --- Values --------------------------------------------------------------------------------------

template <class TreePtr, class ItemPtr>
template <class T>
T TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadNumber(std::size_t index, T def, TKrXIniItemType type) {
    ItemPtr item = AccessTyped(index, type);
    T value;
    return item && ParseValueText(item->value, value) ? value : def;
}

// A text without a digit is reported as the wrong type, like an item of another type.
template <class TreePtr, class ItemPtr>
template <class T>
T TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadNumberE(std::size_t index, TKrXIniItemType type,
                                                    const char* typeWord) {
    ItemPtr item = AccessTypedE(index, type, typeWord);
    T value;
    if (!ParseValueText(item->value, value)) ThrowWrongType(index, item, typeWord);
    return value;
}

#define KR_TREE_READER_NUMBER(T, Plain, Throwing, Type, Word)                                                \
    template <class TreePtr, class ItemPtr>                                                                  \
    T TKrXIniTreeReaderT<TreePtr, ItemPtr>::Plain(std::size_t index, T def) {                                \
        return ReadNumber<T>(index, def, Type);                                                              \
    }                                                                                                        \
    template <class TreePtr, class ItemPtr>                                                                  \
    T TKrXIniTreeReaderT<TreePtr, ItemPtr>::Throwing(std::size_t index) {                                    \
        return ReadNumberE<T>(index, Type, Word);                                                            \
    }
KR_TREE_READER_NUMBER(int, Read_x_int32, ReadE_x_int32, TE_KrXIniItemType::Integer, kInt)
KR_TREE_READER_NUMBER(unsigned, Read_x_uint32, ReadE_x_uint32, TE_KrXIniItemType::Integer, kUInt)
KR_TREE_READER_NUMBER(long, Read_x_int64, ReadE_x_int64, TE_KrXIniItemType::Integer, kInt64)
KR_TREE_READER_NUMBER(unsigned long, Read_x_uint64, ReadE_x_uint64, TE_KrXIniItemType::Integer, kUInt64)
KR_TREE_READER_NUMBER(double, Read_x_double, ReadE_x_double, TE_KrXIniItemType::Double, kDouble)
#undef KR_TREE_READER_NUMBER

template <class TreePtr, class ItemPtr>
std::string TKrXIniTreeReaderT<TreePtr, ItemPtr>::Read_x_string(std::size_t index, const std::string& def) {
    ItemPtr item = AccessTyped(index, TE_KrXIniItemType::String);
    return item ? item->value.str() : def;
}

template <class TreePtr, class ItemPtr>
std::string TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadE_x_string(std::size_t index) {
    return AccessTypedE(index, TE_KrXIniItemType::String, kString)->value;
}

template <class TreePtr, class ItemPtr>
std::string TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadLongString(std::size_t index, const std::string& def) {
    ItemPtr item = AccessTyped(index, kSectionType);
    if (!item || !item->child) return item ? std::string() : def;
    const TKrXIniTree& pieces = *item->child;
    std::string text;
    for (std::size_t k = 0; k < pieces.Count(); ++k) {
        const TKrXIniTree::TItem* piece = pieces.FindItem(k);
        if (piece->type != TE_KrXIniItemType::String) return def;
        text += piece->value;
    }
    return text;
}

// Anything but a section of strings is reported as the wrong type "string" for the item itself,
// as the stream reader does.
template <class TreePtr, class ItemPtr>
std::string TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadLongStringE(std::size_t index) {
    ItemPtr item = AccessTypedE(index, kSectionType, kString);
    if (!item->child) return std::string();
    const TKrXIniTree& pieces = *item->child;
    std::string text;
    for (std::size_t k = 0; k < pieces.Count(); ++k) {
        const TKrXIniTree::TItem* piece = pieces.FindItem(k);
        if (piece->type != TE_KrXIniItemType::String) ThrowWrongType(index, item, kString);
        text += piece->value;
    }
    return text;
}

template <class TreePtr, class ItemPtr>
std::string TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadBinary(std::size_t index, const std::string& def) {
    ItemPtr item = AccessTyped(index, TE_KrXIniItemType::Binary);
    return item ? KrDecodeStringBase64(item->value) : def;
}

template <class TreePtr, class ItemPtr>
std::string TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadBinaryE(std::size_t index) {
    return KrDecodeStringBase64(AccessTypedE(index, TE_KrXIniItemType::Binary, kBinary)->value);
}

template <class TreePtr, class ItemPtr>
std::string TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadXIni(std::size_t index) {
    ItemPtr item = AccessTyped(index, kSectionType);
    std::string text;
    if (item) WriteDocument(item->child.get(), text);
    return text;
}

template <class TreePtr, class ItemPtr>
std::string TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadXIniE(std::size_t index) {
    ItemPtr item = AccessTypedE(index, kSectionType, kSection);
    std::string text;
    if (!WriteDocument(item->child.get(), text))
        ThrowReadError(ItemPath(FormatItemName(index, item)), KrMsg_helper("Err_XIni_WriteError"));
    return text;
}

template <class TreePtr, class ItemPtr>
var_a<TKrXIniTree*> TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadXIniTree(std::size_t index,
                                                                       TXIniTreeMode mode) {
    ItemPtr item = AccessTyped(index, kSectionType);
    if (item && item->child) return item->child->CreateCopy();
    if (item || mode == EmptyIfAbsent) return new_a<TKrXIniTree>();
    return nullptr;
}

template <class TreePtr, class ItemPtr>
var_a<TKrXIniTree*> TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadXIniTreeE(std::size_t index) {
    ItemPtr item = AccessTypedE(index, kSectionType, kSection);
    return item->child ? item->child->CreateCopy() : new_a<TKrXIniTree>();
}

template <class TreePtr, class ItemPtr>
var_a<TKrXIniTree*> TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadXIniTreeE() {
    return m_current->CreateCopy();
}

namespace {
// Parses the first `n` items of `section` (null: none) into out[]; returns how many leading values
// parsed, and in *missing whether the first failure was a missing item.
std::size_t ScanDoubles(const TKrXIniTree* section, std::size_t n, double* const* out, bool* missing) {
    for (std::size_t k = 0; k < n; ++k) {
        const TKrXIniTree::TItem* item = section ? section->FindItem(k) : nullptr;
        double v;
        if (!item || !ScanDoubleText(item->value, v)) {
            *missing = !item;
            return k;
        }
        if (out[k]) *out[k] = v;
    }
    return n;
}
} // namespace

template <class TreePtr, class ItemPtr>
std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadDouble2(std::size_t index, double* x, double* y) {
    ItemPtr item = AccessTyped(index, kSectionType);
    double* const out[] = {x, y};
    bool missing = false;
    return item ? ScanDoubles(item->child.get(), 2, out, &missing) : 0;
}

template <class TreePtr, class ItemPtr>
std::size_t TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadDouble3(std::size_t index, double* x, double* y,
                                                              double* z) {
    ItemPtr item = AccessTyped(index, kSectionType);
    double* const out[] = {x, y, z};
    bool missing = false;
    return item ? ScanDoubles(item->child.get(), 3, out, &missing) : 0;
}

// A missing value is not found, an unparsable one the wrong type; both are named as the value's
// item inside the section. Nothing is stored unless all values parse.
template <class TreePtr, class ItemPtr>
void TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadDoublesE(std::size_t index, ItemPtr section, std::size_t n,
                                                        double* const* out) {
    const TKrXIniTree* values = section->child.get();
    double parsed[3];
    double* const into[] = {&parsed[0], &parsed[1], &parsed[2]};
    bool missing = false;
    const std::size_t k = ScanDoubles(values, n, into, &missing);
    if (k < n) {
        const TKrXIniTree::TItem* bad = values ? values->FindItem(k) : nullptr;
        const std::string leaf = FormatXPath1P(FormatItemName(index, section), FormatItemName(k, bad));
        ThrowReadError(ItemPath(leaf), missing ? MsgRecordNotFound() : MsgIncorrectType(kDouble));
    }
    for (std::size_t i = 0; i < n; ++i)
        if (out[i]) *out[i] = parsed[i];
}

template <class TreePtr, class ItemPtr>
void TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadDouble2E(std::size_t index, double* x, double* y) {
    ItemPtr item = AccessTypedE(index, kSectionType, kDouble);
    double* const out[] = {x, y};
    ReadDoublesE(index, item, 2, out);
}

template <class TreePtr, class ItemPtr>
void TKrXIniTreeReaderT<TreePtr, ItemPtr>::ReadDouble3E(std::size_t index, double* x, double* y, double* z) {
    ItemPtr item = AccessTypedE(index, kSectionType, kDouble);
    double* const out[] = {x, y, z};
    ReadDoublesE(index, item, 3, out);
}

template <class TreePtr, class ItemPtr>
void TKrXIniTreeReaderT<TreePtr, ItemPtr>::throw_error_value_message(std::size_t index,
                                                                     const std::string& message) {
    ThrowReadError(ItemPath(FormatItemName(index, Access(index))), message);
}

// The two instances the library exports (the template itself carries the export attribute).
template class TKrXIniTreeReaderT<const TKrXIniTree*, const TKrXIniTree::TItem*>;
template class TKrXIniTreeReaderT<TKrXIniTree*, TKrXIniTree::TItem*>;
