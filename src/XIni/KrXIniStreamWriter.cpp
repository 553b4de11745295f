// TKrXIniStreamWriter: XIni text through a 1 MiB buffer, optionally through gzip layers.
#include "XIni/KrXIniStreamWriter.h"
#include "Core/KrProgressHandler.h"

#include "Core/KrBuildVersion.h"
#include "Core/KrMessage.h"
#include "Core/KrStringEncode.h"
#include "Streams/KrBufferedWriter.h"
#include "Streams/KrGZipWriter.h"
#include "Streams/KrStream.h"
#include "XIni/KrXIniInternal.h"
#include "XIni/KrXIniNumberText.h"
#include "XIni/KrXIniTree.h"
#include "Xml/KrXmlEscapeInternal.h"
#include "Xml/KrXmlParser.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

using KrXIniInternal::FormatDecText;
using KrXIniInternal::FormatExpText;
using KrXIniInternal::FormatHexText;
using KrXIniInternal::LongStringPieceLength;

namespace {

// " v=\"" + text + "\"/>" into out; the caller's buffer holds at least 64 bytes.
struct TValueText {
    char text[64];
    char* p = text;
    TValueText() {
        std::memcpy(p, " v=\"", 4);
        p += 4;
    }
    void Finish() {
        std::memcpy(p, "\"/>", 3);
        p += 3;
    }
    std::size_t size() const { return static_cast<std::size_t>(p - text); }
};

bool IsOneLetterName(const char* nameBegin, const char* nameEnd) {
    return nameEnd - nameBegin == 1;
}

// Finds the start tag of the krini element and stops there.
class TKrXmlCollIniFindRoot : public TKrXmlColl {
public:
    const char* tagEnd = nullptr;
    bool empty = false;

    bool AddUnknown(const char*, const char*) override { return true; }
    bool AddSTag(const char*, const char* end, const char* nameBegin, const char* nameEnd,
                 const std::vector<TKrXmlAttrData>&) override {
        return !Found(end, nameBegin, nameEnd, false);
    }
    bool AddEmptyElemTag(const char*, const char* end, const char* nameBegin, const char* nameEnd,
                         const std::vector<TKrXmlAttrData>&) override {
        return !Found(end, nameBegin, nameEnd, true);
    }

private:
    bool Found(const char* end, const char* nameBegin, const char* nameEnd, bool isEmpty) {
        if (nameEnd - nameBegin != 5 || std::memcmp(nameBegin, "krini", 5) != 0) return false;
        tagEnd = end;
        empty = isEmpty;
        return true;
    }
};

} // namespace

// --- Output primitives (inline: every item goes through them) --------------------------------

inline bool TKrXIniStreamWriter::Put(const char* p, std::size_t n) {
    return m_buffer->Write(p, n) || Fail();
}

inline bool TKrXIniStreamWriter::Atom(const char* p, std::size_t n) {
    if (n == 0) return true;
    bool ok = true;
    if (m_column == 0 && !m_indent.empty()) {
        ok = Put(m_indent.data(), m_indent.size());
        m_column = m_indent.size();
    }
    m_column += n;
    return Put(p, n) && ok;
}

inline bool TKrXIniStreamWriter::Atom(const std::string& s) {
    return Atom(s.data(), s.size());
}

// Copies the raw text of another document's body, re-indented for the writer's current level.
class TKrXIniStreamWriter::TKrXmlCollIniQCopy : public TKrXmlColl {
public:
    explicit TKrXmlCollIniQCopy(TKrXIniStreamWriter& w) : m_w(w) {}

    bool reachedEnd = false;
    bool ok = true;

    bool AddCharData(const char* begin, const char* end) override { return Copy(begin, end, false); }
    bool AddCData(const char* begin, const char* end, const char*, const char*) override {
        return Copy(begin, end, false);
    }
    bool AddComment(const char* begin, const char* end, const char*, const char*) override {
        return Copy(begin, end, true);
    }
    bool AddPI(const char* begin, const char* end, const char*, const char*) override {
        return Copy(begin, end, true);
    }
    bool AddDoctype(const char*, const char*) override { return false; }
    bool AddSTag(const char* begin, const char* end, const char* nameBegin, const char* nameEnd,
                 const std::vector<TKrXmlAttrData>&) override {
        if (!IsOneLetterName(nameBegin, nameEnd)) return false;
        ++m_depth;
        return Copy(begin, end, true);
    }
    bool AddEmptyElemTag(const char* begin, const char* end, const char* nameBegin, const char* nameEnd,
                         const std::vector<TKrXmlAttrData>&) override {
        if (!IsOneLetterName(nameBegin, nameEnd)) return false;
        return Copy(begin, end, true);
    }
    bool AddETag(const char* begin, const char* end, const char* nameBegin, const char* nameEnd) override {
        if (m_depth == 0) {
            reachedEnd = nameEnd - nameBegin == 5 && std::memcmp(nameBegin, "krini", 5) == 0;
            return false;
        }
        if (!IsOneLetterName(nameBegin, nameEnd)) return false;
        --m_depth;
        return Copy(begin, end, true);
    }

private:
    // Writes [begin, end) cut at its line ends. Outside compact layout a cut is a line end; in
    // compact layout it is a blank inside markup and nothing inside text, until the line is long.
    bool Copy(const char* p, const char* end, bool markup) {
        bool first = true;
        while (p < end) {
            if (!first) p = SkipIndent(p, end);
            first = false;
            const std::size_t len = LongStringPieceLength(p, end);
            const char* lineEnd = p + len;
            const char* textEnd = lineEnd;
            const bool cut = textEnd > p && (textEnd[-1] == '\n' || textEnd[-1] == '\r');
            if (cut) {
                --textEnd;
                if (textEnd > p && textEnd[-1] == '\r' && *textEnd == '\n') --textEnd;
            }
            ok = m_w.Atom(p, static_cast<std::size_t>(textEnd - p)) && ok;
            if (cut) ok = Break(markup) && ok;
            p = lineEnd;
        }
        return true;
    }

    bool Break(bool markup) {
        TKrXIniStreamWriter& w = m_w;
        if (w.m_compactLevel == 0 || w.m_column >= CompactLineLength + w.m_indent.size()) {
            if (w.m_column == 0) return true;
            w.m_column = 0;
            return w.Put("\n", 1);
        }
        return markup ? w.Atom(" ", 1) : true;
    }

    // Skips the indentation of a continued line: one unit outside compact layout, up to
    // depth + 1 units in it; a unit is a TAB, two blanks or one blank.
    const char* SkipIndent(const char* p, const char* end) const {
        const std::size_t units = m_w.m_compactLevel ? m_depth + 1 : 1;
        for (std::size_t u = 0; u < units && p < end; ++u) {
            if (*p == '\t') {
                ++p;
            } else if (*p == ' ') {
                ++p;
                if (p < end && *p == ' ') ++p;
            } else {
                break;
            }
        }
        return p;
    }

    TKrXIniStreamWriter& m_w;
    std::size_t m_depth = 0;
};

// --- Construction and teardown ----------------------------------------------------------------

TKrXIniStreamWriter::TKrXIniStreamWriter(var_a<TKrStream*> stream, int compression, THeaderType header)
    : m_stream(std::move(stream)), m_header(header) {
    if (!m_stream) throw std::logic_error("@Null stream in TKrXIniStreamWriter");
    m_out = m_stream.get();
    if ((compression & 0xFF) == CompressGZip) {
        const int levelCode = (compression >> 8) & 0xF;
        const int level = levelCode == 0 ? -1 : levelCode - 1;
        const int layers = 1 + ((compression >> 12) & 0xF);
        for (int i = 0; i < layers; ++i) {
            var_a<TKrGZipWriter*> gz = new_a<TKrGZipWriter>();
            if (compression & CompressParallel) gz->SetThreads(0);
            if (!gz->Open(m_out, level)) {
                m_error = true;
                m_out = nullptr;
                break;
            }
            m_gzip.push_back(gz);
            m_out = gz.get();
        }
    }
    // Pages of the buffer are touched only as output reaches them.
    m_buffer = std::make_unique<TKrBufferedWriter>(m_out, BufferSize);

    static const char kDecl[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    static const char kDoctype[] = "<!DOCTYPE krini SYSTEM \"krini4.dtd\">\n";
    switch (m_header) {
    case Full:
        Put(kDecl, sizeof kDecl - 1);
        Put(kDoctype, sizeof kDoctype - 1);
        Atom("<krini>", 7);
        WriteComment(GetBuildVerString(true, true));
        break;
    case Declaration:
        Put(kDecl, sizeof kDecl - 1);
        Put("<krini>\n", 8);
        break;
    case RootOnly:
        Put("<krini>\n", 8);
        break;
    case RootCompact:
        Atom("<krini>", 7);
        m_compactLevel = 1;
        break;
    default:
        m_compactLevel = 1;
        break;
    }
    m_level = 1;
    UpdateIndent();
}

TKrXIniStreamWriter::~TKrXIniStreamWriter() {
    try {
        Close();
    } catch (...) {
    }
    m_buffer.reset();
    // Outermost layer first: finishing it writes its tail into the next one.
    while (!m_gzip.empty())
        m_gzip.pop_back();
    m_out = nullptr;
}

// --- Raw output -----------------------------------------------------------------------------

bool TKrXIniStreamWriter::WriteRaw(const char* data, std::size_t n) {
    return Atom(data, n);
}

bool TKrXIniStreamWriter::WriteRawBuffer(const char* data, std::size_t n) {
    return Put(data, n);
}

bool TKrXIniStreamWriter::LineBreak() {
    if (m_column == 0) return true;
    if (m_compactLevel != 0 && m_column < CompactLineLength + m_indent.size()) return true;
    m_column = 0;
    return Put("\n", 1);
}

void TKrXIniStreamWriter::UpdateIndent() {
    m_indent.assign(2 * (m_compactLevel ? m_compactLevel : m_level), ' ');
}

bool TKrXIniStreamWriter::AtomEscaped(const char* p, std::size_t n) {
    if (n == 0) return true;
    bool ok = true;
    if (m_column == 0 && !m_indent.empty()) {
        ok = Put(m_indent.data(), m_indent.size());
        m_column = m_indent.size();
    }
    std::size_t written = 0;
    if (!KrWriteStringXml(*m_buffer, p, n, TE_KrEncodeStringXmlMode::xmlEncDefault, &written)) ok = Fail();
    m_column += written;
    return ok;
}

bool TKrXIniStreamWriter::TagHeader(char letter, std::string_view name) {
    const char open[6] = {'<', letter, ' ', 'n', '=', '"'};
    if (name.empty()) return Atom(open, 2);
    bool ok = Atom(open, 6);
    ok = AtomEscaped(name.data(), name.size()) && ok;
    return Atom("\"", 1) && ok;
}

bool TKrXIniStreamWriter::TagHeaderRaw(char letter, const char* nameBegin, const char* nameEnd) {
    const char open[6] = {'<', letter, ' ', 'n', '=', '"'};
    if (!nameBegin || nameEnd <= nameBegin) return Atom(open, 2);
    bool ok = Atom(open, 6);
    ok = Atom(nameBegin, static_cast<std::size_t>(nameEnd - nameBegin)) && ok;
    return Atom("\"", 1) && ok;
}

bool TKrXIniStreamWriter::NumberItem(char letter, const std::string& name, const char* text, std::size_t n) {
    bool ok = TagHeader(letter, name);
    ok = Atom(text, n) && ok;
    return LineBreak() && ok;
}

// --- Items ------------------------------------------------------------------------------------

bool TKrXIniStreamWriter::WriteComment(const std::string& text) {
    std::string t(text);
    bool secondDash = false;
    for (char& c : t) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        if (c == '-') {
            if (secondDash) c = '~';
            secondDash = !secondDash;
        } else {
            secondDash = false;
        }
    }
    bool ok = Atom("<!-- ", 5);
    ok = Atom(t) && ok;
    ok = Atom(" -->", 4) && ok;
    return LineBreak() && ok;
}

bool TKrXIniStreamWriter::WriteS_x_int32(const std::string& name, const int& value) {
    return WriteS_x_uint64(name, static_cast<unsigned>(value));
}

bool TKrXIniStreamWriter::WriteS_x_uint32(const std::string& name, const unsigned& value) {
    return WriteS_x_uint64(name, value);
}

bool TKrXIniStreamWriter::WriteS_x_int64(const std::string& name, const long& value) {
    TValueText v;
    v.p = FormatDecText(v.p, value);
    v.Finish();
    return NumberItem('i', name, v.text, v.size());
}

bool TKrXIniStreamWriter::WriteS_x_uint64(const std::string& name, const unsigned long& value) {
    TValueText v;
    v.p = FormatDecText(v.p, value);
    v.Finish();
    return NumberItem('i', name, v.text, v.size());
}

bool TKrXIniStreamWriter::WriteS_x_float(const std::string& name, const float& value) {
    TValueText v;
    v.p = FormatExpText(v.p, static_cast<double>(value), 8);
    v.Finish();
    return NumberItem('d', name, v.text, v.size());
}

bool TKrXIniStreamWriter::WriteS_x_double(const std::string& name, const double& value) {
    TValueText v;
    v.p = FormatExpText(v.p, value, 16);
    v.Finish();
    return NumberItem('d', name, v.text, v.size());
}

bool TKrXIniStreamWriter::WriteS_x_string(const std::string& name, const std::string& value) {
    bool ok = TagHeader('s', name);
    ok = Atom(" v=\"", 4) && ok;
    ok = AtomEscaped(value.data(), value.size()) && ok;
    ok = Atom("\"/>", 3) && ok;
    return LineBreak() && ok;
}

bool TKrXIniStreamWriter::WriteHexS_x_int32(const std::string& name, const int& value) {
    TValueText v;
    v.p = FormatHexText(v.p, static_cast<long>(value));
    v.Finish();
    return NumberItem('i', name, v.text, v.size());
}

bool TKrXIniStreamWriter::WriteHexS_x_uint32(const std::string& name, const unsigned& value) {
    TValueText v;
    v.p = FormatHexText(v.p, static_cast<unsigned long>(value));
    v.Finish();
    return NumberItem('i', name, v.text, v.size());
}

bool TKrXIniStreamWriter::WriteHexS_x_int64(const std::string& name, const long& value) {
    TValueText v;
    v.p = FormatHexText(v.p, value);
    v.Finish();
    return NumberItem('i', name, v.text, v.size());
}

bool TKrXIniStreamWriter::WriteHexS_x_uint64(const std::string& name, const unsigned long& value) {
    TValueText v;
    v.p = FormatHexText(v.p, value);
    v.Finish();
    return NumberItem('i', name, v.text, v.size());
}

bool TKrXIniStreamWriter::WriteLongStringS(const std::string& name, const std::string& value) {
    const std::size_t level = BeginSectionS(name);
    bool ok = level != 0;
    const char* p = value.data();
    const char* end = p + value.size();
    while (p < end) {
        const std::size_t len = LongStringPieceLength(p, end);
        ok = Atom("<s v=\"", 6) && ok;
        ok = AtomEscaped(p, len) && ok;
        ok = Atom("\"/>", 3) && ok;
        ok = LineBreak() && ok;
        p += len;
    }
    return EndSection(m_level - 1) && ok;
}

bool TKrXIniStreamWriter::Base64Body(const char* text, std::size_t n) {
    bool ok = Atom(">", 1);
    ok = LineBreak() && ok;
    ++m_level;
    UpdateIndent();
    for (std::size_t i = 0; i < n; i += 64) {
        ok = Atom(text + i, std::min<std::size_t>(64, n - i)) && ok;
        ok = LineBreak() && ok;
    }
    --m_level;
    UpdateIndent();
    ok = Atom("</b>", 4) && ok;
    return LineBreak() && ok;
}

bool TKrXIniStreamWriter::WriteBinaryS(const std::string& name, const std::string& bytes) {
    bool ok = TagHeader('b', name);
    ok = Atom(">", 1) && ok;
    ok = LineBreak() && ok;
    ++m_level;
    UpdateIndent();
    char line[KrEncodeStringBase64Length(48)];
    for (std::size_t i = 0; i < bytes.size(); i += 48) {
        const std::size_t k =
            KrEncodeStringBase64Buf(bytes.data() + i, std::min<std::size_t>(48, bytes.size() - i), line);
        ok = Atom(line, k) && ok;
        ok = LineBreak() && ok;
    }
    --m_level;
    UpdateIndent();
    ok = Atom("</b>", 4) && ok;
    return LineBreak() && ok;
}

bool TKrXIniStreamWriter::WriteDoublesS(const std::string& name, std::initializer_list<double> values) {
    bool ok = TagHeader('x', name);
    char text[160]; // room for three doubles
    char* p = text;
    *p++ = '>';
    for (double d : values) {
        std::memcpy(p, "<d v=\"", 6);
        p = FormatExpText(p + 6, d, 16);
        std::memcpy(p, "\"/>", 3);
        p += 3;
    }
    std::memcpy(p, "</x>", 4);
    p += 4;
    ok = Atom(text, static_cast<std::size_t>(p - text)) && ok;
    return LineBreak() && ok;
}

bool TKrXIniStreamWriter::WriteDouble2S(const std::string& name, double x, double y) {
    return WriteDoublesS(name, {x, y});
}

bool TKrXIniStreamWriter::WriteDouble3S(const std::string& name, double x, double y, double z) {
    return WriteDoublesS(name, {x, y, z});
}

bool TKrXIniStreamWriter::WriteItemRaw(TKrXIniItemType type, const char* nameBegin, const char* nameEnd,
                                       const char* valueBegin, const char* valueEnd) {
    const std::size_t valueLen = valueBegin && valueEnd > valueBegin ? std::size_t(valueEnd - valueBegin) : 0;
    switch (type) {
    case TE_KrXIniItemType::Integer:
    case TE_KrXIniItemType::Double:
    case TE_KrXIniItemType::String: {
        bool ok = TagHeaderRaw(KrXIniItemLetter(type), nameBegin, nameEnd);
        ok = Atom(" v=\"", 4) && ok;
        ok = Atom(valueBegin, valueLen) && ok;
        ok = Atom("\"/>", 3) && ok;
        return LineBreak() && ok;
    }
    case TE_KrXIniItemType::Binary: {
        const bool ok = TagHeaderRaw('b', nameBegin, nameEnd);
        return Base64Body(valueBegin, valueLen) && ok;
    }
    case TE_KrXIniItemType::Section: {
        bool ok = TagHeaderRaw('x', nameBegin, nameEnd);
        ok = Atom(">", 1) && ok;
        ok = LineBreak() && ok;
        ++m_level;
        UpdateIndent();
        return ok;
    }
    default:
        return false;
    }
}

// --- Sections ---------------------------------------------------------------------------------

std::size_t TKrXIniStreamWriter::BeginSectionS(const std::string& name) {
    bool ok = TagHeader('x', name);
    ok = Atom(">", 1) && ok;
    ok = LineBreak() && ok;
    ++m_level;
    UpdateIndent();
    return ok ? m_level - 1 : 0;
}

std::size_t TKrXIniStreamWriter::BeginSectionCompactS(const std::string& name) {
    if (m_compactLevel == 0) m_compactLevel = m_level + 1;
    return BeginSectionS(name);
}

bool TKrXIniStreamWriter::EndSection() {
    return EndSection(m_level - 1);
}

void TKrXIniStreamWriter::EndSectionE() {
    if (!EndSection()) throw_xwrite_error_i();
}

bool TKrXIniStreamWriter::EndSection(std::size_t level) {
    if (level == 0 || level >= m_level) return Fail();
    bool ok = true;
    while (m_level > level) {
        if (m_level <= m_compactLevel) m_compactLevel = 0;
        --m_level;
        UpdateIndent();
        ok = Atom("</x>", 4) && ok;
        ok = LineBreak() && ok;
    }
    return ok;
}

void TKrXIniStreamWriter::EndSectionE(std::size_t level) {
    if (!EndSection(level)) throw_xwrite_error_i();
}

void TKrXIniStreamWriter::SetCompactMode(bool compact) {
    if (compact) {
        if (m_compactLevel == 0) m_compactLevel = m_level;
    } else {
        if (m_compactLevel < m_level) return;
        m_compactLevel = 0;
        if (m_column != 0) {
            m_column = 0;
            if (!Put("\n", 1)) m_error = true;
        }
    }
    UpdateIndent();
}

// --- Nested documents -------------------------------------------------------------------------

bool TKrXIniStreamWriter::WriteXIniS(const std::string& name, const std::string& xiniText) {
    const std::size_t level = BeginSectionS(name);
    bool ok = level != 0;
    ok = MergeXIni(xiniText) && ok;
    return EndSection(level ? level : m_level - 1) && ok;
}

bool TKrXIniStreamWriter::WriteXIniS(const std::string& name, const TKrXIniTree* tree) {
    const std::size_t level = BeginSectionS(name);
    bool ok = level != 0;
    ok = MergeXIni(tree) && ok;
    return EndSection(level ? level : m_level - 1) && ok;
}

bool TKrXIniStreamWriter::MergeXIni(const std::string& xiniText) {
    const char* data = xiniText.data();
    const std::size_t len = xiniText.size();
    TKrXmlParserLow parser;
    TKrXmlCollIniFindRoot finder;
    parser.ReadXml(data, len, nullptr, nullptr, &finder);
    if (!finder.tagEnd) return false;
    if (finder.empty) return true;
    TKrXmlCollIniQCopy copier(*this);
    const std::size_t start = static_cast<std::size_t>(finder.tagEnd - data);
    parser.ReadXml(finder.tagEnd, len - start, nullptr, nullptr, &copier);
    if (!copier.reachedEnd) return false;
    return LineBreak() && copier.ok;
}

bool TKrXIniStreamWriter::MergeXIni(const TKrXIniTree* tree) {
    return MergeXIni(tree, nullptr);
}

namespace {
std::size_t CountItems(const TKrXIniTree* tree) {
    std::size_t n = 0;
    std::vector<const TKrXIniTree*> open{tree};
    while (!open.empty()) {
        const TKrXIniTree* t = open.back();
        open.pop_back();
        n += t->Count();
        for (std::size_t i = 0; i < t->Count(); ++i)
            if (const TKrXIniTree* child = t->FindItem(i)->child.get()) open.push_back(child);
    }
    return n;
}
} // namespace

bool TKrXIniStreamWriter::MergeXIni(const TKrXIniTree* tree, TKrProgressHandler* progress) {
    if (!tree) return true;
    constexpr std::size_t ProgressStep = 4096;
    const double total = progress ? double(std::max<std::size_t>(CountItems(tree), 1)) : 1.0;
    std::size_t written = 0;
    // An explicit stack: trees may be nested deeper than the call stack allows.
    struct TFrame {
        const TKrXIniTree* tree;
        std::size_t next;
        std::size_t level; // what EndSection gets when the frame is done; 0 for the top
    };
    std::vector<TFrame> stack{{tree, 0, 0}};
    bool ok = true;
    while (!stack.empty()) {
        TFrame& f = stack.back();
        const TKrXIniTree::TItem* item = f.tree->FindItem(f.next++);
        if (!item) {
            const std::size_t level = f.level;
            stack.pop_back();
            if (level) ok = EndSection(level) && ok;
            continue;
        }
        if (progress && ++written % ProgressStep == 0) {
            progress->SetPosNB(double(written) / total);
            progress->CheckBreak();
        }
        const char letter = KrXIniItemLetter(item->type);
        switch (item->type) {
        case TE_KrXIniItemType::Section: {
            if (!item->child) break;
            ok = BeginSectionS(item->name) != 0 && ok;
            stack.push_back({item->child.get(), 0, m_level - 1});
            break;
        }
        case TE_KrXIniItemType::Integer:
        case TE_KrXIniItemType::Double:
        case TE_KrXIniItemType::String:
            ok = TagHeader(letter, item->name) && ok;
            ok = Atom(" v=\"", 4) && ok;
            ok = AtomEscaped(item->value.data(), item->value.size()) && ok;
            ok = Atom("\"/>", 3) && ok;
            ok = LineBreak() && ok;
            break;
        case TE_KrXIniItemType::Binary:
            ok = TagHeader('b', item->name) && ok;
            ok = Base64Body(item->value.data(), item->value.size()) && ok;
            break;
        default:
            m_error = true;
            throw TKrMessage("@MergeXIni error: invalid item type");
        }
    }
    return ok;
}

// --- Flush and close --------------------------------------------------------------------------

bool TKrXIniStreamWriter::Flush() {
    return m_buffer->Flush() || Fail();
}

void TKrXIniStreamWriter::FlushE() {
    if (!Flush()) throw_xwrite_error_i();
}

bool TKrXIniStreamWriter::CloseGZipChain() {
    bool ok = true;
    for (auto it = m_gzip.rbegin(); it != m_gzip.rend(); ++it)
        ok = (*it)->Close() && ok;
    if (!ok) m_error = true;
    return ok;
}

bool TKrXIniStreamWriter::Close() {
    if (m_level == 0) return true;
    if (m_level > 1) EndSection(1);
    m_level = 0;
    UpdateIndent();
    if (m_header < Bare) {
        Atom("</krini>", 8);
        LineBreak();
    }
    Flush();
    CloseGZipChain();
    return !m_error;
}

void TKrXIniStreamWriter::CloseE() {
    if (!Close()) throw_xwrite_error_i();
}

void TKrXIniStreamWriter::throw_xwrite_error_i() {
    KrXIniInternal::throw_xwrite_error(m_stream ? m_stream->GetInfoName() : std::string());
}

void TKrXIniStreamWriter::WriteRawE(const char* data, std::size_t n) {
    if (!WriteRaw(data, n)) throw_xwrite_error_i();
}
