// TKrXIniTreeWriter: writer calls applied to an in-memory tree, and in-place patching by index.
#include "XIni/KrXIniTreeWriter.h"

#include "Core/KrExceptions.h"
#include "Core/KrStringEncode.h"
#include "Streams/KrFixedMemStream.h"
#include "XIni/KrXIniInternal.h"
#include "XIni/KrXIniNumberText.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniValueText.h"

#include <initializer_list>

using namespace KrXIniInternal;

namespace {

constexpr TKrXIniItemType kInteger = TE_KrXIniItemType::Integer;
constexpr TKrXIniItemType kDouble = TE_KrXIniItemType::Double;
constexpr TKrXIniItemType kString = TE_KrXIniItemType::String;

// Number texts are assembled on the stack; only the item's own string allocates.
struct TNumberText {
    char text[NumberTextSize];
    char* end = text;
    std::size_t size() const { return static_cast<std::size_t>(end - text); }
};

TNumberText Dec(long v) {
    TNumberText t;
    t.end = FormatDecText(t.text, v);
    return t;
}
TNumberText Dec(unsigned long v) {
    TNumberText t;
    t.end = FormatDecText(t.text, v);
    return t;
}
TNumberText Hex(long v) {
    TNumberText t;
    t.end = FormatHexText(t.text, v);
    return t;
}
TNumberText Hex(unsigned long v) {
    TNumberText t;
    t.end = FormatHexText(t.text, v);
    return t;
}
TNumberText Exp(double v, int precision) {
    TNumberText t;
    t.end = FormatExpText(t.text, v, precision);
    return t;
}

// A 32-bit signed value is stored as its unsigned bit pattern, as the stream writer writes it.
unsigned long Pattern32(int v) {
    return static_cast<unsigned>(v);
}

var_a<TKrXIniTree*> LongStringTree(const std::string& text) {
    var_a<TKrXIniTree*> tree = new_a<TKrXIniTree>();
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const std::size_t len = LongStringPieceLength(p, end);
        tree->AddItem(kString, std::string(), std::string(p, len));
        p += len;
    }
    return tree;
}

var_a<TKrXIniTree*> DoublesTree(std::initializer_list<double> values) {
    var_a<TKrXIniTree*> tree = new_a<TKrXIniTree>();
    for (double v : values) {
        const TNumberText t = Exp(v, 16);
        tree->AddItem(kDouble, std::string(), std::string(t.text, t.size()));
    }
    return tree;
}

// The items of an XIni document; null with the parser's message in *error when it does not parse.
var_a<TKrXIniTree*> ParseDocument(const std::string& text, TKrMessage* error) {
    try {
        TKrFixedMemStream stream(text.data(), text.size());
        var_a<TKrXIniTree*> tree = ReadKrXIniTree(&stream, true, nullptr);
        if (tree) return tree;
        if (error) *error = KrMsg_helper("Err_XIni_Read");
    } catch (const TKrMessage& m) {
        if (error) *error = m;
    }
    return nullptr;
}

} // namespace

TKrXIniTreeWriter::TKrXIniTreeWriter(var_a<TKrXIniTree*> tree) : TKrXIniTreeReaderW(std::move(tree)) {}

TKrXIniTreeWriter::~TKrXIniTreeWriter() = default;

// --- Helpers ------------------------------------------------------------------------------------

TKrXIniTree::TItem* TKrXIniTreeWriter::ItemForWrite(std::size_t index) {
    TKrXIniTree::TItem* item = Access(index);
    if (!item) {
        TKrMessage m = KrMsg_helper("Err_Write_name_msg");
        m << ItemPath(FormatItemName(index)) << MsgRecordNotFound();
        throw m;
    }
    return item;
}

void TKrXIniTreeWriter::SetLeaf(std::size_t index, TKrXIniItemType type, const char* text, std::size_t len) {
    TKrXIniTree::TItem* item = ItemForWrite(index);
    item->type = type;
    item->value.assign(text, len);
    item->child.reset();
}

void TKrXIniTreeWriter::SetLeaf(std::size_t index, TKrXIniItemType type, std::string text) {
    TKrXIniTree::TItem* item = ItemForWrite(index);
    item->type = type;
    item->value = std::move(text);
    item->child.reset();
}

void TKrXIniTreeWriter::SetSection(std::size_t index, var_a<TKrXIniTree*> child) {
    TKrXIniTree::TItem* item = ItemForWrite(index);
    item->type = TE_KrXIniItemType::Section;
    item->value.clear();
    item->child = std::move(child);
}

std::size_t TKrXIniTreeWriter::AppendItem(const std::string& name) {
    m_current->AddItem(TE_KrXIniItemType::Invalid, name, std::string());
    return m_current->Count() - 1;
}

// --- In-place operations --------------------------------------------------------------------------

std::size_t TKrXIniTreeWriter::FindCreateF(const std::string& name, std::size_t start) {
    std::size_t index = m_current->FindItemIndexF(name, start);
    if (index == npos) {
        m_current->AddItem(kString, name, std::string());
        index = m_current->Count() - 1;
    }
    m_index = index;
    return index;
}

std::size_t TKrXIniTreeWriter::FindCreateFE(const std::string& name, std::size_t start) {
    const std::size_t index = FindCreateF(name, start);
    if (index == npos || !m_current->FindItem(index))
        throw KrMsg_helper("Err_Internal_func") << "TKrXIniTreeWriter::FindCreateFE";
    return index;
}

std::size_t TKrXIniTreeWriter::OpenSection(std::size_t index) {
    return Exists(index) ? OpenSectionE(index) : 0;
}

std::size_t TKrXIniTreeWriter::OpenSectionE(std::size_t index) {
    TKrXIniTree::TItem* item = ItemForWrite(index);
    if (item->type != TE_KrXIniItemType::Section) {
        item->type = TE_KrXIniItemType::Section;
        item->value.clear();
    }
    return Push(index, ChildOf(item));
}

var_a<TKrXIniTree*> TKrXIniTreeWriter::OpenXIniTree(std::size_t index) {
    TKrXIniTree::TItem* item = AccessTyped(index, TE_KrXIniItemType::Section);
    return item ? ChildOf(item) : nullptr;
}

var_a<TKrXIniTree*> TKrXIniTreeWriter::OpenXIniTreeE(std::size_t index) {
    TKrXIniTree::TItem* item = ItemForWrite(index);
    if (item->type != TE_KrXIniItemType::Section) {
        TKrMessage m = KrMsg_helper("Err_Write_name_msg");
        m << ItemPath(FormatItemName(index, item)) << MsgIncorrectType("section");
        throw m;
    }
    return ChildOf(item);
}

void TKrXIniTreeWriter::Write_x_int32(std::size_t index, int value) {
    const TNumberText t = Dec(Pattern32(value));
    SetLeaf(index, kInteger, t.text, t.size());
}
void TKrXIniTreeWriter::Write_x_uint32(std::size_t index, unsigned value) {
    const TNumberText t = Dec(static_cast<unsigned long>(value));
    SetLeaf(index, kInteger, t.text, t.size());
}
void TKrXIniTreeWriter::Write_x_int64(std::size_t index, long value) {
    const TNumberText t = Dec(value);
    SetLeaf(index, kInteger, t.text, t.size());
}
void TKrXIniTreeWriter::Write_x_uint64(std::size_t index, unsigned long value) {
    const TNumberText t = Dec(value);
    SetLeaf(index, kInteger, t.text, t.size());
}
void TKrXIniTreeWriter::Write_x_float(std::size_t index, float value) {
    const TNumberText t = Exp(static_cast<double>(value), 8);
    SetLeaf(index, kDouble, t.text, t.size());
}
void TKrXIniTreeWriter::Write_x_double(std::size_t index, double value) {
    const TNumberText t = Exp(value, 16);
    SetLeaf(index, kDouble, t.text, t.size());
}
void TKrXIniTreeWriter::Write_x_string(std::size_t index, const std::string& value) {
    SetLeaf(index, kString, value.data(), value.size());
}
void TKrXIniTreeWriter::WriteHex_x_int32(std::size_t index, int value) {
    const TNumberText t = Hex(static_cast<long>(value));
    SetLeaf(index, kInteger, t.text, t.size());
}
void TKrXIniTreeWriter::WriteHex_x_uint32(std::size_t index, unsigned value) {
    const TNumberText t = Hex(static_cast<unsigned long>(value));
    SetLeaf(index, kInteger, t.text, t.size());
}
void TKrXIniTreeWriter::WriteHex_x_int64(std::size_t index, long value) {
    const TNumberText t = Hex(value);
    SetLeaf(index, kInteger, t.text, t.size());
}
void TKrXIniTreeWriter::WriteHex_x_uint64(std::size_t index, unsigned long value) {
    const TNumberText t = Hex(value);
    SetLeaf(index, kInteger, t.text, t.size());
}

void TKrXIniTreeWriter::WriteLongString(std::size_t index, const std::string& text) {
    ItemForWrite(index);
    SetSection(index, LongStringTree(text));
}

void TKrXIniTreeWriter::WriteBinary(std::size_t index, const std::string& bytes) {
    ItemForWrite(index);
    SetLeaf(index, TE_KrXIniItemType::Binary, KrEncodeStringBase64(bytes));
}

void TKrXIniTreeWriter::WriteXIni(std::size_t index, const std::string& xiniText) {
    ItemForWrite(index);
    TKrMessage error;
    var_a<TKrXIniTree*> tree = ParseDocument(xiniText, &error);
    if (!tree) {
        TKrMessage m = KrMsg_helper("Err_Write_name_msg");
        m << ItemPath(FormatItemName(index, m_current->FindItem(index))) << error;
        throw m;
    }
    SetSection(index, std::move(tree));
}

void TKrXIniTreeWriter::WriteXIni(std::size_t index, const TKrXIniTree* tree) {
    ItemForWrite(index);
    // Copied before the item changes: `tree` may be the item's own child or an ancestor.
    SetSection(index, tree ? tree->CreateCopy() : new_a<TKrXIniTree>());
}

void TKrXIniTreeWriter::WriteDouble2(std::size_t index, double x, double y) {
    ItemForWrite(index);
    SetSection(index, DoublesTree({x, y}));
}

void TKrXIniTreeWriter::WriteDouble3(std::size_t index, double x, double y, double z) {
    ItemForWrite(index);
    SetSection(index, DoublesTree({x, y, z}));
}

bool TKrXIniTreeWriter::Delete(std::size_t index) {
    return m_current->Delete(index);
}

bool TKrXIniTreeWriter::Delete(std::size_t index, std::size_t count) {
    return m_current->Delete(index, count);
}

bool TKrXIniTreeWriter::Clear() {
    return m_current->Clear();
}

// --- TKrXIniWriter --------------------------------------------------------------------------------

bool TKrXIniTreeWriter::WriteComment(const std::string&) {
    return true;
}

bool TKrXIniTreeWriter::WriteS_x_int32(const std::string& name, const int& value) {
    Write_x_int32(AppendItem(name), value);
    return true;
}
bool TKrXIniTreeWriter::WriteS_x_uint32(const std::string& name, const unsigned& value) {
    Write_x_uint32(AppendItem(name), value);
    return true;
}
bool TKrXIniTreeWriter::WriteS_x_int64(const std::string& name, const long& value) {
    Write_x_int64(AppendItem(name), value);
    return true;
}
bool TKrXIniTreeWriter::WriteS_x_uint64(const std::string& name, const unsigned long& value) {
    Write_x_uint64(AppendItem(name), value);
    return true;
}
bool TKrXIniTreeWriter::WriteS_x_float(const std::string& name, const float& value) {
    Write_x_float(AppendItem(name), value);
    return true;
}
bool TKrXIniTreeWriter::WriteS_x_double(const std::string& name, const double& value) {
    Write_x_double(AppendItem(name), value);
    return true;
}
bool TKrXIniTreeWriter::WriteS_x_string(const std::string& name, const std::string& value) {
    // Not through AppendItem: `value` may be the text of an item that appending moves.
    m_current->AddItem(kString, name, value);
    m_index = m_current->Count() - 1;
    return true;
}
bool TKrXIniTreeWriter::WriteHexS_x_int32(const std::string& name, const int& value) {
    WriteHex_x_int32(AppendItem(name), value);
    return true;
}
bool TKrXIniTreeWriter::WriteHexS_x_uint32(const std::string& name, const unsigned& value) {
    WriteHex_x_uint32(AppendItem(name), value);
    return true;
}
bool TKrXIniTreeWriter::WriteHexS_x_int64(const std::string& name, const long& value) {
    WriteHex_x_int64(AppendItem(name), value);
    return true;
}
bool TKrXIniTreeWriter::WriteHexS_x_uint64(const std::string& name, const unsigned long& value) {
    WriteHex_x_uint64(AppendItem(name), value);
    return true;
}

bool TKrXIniTreeWriter::WriteLongStringS(const std::string& name, const std::string& value) {
    var_a<TKrXIniTree*> pieces = LongStringTree(value);
    SetSection(AppendItem(name), std::move(pieces));
    return true;
}

bool TKrXIniTreeWriter::WriteBinaryS(const std::string& name, const std::string& bytes) {
    std::string text = KrEncodeStringBase64(bytes);
    SetLeaf(AppendItem(name), TE_KrXIniItemType::Binary, std::move(text));
    return true;
}

bool TKrXIniTreeWriter::WriteXIniS(const std::string& name, const std::string& xiniText) {
    var_a<TKrXIniTree*> tree = ParseDocument(xiniText, nullptr);
    if (!tree) return false;
    SetSection(AppendItem(name), std::move(tree));
    return true;
}

bool TKrXIniTreeWriter::WriteXIniS(const std::string& name, const TKrXIniTree* tree) {
    var_a<TKrXIniTree*> copy = tree ? tree->CreateCopy() : new_a<TKrXIniTree>();
    SetSection(AppendItem(name), std::move(copy));
    return true;
}

bool TKrXIniTreeWriter::MergeXIni(const std::string& xiniText) {
    var_a<TKrXIniTree*> tree = ParseDocument(xiniText, nullptr);
    if (!tree) return false;
    m_current->Splice(tree.get());
    return true;
}

bool TKrXIniTreeWriter::MergeXIni(const TKrXIniTree* tree) {
    m_current->CopyFrom(tree);
    return true;
}

std::size_t TKrXIniTreeWriter::BeginSectionS(const std::string& name) {
    var_a<TKrXIniTree*> child = m_current->AddSection(name);
    return Push(m_current->Count() - 1, std::move(child));
}

std::size_t TKrXIniTreeWriter::BeginSectionCompactS(const std::string& name) {
    return BeginSectionS(name);
}

bool TKrXIniTreeWriter::EndSection() {
    return ExitSection(Level());
}

void TKrXIniTreeWriter::EndSectionE() {
    if (!EndSection()) throw_xwrite_error_i();
}

bool TKrXIniTreeWriter::EndSection(std::size_t level) {
    return ExitSection(level);
}

void TKrXIniTreeWriter::EndSectionE(std::size_t level) {
    if (!EndSection(level)) throw_xwrite_error_i();
}

void TKrXIniTreeWriter::SetCompactMode(bool) {}

bool TKrXIniTreeWriter::WriteDouble2S(const std::string& name, double x, double y) {
    SetSection(AppendItem(name), DoublesTree({x, y}));
    return true;
}

bool TKrXIniTreeWriter::WriteDouble3S(const std::string& name, double x, double y, double z) {
    SetSection(AppendItem(name), DoublesTree({x, y, z}));
    return true;
}

bool TKrXIniTreeWriter::Flush() {
    return true;
}
void TKrXIniTreeWriter::FlushE() {}
bool TKrXIniTreeWriter::Close() {
    return true;
}
void TKrXIniTreeWriter::CloseE() {}

void TKrXIniTreeWriter::throw_xwrite_error_i() {
    throw_xwrite_error(std::string());
}
