// TKrXIniTreeWriter: applies XIni writer calls to an in-memory tree that it can read back and patch.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "XIni/KrXIniTreeReader.h"
#include "XIni/KrXIniWriter.h"

#include <cstddef>
#include <string>

/// Writes into a TKrXIniTree: every WriteS appends an item to the current section with the value
/// text the stream writer would put in v="..." (integers "%li"/"%lu"/"%lli"/"%llu", a negative
/// 32-bit value as its unsigned pattern, hexadecimal "0x%lX"/"-0x%lX", floats "%.8e", doubles
/// "%.16e"; binary items hold the Base64 text), so a tree written here and saved with
/// WriteKrXIniTree gives the same document as the same calls on a TKrXIniStreamWriter, apart
/// from layout. Sections are real child trees: BeginSectionS appends and enters one,
/// EndSection(level) leaves back to level - 1. Comments, compact layout, Flush and Close do
/// nothing and succeed.
///
/// Being a TKrXIniTreeReaderW as well, the writer reads what it wrote and patches items in place
/// by index: FindCreateF, OpenSection, Write<T>, WriteHex<T>, WriteLongString, WriteBinary,
/// WriteXIni, WriteDouble2/3, Delete, Clear. An in-place write to an index that does not exist
/// throws "Err_Write_name_msg" with the item's path and "Err_XIni_RecordNotFound".
///
/// Costs: appending is amortised O(1) plus the value text; in-place writes O(1) plus the text
/// (and the release of a dropped child); MergeXIni and WriteXIniS copy O(items). One thread at
/// a time.
class KRSTD_API TKrXIniTreeWriter : public TKrXIniTreeReaderW, public TKrXIniWriter {
public:
    /// Writes into `tree` (a null tree: a new empty one); its root is the current section.
    explicit TKrXIniTreeWriter(var_a<TKrXIniTree*> tree);
    ~TKrXIniTreeWriter() override;

    // --- In-place operations on the current section -------------------------------------------

    /// The index of the first item named `name` at or after `start`; when there is none, a new
    /// empty string item with that name is appended and its index returned. The result becomes
    /// the current item. O(items searched).
    std::size_t FindCreateF(const std::string& name, std::size_t start);
    /// The same; raises the internal error "Err_Internal_func" should no item result.
    std::size_t FindCreateFE(const std::string& name, std::size_t start);

    /// Turns the item at index into a section (dropping its value) if it is none, gives it an
    /// empty child if it has none, and enters it. Returns the new level; 0 for a missing index.
    std::size_t OpenSection(std::size_t index);
    /// The same, throwing for a missing index.
    std::size_t OpenSectionE(std::size_t index);
    /// The child tree of the section at index (created empty when the section has none), shared
    /// with the tree: changes through it show in the tree. Null for a missing index or an item
    /// that is no section.
    var_a<TKrXIniTree*> OpenXIniTree(std::size_t index);
    /// The same, throwing for a missing index or the type error "section".
    var_a<TKrXIniTree*> OpenXIniTreeE(std::size_t index);

    /// Overwrites the item at index with the value: type and value text set as WriteS would,
    /// name kept, any child dropped. Types as for WriteS (bool, char, signed char, unsigned char,
    /// int, unsigned, long, unsigned long, float, double, std::string; a C string too).
    template <class T> void Write(std::size_t index, const T& value);
    void Write(std::size_t index, const char* value) { Write_x_string(index, value ? value : ""); }
    /// The same as hexadecimal integer text (the integer types of Write).
    template <class T> void WriteHex(std::size_t index, T value);
    /// Turns the item at index into a long-string section (one string item per line).
    void WriteLongString(std::size_t index, const std::string& text);
    /// Turns the item at index into a binary item holding the Base64 text of `bytes`.
    void WriteBinary(std::size_t index, const std::string& bytes);
    /// Turns the item at index into a section holding the items of the XIni document `xiniText`;
    /// a text that does not parse throws "Err_Write_name_msg" with the parser's message.
    void WriteXIni(std::size_t index, const std::string& xiniText);
    /// Turns the item at index into a section holding a deep copy of `tree` (null: empty).
    void WriteXIni(std::size_t index, const TKrXIniTree* tree);
    /// Turns the item at index into a section of two (three) unnamed double items.
    void WriteDouble2(std::size_t index, double x, double y);
    void WriteDouble3(std::size_t index, double x, double y, double z);
    /// Remove items of the current section (TKrXIniTree::Delete / Clear).
    bool Delete(std::size_t index);
    bool Delete(std::size_t index, std::size_t count);
    bool Clear();

    /// The workers behind Write<T> and WriteHex<T>.
    void Write_x_int32(std::size_t index, int value);
    void Write_x_uint32(std::size_t index, unsigned value);
    void Write_x_int64(std::size_t index, long value);
    void Write_x_uint64(std::size_t index, unsigned long value);
    void Write_x_float(std::size_t index, float value);
    void Write_x_double(std::size_t index, double value);
    void Write_x_string(std::size_t index, const std::string& value);
    void WriteHex_x_int32(std::size_t index, int value);
    void WriteHex_x_uint32(std::size_t index, unsigned value);
    void WriteHex_x_int64(std::size_t index, long value);
    void WriteHex_x_uint64(std::size_t index, unsigned long value);

    // --- TKrXIniWriter ------------------------------------------------------------------------

    bool WriteComment(const std::string& text) override;
    bool WriteS_x_int32(const std::string& name, const int& value) override;
    bool WriteS_x_uint32(const std::string& name, const unsigned& value) override;
    bool WriteS_x_int64(const std::string& name, const long& value) override;
    bool WriteS_x_uint64(const std::string& name, const unsigned long& value) override;
    bool WriteS_x_float(const std::string& name, const float& value) override;
    bool WriteS_x_double(const std::string& name, const double& value) override;
    bool WriteS_x_string(const std::string& name, const std::string& value) override;
    bool WriteHexS_x_int32(const std::string& name, const int& value) override;
    bool WriteHexS_x_uint32(const std::string& name, const unsigned& value) override;
    bool WriteHexS_x_int64(const std::string& name, const long& value) override;
    bool WriteHexS_x_uint64(const std::string& name, const unsigned long& value) override;
    bool WriteLongStringS(const std::string& name, const std::string& value) override;
    bool WriteBinaryS(const std::string& name, const std::string& bytes) override;
    /// False, adding nothing, when the text does not parse as an XIni document.
    bool WriteXIniS(const std::string& name, const std::string& xiniText) override;
    bool WriteXIniS(const std::string& name, const TKrXIniTree* tree) override;
    /// Parses the text and appends its items to the current section; false, adding nothing,
    /// when it does not parse. O(bytes).
    bool MergeXIni(const std::string& xiniText) override;
    /// Appends a deep copy of the tree's items (safe when `tree` is or contains the current
    /// section).
    bool MergeXIni(const TKrXIniTree* tree) override;
    std::size_t BeginSectionS(const std::string& name) override;
    std::size_t BeginSectionCompactS(const std::string& name) override;
    bool EndSection() override;
    void EndSectionE() override;
    bool EndSection(std::size_t level) override;
    void EndSectionE(std::size_t level) override;
    void SetCompactMode(bool compact) override;
    bool WriteDouble2S(const std::string& name, double x, double y) override;
    bool WriteDouble3S(const std::string& name, double x, double y, double z) override;
    bool Flush() override;
    void FlushE() override;
    bool Close() override;
    void CloseE() override;
    /// "Err_XIni_Write" (a tree has no stream name).
    [[noreturn]] void throw_xwrite_error_i() override;

private:
    // The item at index for an in-place write; throws "Err_Write_name_msg" when it is missing.
    TKrXIniTree::TItem* ItemForWrite(std::size_t index);
    // Sets the item at index to a leaf of `type` holding `text`.
    void SetLeaf(std::size_t index, TKrXIniItemType type, const char* text, std::size_t len);
    void SetLeaf(std::size_t index, TKrXIniItemType type, std::string text);
    // Sets the item at index to a section whose child is `child`.
    void SetSection(std::size_t index, var_a<TKrXIniTree*> child);
    // Appends an empty item named `name` and returns its index.
    std::size_t AppendItem(const std::string& name);
};

template <class T> void TKrXIniTreeWriter::Write(std::size_t, const T&) {
    static_assert(sizeof(T) == 0, "TKrXIniTreeWriter::Write<T>: no writer for this type");
}
template <class T> void TKrXIniTreeWriter::WriteHex(std::size_t, T) {
    static_assert(sizeof(T) == 0, "TKrXIniTreeWriter::WriteHex<T>: no hexadecimal writer for this type");
}

template <> inline void TKrXIniTreeWriter::Write<int>(std::size_t i, const int& v) {
    Write_x_int32(i, v);
}
template <> inline void TKrXIniTreeWriter::Write<unsigned>(std::size_t i, const unsigned& v) {
    Write_x_uint32(i, v);
}
template <> inline void TKrXIniTreeWriter::Write<long>(std::size_t i, const long& v) {
    Write_x_int64(i, v);
}
template <> inline void TKrXIniTreeWriter::Write<unsigned long>(std::size_t i, const unsigned long& v) {
    Write_x_uint64(i, v);
}
template <> inline void TKrXIniTreeWriter::Write<float>(std::size_t i, const float& v) {
    Write_x_float(i, v);
}
template <> inline void TKrXIniTreeWriter::Write<double>(std::size_t i, const double& v) {
    Write_x_double(i, v);
}
template <> inline void TKrXIniTreeWriter::Write<std::string>(std::size_t i, const std::string& v) {
    Write_x_string(i, v);
}
template <> inline void TKrXIniTreeWriter::Write<bool>(std::size_t i, const bool& v) {
    Write_x_int32(i, v ? 1 : 0);
}
template <> inline void TKrXIniTreeWriter::Write<signed char>(std::size_t i, const signed char& v) {
    Write_x_int32(i, v);
}
template <> inline void TKrXIniTreeWriter::Write<char>(std::size_t i, const char& v) {
    Write_x_uint32(i, static_cast<unsigned char>(v));
}
template <> inline void TKrXIniTreeWriter::Write<unsigned char>(std::size_t i, const unsigned char& v) {
    Write_x_uint32(i, v);
}

template <> inline void TKrXIniTreeWriter::WriteHex<int>(std::size_t i, int v) {
    WriteHex_x_int32(i, v);
}
template <> inline void TKrXIniTreeWriter::WriteHex<unsigned>(std::size_t i, unsigned v) {
    WriteHex_x_uint32(i, v);
}
template <> inline void TKrXIniTreeWriter::WriteHex<long>(std::size_t i, long v) {
    WriteHex_x_int64(i, v);
}
template <> inline void TKrXIniTreeWriter::WriteHex<unsigned long>(std::size_t i, unsigned long v) {
    WriteHex_x_uint64(i, v);
}
template <> inline void TKrXIniTreeWriter::WriteHex<signed char>(std::size_t i, signed char v) {
    WriteHex_x_int32(i, v);
}
template <> inline void TKrXIniTreeWriter::WriteHex<char>(std::size_t i, char v) {
    WriteHex_x_uint32(i, static_cast<unsigned char>(v));
}
template <> inline void TKrXIniTreeWriter::WriteHex<unsigned char>(std::size_t i, unsigned char v) {
    WriteHex_x_uint32(i, v);
}
