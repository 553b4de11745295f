// TKrXIniStreamReader: the lazy XIni reader over a whole stream held in memory.
#include "XIni/KrXIniStreamReader.h"

#include "Core/KrExceptions.h"
#include "Core/KrLog.h"
#include "Core/KrStringEncode.h"
#include "Streams/KrFileStream.h"
#include "Streams/KrStringStream.h"
#include "System/KrPath.h"
#include "XIni/KrXIniDocQ.h"
#include "XIni/KrXIniInternal.h"
#include "XIni/KrXIniLoad.h"
#include "XIni/KrXIniStreamWriter.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniValueText.h"
#include "XIni/KrXmlCollIniQ.h"
#include "Xml/KrXmlEscape.h"

#include <cstring>

using namespace KrXIniInternal;

struct TKrXIniStreamReader::TScanState {
    TKrXmlParserLow parser;
    TKrXIniPoolsQ* pools = nullptr;
};

namespace {

std::string DesignateItem(std::size_t index, const TKrXIniItemQ* item) {
    if (!item) return FormatItemName(index);
    if (item->nameLen) return FormatItemName(index, item->type, std::string(item->name, item->nameLen));
    return FormatItemName(index, item->type);
}

std::string Join(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + ' ' + b;
}

std::string WithInfoName(const std::string& infoName, const std::string& path) {
    return infoName.empty() ? path : infoName + ":" + path;
}

} // namespace

// --- Construction --------------------------------------------------------------------------

TKrXIniStreamReader::TKrXIniStreamReader(const var_a<TKrStream*>& stream, TKrXIniErrorMode mode,
                                         TKrProgressHandler* progress) {
    Init(stream, mode, progress);
}

TKrXIniStreamReader::TKrXIniStreamReader(const var_a<TKrStream*>& stream, bool throwOnError,
                                         TKrProgressHandler* progress) {
    Init(stream, throwOnError ? TE_KrXIniErrorMode::Throw : TE_KrXIniErrorMode::Log, progress);
}

TKrXIniStreamReader::TKrXIniStreamReader(const TKrXIniStreamReader& other)
    : TKrXIniReader(other), m_doc(other.m_doc), m_current(other.m_current), m_stack(other.m_stack),
      m_scan(new TScanState) {
    m_scan->pools = m_doc->NewPools();
}

TKrXIniStreamReader::TKrXIniStreamReader(const TKrXIniStreamReader& other, TKrXIniSectionQ* section)
    : TKrXIniReader(other), m_doc(other.m_doc), m_current(section), m_scan(new TScanState) {
    m_scan->pools = m_doc->NewPools();
}

TKrXIniStreamReader& TKrXIniStreamReader::operator=(const TKrXIniStreamReader& other) {
    if (this != &other) {
        TKrXIniReader::operator=(other);
        if (m_doc != other.m_doc) m_scan->pools = other.m_doc->NewPools();
        m_doc = other.m_doc;
        m_current = other.m_current;
        m_stack = other.m_stack;
    }
    return *this;
}

TKrXIniStreamReader::~TKrXIniStreamReader() = default;

void TKrXIniStreamReader::Init(const var_a<TKrStream*>& stream, TKrXIniErrorMode mode,
                               TKrProgressHandler* progress) {
    m_scan.reset(new TScanState);
    m_doc = std::make_shared<TKrXIniDocQ>();
    m_scan->pools = m_doc->NewPools();
    m_doc->root = m_scan->pools->sections.New();
    m_current = m_doc->root;

    TKrXIniText text;
    const TKrMessage failure = LoadXIniText(stream.get(), progress, text);
    m_doc->infoName = text.infoName;
    if (!failure.empty()) {
        // An empty, complete root; its E forms report the failed load as a format error.
        m_doc->parseError = true;
        m_doc->root->error = true;
        ReportXIniError(failure, mode);
        return;
    }
    m_doc->buffer = std::move(text.buffer);
    m_doc->length = text.length;
    m_doc->root->resume = const_cast<char*>(text.body); // loaded into a buffer of our own, never a view
}

const std::string& TKrXIniStreamReader::InfoName() const noexcept {
    return m_doc->infoName;
}

bool TKrXIniStreamReader::ParseError() const {
    return m_doc->parseError;
}

// --- Scanning ------------------------------------------------------------------------------

void TKrXIniStreamReader::Scan(TKrXIniSectionQ* section, std::size_t wanted, const char* name,
                               std::size_t len, bool byName) {
    if (section->Complete()) return;
    TKrXIniSectionQ* deepest = section;
    std::size_t depth = 0;
    while (deepest->pending) {
        deepest = deepest->pending;
        ++depth;
    }
    char* from = deepest->resume;
    char* const end = m_doc->buffer.get() + m_doc->length;
    if (!from || from > end) return ScanFailed(section);
    TKrXmlCollIniQ coll(section, section == m_doc->root, depth, wanted, name, len, byName, m_scan->pools);
    m_scan->parser.ReadXml(from, std::size_t(end - from), nullptr, nullptr, &coll);
    if (coll.Result() == TKrXmlCollIniQ::Stopped || coll.Result() == TKrXmlCollIniQ::Ended) return;
    ScanFailed(section);
}

void TKrXIniStreamReader::ScanFailed(TKrXIniSectionQ* section) {
    const std::string where = SectionWhere(section);
    KrLogWriteError(std::string("KrXIni"), MsgFormatWhere(where).std_str());
    TKrXIniSectionQ* s = section;
    for (;;) {
        s->resume = nullptr;
        s->pending = nullptr;
        s->error = true;
        TKrXIniSectionQ* parent = s->parent;
        if (!parent || parent->pending != s) break;
        s = parent;
    }
    m_doc->parseError = true;
}

std::string TKrXIniStreamReader::SectionWhere(TKrXIniSectionQ* section) const {
    std::string path;
    for (const TKrXIniSectionQ* s = section; s->parent; s = s->parent) {
        const std::vector<TKrXIniItemQ*>& siblings = s->parent->items;
        for (std::size_t i = siblings.size(); i-- > 0;) {
            if (siblings[i]->child == s) {
                path = Join(DesignateItem(i, siblings[i]), path);
                break;
            }
        }
    }
    const std::size_t n = section->items.size();
    path = Join(path, n ? DesignateItem(n - 1, section->items[n - 1]) : FormatItemSearchName(0));
    return WithInfoName(m_doc->infoName, path);
}

// --- Items and errors ----------------------------------------------------------------------

TKrXIniItemQ* TKrXIniStreamReader::Item(std::size_t index) {
    if (index >= m_current->items.size()) {
        if (index == npos) return nullptr;
        Scan(m_current, index, nullptr, 0, false);
        if (index >= m_current->items.size()) return nullptr;
    }
    return m_current->items[index];
}

TKrXIniItemQ* TKrXIniStreamReader::ItemE(std::size_t index) {
    TKrXIniItemQ* item = Item(index);
    CheckFormatE(m_current, std::string());
    if (!item) ThrowReadError(ItemPath(FormatItemName(index)), MsgRecordNotFound());
    return item;
}

void TKrXIniStreamReader::CheckFormatE(TKrXIniSectionQ* section, const std::string& leaf) {
    if (section->error) ThrowReadError(ItemPath(leaf), MsgFormatWhere(SectionWhere(section)));
}

std::string TKrXIniStreamReader::ItemPath(const std::string& leaf) const {
    std::string path;
    for (const TLevel& level : m_stack)
        path = Join(path, DesignateItem(level.index, level.section->items[level.index]));
    return WithInfoName(m_doc->infoName, Join(path, leaf));
}

std::string TKrXIniStreamReader::Designate(std::size_t index) {
    return DesignateItem(index, index < m_current->items.size() ? m_current->items[index] : nullptr);
}

const char* TKrXIniStreamReader::ItemNameRaw(std::size_t index, std::size_t* len) {
    const TKrXIniItemQ* item = Item(index);
    if (len) *len = item ? item->nameLen : 0;
    return item ? item->name : nullptr;
}

const char* TKrXIniStreamReader::ItemValueRaw(std::size_t index, std::size_t* len) {
    const TKrXIniItemQ* item = Item(index);
    if (len) *len = item ? item->valueLen : 0;
    return item ? item->value : nullptr;
}

void TKrXIniStreamReader::throw_error_value_message(std::size_t index, const std::string& message) {
    Item(index);
    ThrowReadError(ItemPath(Designate(index)), message);
}

// --- Counting, finding, sections -------------------------------------------------------------

std::size_t TKrXIniStreamReader::Count() {
    Scan(m_current, npos, nullptr, 0, false);
    return m_current->items.size();
}

std::size_t TKrXIniStreamReader::CountE() {
    const std::size_t n = Count();
    CheckFormatE(m_current, std::string());
    return n;
}

std::size_t TKrXIniStreamReader::Count_x(const char* name, std::size_t len) {
    Scan(m_current, npos, nullptr, 0, false);
    if (!name) len = 0;
    std::size_t n = 0;
    for (const TKrXIniItemQ* item : m_current->items)
        if (item->nameLen == len && std::memcmp(item->name, name ? name : "", len) == 0) ++n;
    return n;
}

std::size_t TKrXIniStreamReader::CountE_x(const char* name, std::size_t len) {
    const std::size_t n = Count_x(name, len);
    CheckFormatE(m_current, std::string());
    return n;
}

std::size_t TKrXIniStreamReader::FindF_x(const char* name, std::size_t len, std::size_t start) {
    if (!name) {
        name = "";
        len = 0;
    }
    const auto search = [&](std::size_t from) {
        const std::vector<TKrXIniItemQ*>& items = m_current->items;
        for (std::size_t i = from; i < items.size(); ++i)
            if (items[i]->nameLen == len && std::memcmp(items[i]->name, name, len) == 0) return i;
        return npos;
    };
    std::size_t found = search(start);
    if (found != npos || m_current->Complete() || start == npos) return found;
    const std::size_t known = m_current->items.size();
    Scan(m_current, start, name, len, true);
    return search(std::max(start, known));
}

std::size_t TKrXIniStreamReader::FindFE_x(const char* name, std::size_t len, std::size_t start) {
    const std::size_t found = FindF_x(name, len, start);
    CheckFormatE(m_current, std::string());
    if (found == npos)
        ThrowReadError(ItemPath(FormatItemSearchName(std::string(name ? name : "", name ? len : 0), start)),
                       MsgRecordNotFound());
    return found;
}

TKrXIniItemType TKrXIniStreamReader::ItemType(std::size_t index) {
    const TKrXIniItemQ* item = Item(index);
    return item ? item->type : TE_KrXIniItemType::Invalid;
}

TKrXIniItemType TKrXIniStreamReader::ItemTypeE(std::size_t index) {
    return ItemE(index)->type;
}

std::string TKrXIniStreamReader::ItemName(std::size_t index) {
    const TKrXIniItemQ* item = Item(index);
    return item ? std::string(item->name, item->nameLen) : std::string();
}

std::string TKrXIniStreamReader::ItemNameE(std::size_t index) {
    const TKrXIniItemQ* item = ItemE(index);
    return std::string(item->name, item->nameLen);
}

bool TKrXIniStreamReader::Exists(std::size_t index) {
    return Item(index) != nullptr;
}

bool TKrXIniStreamReader::ExistsE(std::size_t index) {
    const bool exists = Exists(index);
    CheckFormatE(m_current, std::string());
    return exists;
}

std::size_t TKrXIniStreamReader::EnterSection(std::size_t index) {
    TKrXIniItemQ* item = Item(index);
    if (!item || item->type != TE_KrXIniItemType::Section || !item->child) return 0;
    m_stack.push_back({m_current, index});
    m_current = item->child;
    return m_stack.size();
}

std::size_t TKrXIniStreamReader::EnterSectionE(std::size_t index) {
    TKrXIniItemQ* item = ItemE(index);
    if (item->type != TE_KrXIniItemType::Section || !item->child)
        ThrowReadError(ItemPath(Designate(index)), MsgIncorrectType("section"));
    m_stack.push_back({m_current, index});
    m_current = item->child;
    return m_stack.size();
}

bool TKrXIniStreamReader::ExitSection(std::size_t level) {
    if (level < 1 || level > m_stack.size()) return false;
    m_current = m_stack[level - 1].section;
    m_stack.resize(level - 1);
    return true;
}

std::size_t TKrXIniStreamReader::ExitSectionE(std::size_t level) {
    if (!ExitSection(level)) ThrowReadError(ItemPath(FormatItemSearchName("*", level)), MsgInvalidLevel());
    return level - 1;
}

// --- Values --------------------------------------------------------------------------------

template <class T> T TKrXIniStreamReader::ReadNumber(std::size_t index, T def, TKrXIniItemType type) {
    const TKrXIniItemQ* item = Item(index);
    T value;
    if (!item || item->type != type || !ParseValueText(item->value, item->value + item->valueLen, value))
        return def;
    return value;
}

template <class T>
T TKrXIniStreamReader::ReadNumberE(std::size_t index, TKrXIniItemType type, const char* word) {
    const TKrXIniItemQ* item = ItemE(index);
    T value;
    if (item->type != type || !ParseValueText(item->value, item->value + item->valueLen, value))
        ThrowReadError(ItemPath(Designate(index)), MsgIncorrectType(word));
    return value;
}

int TKrXIniStreamReader::Read_x_int32(std::size_t index, int def) {
    return ReadNumber<int>(index, def, TE_KrXIniItemType::Integer);
}
int TKrXIniStreamReader::ReadE_x_int32(std::size_t index) {
    return ReadNumberE<int>(index, TE_KrXIniItemType::Integer, "int");
}
unsigned TKrXIniStreamReader::Read_x_uint32(std::size_t index, unsigned def) {
    return ReadNumber<unsigned>(index, def, TE_KrXIniItemType::Integer);
}
unsigned TKrXIniStreamReader::ReadE_x_uint32(std::size_t index) {
    return ReadNumberE<unsigned>(index, TE_KrXIniItemType::Integer, "uint");
}
long TKrXIniStreamReader::Read_x_int64(std::size_t index, long def) {
    return ReadNumber<long>(index, def, TE_KrXIniItemType::Integer);
}
long TKrXIniStreamReader::ReadE_x_int64(std::size_t index) {
    return ReadNumberE<long>(index, TE_KrXIniItemType::Integer, "int64");
}
unsigned long TKrXIniStreamReader::Read_x_uint64(std::size_t index, unsigned long def) {
    return ReadNumber<unsigned long>(index, def, TE_KrXIniItemType::Integer);
}
unsigned long TKrXIniStreamReader::ReadE_x_uint64(std::size_t index) {
    return ReadNumberE<unsigned long>(index, TE_KrXIniItemType::Integer, "uint64");
}
double TKrXIniStreamReader::Read_x_double(std::size_t index, double def) {
    return ReadNumber<double>(index, def, TE_KrXIniItemType::Double);
}
double TKrXIniStreamReader::ReadE_x_double(std::size_t index) {
    return ReadNumberE<double>(index, TE_KrXIniItemType::Double, "double");
}

std::string TKrXIniStreamReader::Read_x_string(std::size_t index, const std::string& def) {
    const TKrXIniItemQ* item = Item(index);
    if (!item || item->type != TE_KrXIniItemType::String) return def;
    return std::string(item->value, item->valueLen);
}

std::string TKrXIniStreamReader::ReadE_x_string(std::size_t index) {
    const TKrXIniItemQ* item = ItemE(index);
    if (item->type != TE_KrXIniItemType::String)
        ThrowReadError(ItemPath(Designate(index)), MsgIncorrectType("string"));
    return std::string(item->value, item->valueLen);
}

std::string TKrXIniStreamReader::ReadBinary(std::size_t index, const std::string& def) {
    const TKrXIniItemQ* item = Item(index);
    if (!item || item->type != TE_KrXIniItemType::Binary) return def;
    return KrDecodeStringBase64(item->value, item->valueLen);
}

std::string TKrXIniStreamReader::ReadBinaryE(std::size_t index) {
    const TKrXIniItemQ* item = ItemE(index);
    if (item->type != TE_KrXIniItemType::Binary)
        ThrowReadError(ItemPath(Designate(index)), MsgIncorrectType("binary"));
    return KrDecodeStringBase64(item->value, item->valueLen);
}

std::string TKrXIniStreamReader::ReadLongString(std::size_t index, const std::string& def) {
    const TKrXIniItemQ* item = Item(index);
    if (!item || item->type != TE_KrXIniItemType::Section || !item->child) return def;
    Scan(item->child, npos, nullptr, 0, false);
    std::string text;
    for (const TKrXIniItemQ* piece : item->child->items) {
        if (piece->type != TE_KrXIniItemType::String) return def;
        text.append(piece->value, piece->valueLen);
    }
    return text;
}

std::string TKrXIniStreamReader::ReadLongStringE(std::size_t index) {
    const TKrXIniItemQ* item = ItemE(index);
    const std::string path = ItemPath(Designate(index));
    if (item->type != TE_KrXIniItemType::Section || !item->child)
        ThrowReadError(path, MsgIncorrectType("string"));
    Scan(item->child, npos, nullptr, 0, false);
    if (item->child->error) ThrowReadError(path, MsgFormatWhere(SectionWhere(item->child)));
    std::string text;
    for (const TKrXIniItemQ* piece : item->child->items) {
        if (piece->type != TE_KrXIniItemType::String) ThrowReadError(path, MsgIncorrectType("string"));
        text.append(piece->value, piece->valueLen);
    }
    return text;
}

std::size_t TKrXIniStreamReader::ReadDoubles(std::size_t index, double** out, std::size_t n) {
    double spare[3];
    for (std::size_t j = 0; j < n; ++j)
        if (!out[j]) out[j] = &spare[j]; // a null output is read and dropped
    const TKrXIniItemQ* item = Item(index);
    if (!item || item->type != TE_KrXIniItemType::Section || !item->child) return 0;
    TKrXIniSectionQ* child = item->child;
    if (child->items.size() < n) Scan(child, n - 1, nullptr, 0, false);
    std::size_t parsed = 0;
    while (parsed < n && parsed < child->items.size() &&
           ScanDoubleText(child->items[parsed]->value,
                          child->items[parsed]->value + child->items[parsed]->valueLen, *out[parsed]))
        ++parsed;
    return parsed;
}

void TKrXIniStreamReader::ReadDoublesE(std::size_t index, double** out, std::size_t n) {
    double spare[3];
    for (std::size_t j = 0; j < n; ++j)
        if (!out[j]) out[j] = &spare[j];
    const TKrXIniItemQ* item = ItemE(index);
    const std::string path = ItemPath(Designate(index));
    if (item->type != TE_KrXIniItemType::Section || !item->child)
        ThrowReadError(path, MsgIncorrectType("double"));
    TKrXIniSectionQ* child = item->child;
    if (child->items.size() < n) Scan(child, n - 1, nullptr, 0, false);
    for (std::size_t j = 0; j < n; ++j) {
        if (j >= child->items.size()) {
            if (child->error) ThrowReadError(path, MsgFormatWhere(SectionWhere(child)));
            ThrowReadError(Join(path, FormatItemName(j)), MsgRecordNotFound());
        }
        if (!ScanDoubleText(child->items[j]->value, child->items[j]->value + child->items[j]->valueLen,
                            *out[j]))
            ThrowReadError(Join(path, DesignateItem(j, child->items[j])), MsgIncorrectType("double"));
    }
}

std::size_t TKrXIniStreamReader::ReadDouble2(std::size_t index, double* x, double* y) {
    double* out[] = {x, y};
    return ReadDoubles(index, out, 2);
}
void TKrXIniStreamReader::ReadDouble2E(std::size_t index, double* x, double* y) {
    double* out[] = {x, y};
    ReadDoublesE(index, out, 2);
}
std::size_t TKrXIniStreamReader::ReadDouble3(std::size_t index, double* x, double* y, double* z) {
    double* out[] = {x, y, z};
    return ReadDoubles(index, out, 3);
}
void TKrXIniStreamReader::ReadDouble3E(std::size_t index, double* x, double* y, double* z) {
    double* out[] = {x, y, z};
    ReadDoublesE(index, out, 3);
}

// --- Whole sections --------------------------------------------------------------------------

TKrXIniSectionQ* TKrXIniStreamReader::BuildTree(TKrXIniSectionQ* section, TKrXIniTree* tree) {
    struct TFrame {
        TKrXIniSectionQ* section;
        TKrXIniTree* tree;
        std::size_t next;
    };
    TKrXIniSectionQ* broken = nullptr;
    std::vector<TFrame> frames{{section, tree, 0}};
    while (!frames.empty()) {
        TFrame& frame = frames.back();
        if (frame.next == 0) {
            Scan(frame.section, npos, nullptr, 0, false);
            if (frame.section->error && !broken) broken = frame.section;
        }
        if (frame.next == frame.section->items.size()) {
            frames.pop_back();
            continue;
        }
        const TKrXIniItemQ* item = frame.section->items[frame.next++];
        std::string name(item->name, item->nameLen);
        if (item->type == TE_KrXIniItemType::Section) {
            TKrXIniTree* child = frame.tree->AddSection(name).get();
            if (item->child) frames.push_back({item->child, child, 0});
        } else {
            frame.tree->AddItem(item->type, name, std::string(item->value, item->valueLen));
        }
    }
    return broken;
}

bool TKrXIniStreamReader::WriteSection(TKrXIniSectionQ* section, std::string& text) {
    var_a<TKrStringStream*> stream = new_a<TKrStringStream>();
    bool ok = true;
    {
        TKrXIniStreamWriter writer(stream, 0, TKrXIniStreamWriter::Full);
        struct TFrame {
            TKrXIniSectionQ* section;
            std::size_t next;
            std::size_t level; // the writer level to close back to; 0 for the outermost section
        };
        std::vector<TFrame> frames{{section, 0, 0}};
        while (!frames.empty()) {
            TFrame& frame = frames.back();
            if (frame.next == 0) {
                Scan(frame.section, npos, nullptr, 0, false);
                ok = ok && !frame.section->error;
            }
            if (frame.next == frame.section->items.size()) {
                if (frame.level) ok = writer.EndSection(frame.level) && ok;
                frames.pop_back();
                continue;
            }
            const TKrXIniItemQ* item = frame.section->items[frame.next++];
            const std::string name =
                KrEncodeStringXml(item->name, item->nameLen, TE_KrEncodeStringXmlMode::xmlEncDefault);
            const char* nameBegin = name.data();
            const char* nameEnd = nameBegin + name.size();
            if (item->type == TE_KrXIniItemType::Section) {
                const std::size_t level = writer.BeginSectionS(std::string(item->name, item->nameLen));
                ok = level != 0 && ok;
                if (item->child)
                    frames.push_back({item->child, 0, level});
                else if (level)
                    ok = writer.EndSection(level) && ok;
            } else if (item->type == TE_KrXIniItemType::Binary) {
                ok = writer.WriteItemRaw(item->type, nameBegin, nameEnd, item->value,
                                         item->value + item->valueLen) &&
                     ok;
            } else {
                const std::string value =
                    KrEncodeStringXml(item->value, item->valueLen, TE_KrEncodeStringXmlMode::xmlEncDefault);
                ok = writer.WriteItemRaw(item->type, nameBegin, nameEnd, value.data(),
                                         value.data() + value.size()) &&
                     ok;
            }
        }
        ok = writer.Close() && ok;
    }
    text = std::move(stream->str());
    return ok;
}

std::string TKrXIniStreamReader::ReadXIni(std::size_t index) {
    const TKrXIniItemQ* item = Item(index);
    if (!item || item->type != TE_KrXIniItemType::Section || !item->child) return std::string();
    std::string text;
    WriteSection(item->child, text);
    return text;
}

std::string TKrXIniStreamReader::ReadXIniE(std::size_t index) {
    const TKrXIniItemQ* item = ItemE(index);
    if (item->type != TE_KrXIniItemType::Section || !item->child)
        ThrowReadError(ItemPath(Designate(index)), MsgIncorrectType("section"));
    std::string text;
    if (!WriteSection(item->child, text))
        ThrowReadError(ItemPath(Designate(index)), KrMsg_helper("Err_XIni_WriteError"));
    return text;
}

var_a<TKrXIniTree*> TKrXIniStreamReader::ReadXIniTree(std::size_t index, TXIniTreeMode mode) {
    const TKrXIniItemQ* item = Item(index);
    if (!item || item->type != TE_KrXIniItemType::Section || !item->child)
        return mode == EmptyIfAbsent ? new_a<TKrXIniTree>() : var_a<TKrXIniTree*>();
    var_a<TKrXIniTree*> tree = new_a<TKrXIniTree>();
    BuildTree(item->child, tree.get());
    return tree;
}

var_a<TKrXIniTree*> TKrXIniStreamReader::ReadXIniTreeE(std::size_t index) {
    const TKrXIniItemQ* item = ItemE(index);
    if (item->type != TE_KrXIniItemType::Section || !item->child)
        ThrowReadError(ItemPath(Designate(index)), MsgIncorrectType("section"));
    var_a<TKrXIniTree*> tree = new_a<TKrXIniTree>();
    if (TKrXIniSectionQ* broken = BuildTree(item->child, tree.get()))
        ThrowReadError(ItemPath(Designate(index)), MsgFormatWhere(SectionWhere(broken)));
    return tree;
}

var_a<TKrXIniTree*> TKrXIniStreamReader::ReadXIniTreeE() {
    var_a<TKrXIniTree*> tree = new_a<TKrXIniTree>();
    if (TKrXIniSectionQ* broken = BuildTree(m_current, tree.get()))
        ThrowReadError(ItemPath(std::string()), MsgFormatWhere(SectionWhere(broken)));
    return tree;
}

// --- Files ---------------------------------------------------------------------------------

var_a<TKrXIniReader*> GetXIniReader(const TKrPath& path) {
    var_a<TKrFileStream*> file = TKrFileStream::VCreate(path, krOpenRead);
    if (!file->IsOpen()) throw KrMsg_helper("Err_OpenReadFile_name") << path;
    return new_a<TKrXIniStreamReader>(var_a<TKrStream*>(file), TE_KrXIniErrorMode::Throw, nullptr);
}
