// Delimited text tables: the line parser, the header template and the column-bound line writer.
#include "XIni/KrCSV.h"

#include "Core/KrExceptions.h"
#include "Core/KrModule.h"
#include "Core/KrNumberScan.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <charconv>
#include <climits>
#include <cstring>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// strtod of the "C" locale over a NUL-terminated text; `end` gets the first byte not read.
double ScanC(const char* text, const char** end) {
    double v = 0;
    const char* last = text + std::strlen(text);
    KrNumberScan::TKrDoubleScan s = KrNumberScan::ScanDouble(text, last, v);
    if (end) *end = s.end;
    return s.end == text ? 0.0 : v;
}

bool OnlyBlanks(const char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
        ++p;
    return *p == 0;
}

// A message with the library's text for `id`; the bare identifier when no language texts are
// loaded, so the failure stays recognisable.
TKrMessage ResourceMessage(const char* id) {
    std::string text = KrModule_Initializer::instance().get_resource_string(id);
    return TKrMessage(text.empty() ? "@" + std::string(id) : text);
}

bool ValidUtf8(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* e = p + s.size();
    while (p < e) {
        unsigned c = *p++;
        int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (more < 0 || (more == 1 && c < 0xC2) || e - p < more) return false;
        for (int k = 0; k < more; ++k)
            if ((*p++ & 0xC0) != 0x80) return false;
    }
    return true;
}

} // namespace

double atof_Smart(const char* text) {
    if (!text) return 0.0;
    const char* comma = std::strchr(text, ',');
    if (!comma) return ScanC(text, nullptr);
    std::string copy(text);
    copy[static_cast<std::size_t>(comma - text)] = '.';
    return ScanC(copy.c_str(), nullptr);
}

// --- TKrCSVParser ------------------------------------------------------------------------------

TKrCSVParser::TKrCSVParser() {
    InitParams();
}

TKrCSVParser::TKrCSVParser(var_a<TKrStream*> stream, bool rewind) {
    InitParams();
    Init(stream, rewind);
}

TKrCSVParser::~TKrCSVParser() = default;

void TKrCSVParser::Init(var_a<TKrStream*> stream, bool rewind) {
    m_stream = stream;
    if (rewind && m_stream) m_stream->setPosition(0);
    m_aheadLen = 0;
    m_fields.clear();
    m_fields.reserve(100);
    m_lineLen = 0;
    m_lineNo = 0;
    m_nextLineNo = 1;
    m_unterminated = m_truncated = false;
}

void TKrCSVParser::InitParams() {
    m_separators = " \t,";
    m_strict = false;
    m_quotes = true;
    m_decimalComma = false;
    m_ansi = true;
    m_angles = false;
    SetMaxLineLength(2048);
}

void TKrCSVParser::SetMaxLineLength(std::size_t bytes) {
    m_maxLine = bytes < 1 ? 1 : bytes;
    m_line.assign(m_maxLine + 1, 0);
    // Every byte of the line may end up in a field, plus one NUL per field.
    m_fieldBuf.assign(2 * (m_maxLine + 1), 0);
    m_fields.clear();
    m_lineLen = 0;
}

void TKrCSVParser::BuildStopTable() {
    std::memset(m_stop, 0, sizeof m_stop);
    for (char c : m_separators)
        if (c != 0) m_stop[static_cast<unsigned char>(c)] = 1;
    m_stop[static_cast<unsigned char>('\r')] = m_stop[static_cast<unsigned char>('\n')] = 2;
    m_stopTableOf = m_separators;
}

bool TKrCSVParser::LineBytes(streamsize_t pos, const char*& bytes, std::size_t& n) {
    // Reading ahead is only sound while the position is known; the window is dropped when the
    // stream is repositioned outside it, and the end of the data is read again once reached, so
    // that a stream that grows meanwhile is followed.
    if (pos != TKrStream::invalid_value && pos >= m_aheadPos && pos < m_aheadPos + streamsize_t(m_aheadLen)) {
        const std::size_t off = std::size_t(pos - m_aheadPos), avail = m_aheadLen - off;
        if (avail >= m_maxLine || m_aheadAtEnd) {
            bytes = m_ahead.data() + off;
            n = std::min(avail, m_maxLine);
            return true;
        }
    }
    constexpr std::size_t kAhead = 64 * 1024;
    m_ahead.resize(std::max(kAhead, m_maxLine));
    m_aheadLen = 0;
    const streamsize_t got = m_stream->Read(m_ahead.data(), m_ahead.size());
    if (got == TKrStream::invalid_value || got == 0) return false;
    m_aheadLen = pos == TKrStream::invalid_value ? 0 : std::size_t(got);
    m_aheadPos = pos;
    m_aheadAtEnd = std::size_t(got) < m_ahead.size();
    bytes = m_ahead.data();
    n = std::min(std::size_t(got), m_maxLine);
    return true;
}

bool TKrCSVParser::NextString() {
    m_fields.clear();
    m_lineLen = 0;
    m_unterminated = m_truncated = false;
    if (!m_stream) return false;
    const streamsize_t pos = m_stream->getPosition();
    const char* b = nullptr;
    std::size_t n = 0;
    if (!LineBytes(pos, b, n)) return false;
    if (m_stopTableOf != m_separators) BuildStopTable();
    const unsigned char* stop = m_stop;
    char* out = m_fieldBuf.data();
    std::size_t o = 0, i = 0, breaks = 0;
    auto isSep = [&](char c) { return stop[static_cast<unsigned char>(c)] == 1; };
    auto atEnd = [&] { return i >= n || b[i] == '\r' || b[i] == '\n'; };
    bool pending = false; // a separator was read, so a field follows even when empty
    for (;;) {
        if (!m_strict)
            while (i < n && IsBlank(b[i]))
                ++i;
        if (atEnd()) {
            if (pending) {
                m_fields.push_back(o);
                out[o++] = 0;
            }
            break;
        }
        m_fields.push_back(o);
        if (m_quotes && b[i] == '"') {
            bool closed = false;
            for (++i; i < n; ++i) {
                char c = b[i];
                if (c == '"') {
                    if (i + 1 < n && b[i + 1] == '"') {
                        out[o++] = '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (c == '\n' || (c == '\r' && (i + 1 >= n || b[i + 1] != '\n'))) ++breaks;
                out[o++] = c;
            }
            if (!closed) m_unterminated = true;
        }
        while (i < n && !stop[static_cast<unsigned char>(b[i])])
            out[o++] = b[i++];
        out[o++] = 0;
        pending = false;
        if (atEnd()) break;
        if (m_strict || !IsBlank(b[i])) {
            ++i;
            pending = true;
            continue;
        }
        while (i < n && IsBlank(b[i]) && isSep(b[i]))
            ++i;
        if (i < n && isSep(b[i]) && !IsBlank(b[i])) {
            ++i;
            pending = true;
        }
    }
    std::memcpy(m_line.data(), b, i);
    m_lineLen = i;
    m_lineNo = m_nextLineNo;
    std::size_t next = i;
    if (i < n) {
        ++breaks;
        ++next;
        if (b[i] == '\r') {
            if (i + 1 < n) {
                if (b[i + 1] == '\n') ++next;
            } else {
                char c = 0;
                m_stream->setPosition(pos + n);
                if (m_stream->Read(&c, 1) == 1 && c == '\n') ++next;
            }
        }
    } else if (n == m_maxLine) {
        // The line does not fit: skip its rest up to the next line end (quotes are not
        // followed there, so a quoted line break ends the skip too).
        char chunk[512];
        bool cr = false, done = false;
        std::size_t skipped = 0; // bytes of the line beyond the maximum
        m_stream->setPosition(pos + n);
        while (!done) {
            streamsize_t k = m_stream->Read(chunk, sizeof chunk);
            if (k == TKrStream::invalid_value || k == 0) break;
            for (std::size_t j = 0; j < k && !done; ++j) {
                if (cr) {
                    if (chunk[j] == '\n') ++next;
                    done = true;
                } else if (chunk[j] == '\n') {
                    ++next;
                    done = true;
                } else if (chunk[j] == '\r') {
                    ++next;
                    cr = true;
                } else {
                    ++next;
                    ++skipped;
                }
            }
        }
        m_truncated = skipped > 0;
        if (m_truncated) m_unterminated = false; // the quote may close in the skipped part
        if (done || cr) ++breaks;
    }
    m_nextLineNo += breaks;
    m_stream->setPosition(pos + next);
    return true;
}

bool TKrCSVParser::NextStringE() {
    if (!NextString()) return false;
    if (m_unterminated)
        throw TKrMessage("@CSV line %1%: a quoted field is not closed before the end of the data.")
            << m_lineNo;
    if (m_truncated) throw TKrMessage("@CSV line %1% is longer than %2% bytes.") << m_lineNo << m_maxLine;
    return true;
}

std::string TKrCSVParser::GetCurStr() const {
    return DecodeString(std::string(m_line.data(), m_lineLen));
}

const char* TKrCSVParser::GetRawField(std::size_t i) const {
    return i < m_fields.size() ? m_fieldBuf.data() + m_fields[i] : "";
}

void TKrCSVParser::ThrowField(std::size_t i, const char* reason) const {
    throw TKrMessage("@CSV line %1%, field %2% (\"%3%\"): %4%")
        << m_lineNo << (i + 1) << GetRawField(i) << reason;
}

void TKrCSVParser::CheckNumFieldsE(std::size_t count) const {
    if (m_fields.size() != count)
        throw TKrMessage("@CSV line %1% has %2% fields instead of %3%.")
            << m_lineNo << m_fields.size() << count;
}

int TKrCSVParser::Get_x_int(std::size_t i, bool check) const {
    if (check && i >= m_fields.size()) ThrowField(i, "the field is missing.");
    const char* f = GetRawField(i);
    long v = 0;
    bool range = false;
    const char* e = KrNumberScan::ScanLong(f, f + std::strlen(f), 10, v, &range);
    if (check && (e == f || !OnlyBlanks(e) || range || v < INT_MIN || v > INT_MAX))
        ThrowField(i, "not an integer.");
    return e == f ? 0 : static_cast<int>(v);
}

bool TKrCSVParser::ParseDouble(const char* f, double& value, bool whole) const {
    if (m_angles) {
        std::string s(f);
        std::size_t deg = s.find('\xB0');
        if (deg != std::string::npos) {
            s[deg] = ' ';
            if (deg > 0 && s[deg - 1] == '\xC2') s[deg - 1] = ' '; // the sign written as UTF-8
        }
        std::size_t min = s.find('\'');
        if (min != std::string::npos) s[min] = ' ';
        if (m_decimalComma) {
            std::size_t c = s.find(',');
            if (c != std::string::npos) s[c] = '.';
        }
        const char* p = s.c_str();
        const char* last = p + s.size();
        long d = 0, m = 0;
        double sec = 0;
        const char* e1 = KrNumberScan::ScanLong(p, last, 0, d);
        const char* e2 = e1 == p ? e1 : KrNumberScan::ScanLong(e1, last, 0, m);
        const char* e3 = e2 == e1 ? e2 : KrNumberScan::ScanDouble(e2, last, sec).end;
        if (e1 != p && e2 != e1 && e3 != e2 && m >= 0 && m < 61 && sec >= 0 && sec <= 60 &&
            (!whole || OnlyBlanks(e3))) {
            value = d < 0 ? d - m / 60.0 - sec / 3600.0 : d + m / 60.0 + sec / 3600.0;
            return true;
        }
    }
    const char* e = nullptr;
    if (m_decimalComma && std::strchr(f, ',')) {
        std::string s(f);
        s[s.find(',')] = '.';
        value = ScanC(s.c_str(), &e);
        return e != s.c_str() && (!whole || OnlyBlanks(e));
    }
    value = ScanC(f, &e);
    return e != f && (!whole || OnlyBlanks(e));
}

double TKrCSVParser::Get_x_double(std::size_t i, bool check) const {
    if (check && i >= m_fields.size()) ThrowField(i, "the field is missing.");
    double v = 0;
    if (!ParseDouble(GetRawField(i), v, check) && check) ThrowField(i, "not a number.");
    return v;
}

std::string TKrCSVParser::Get_x_string(std::size_t i, bool check) const {
    if (check && i >= m_fields.size()) ThrowField(i, "the field is missing.");
    return DecodeString(GetRawField(i));
}

std::string TKrCSVParser::DecodeString(const std::string& s) const {
    if (!m_ansi || ValidUtf8(s)) return s;
    std::string out;
    out.reserve(s.size() * 2);
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// --- TKrCSVTemplate ----------------------------------------------------------------------------

std::string TKrCSVTemplate::Normalize(const std::string& name) {
    std::string n;
    for (char c : name) {
        if (c == ' ' || c == '\t' || c == '_' || c == '-') continue;
        n += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return n;
}

bool TKrCSVTemplate::Init(const std::string& headerLine) {
    m_byName.clear();
    m_byNorm.clear();
    m_columns = 0;
    TKrCSVParser p;
    p.SetSeparators(" ,;");
    p.SetAnsi(false);
    p.SetMaxLineLength(headerLine.size() + 1);
    p.Init(new_a<TKrStringStream>(headerLine), true);
    if (!p.NextString() || p.Unterminated() || p.NumFields() == 0) return false;
    m_columns = p.NumFields();
    for (std::size_t i = 0; i < m_columns; ++i) {
        std::string name = p.GetRawField(i);
        if (name.empty() || name == "*") continue;
        m_byName.emplace(name, static_cast<int>(i));
        m_byNorm.emplace(Normalize(name), static_cast<int>(i));
    }
    return true;
}

int TKrCSVTemplate::Find(const std::string& name) const {
    auto it = m_byName.find(name);
    if (it != m_byName.end()) return it->second;
    it = m_byNorm.find(Normalize(name));
    return it != m_byNorm.end() ? it->second : -1;
}

// --- TKrCSVCreator -----------------------------------------------------------------------------

namespace {
const char* const kTypeNames[] = {"int", "unsigned", "double", "text"};
}

int TKrCSVCreator::TItem::TypeFromName(const std::string& name) {
    for (int t = 0; t < 4; ++t)
        if (name == kTypeNames[t]) return t;
    return -1;
}

const char* TKrCSVCreator::TItem::TypeName(int type) {
    return type >= 0 && type < 4 ? kTypeNames[type] : "";
}

void TKrCSVCreator::TParams::Load(TKrXIniReader* r) {
    std::size_t k;
    if ((k = r->FindF("decimal_comma", 0)) != TKrXIniReader::npos)
        decimal_comma = r->Read<bool>(k, decimal_comma);
    if ((k = r->FindF("quote_all_fields", 0)) != TKrXIniReader::npos)
        quote_all_fields = r->Read<bool>(k, quote_all_fields);
    if ((k = r->FindF("quote_all_text_fields", 0)) != TKrXIniReader::npos)
        quote_all_text_fields = r->Read<bool>(k, quote_all_text_fields);
    if ((k = r->FindF("separator", 0)) != TKrXIniReader::npos) {
        std::string s = r->Read<std::string>(k, std::string(1, separator));
        if (!s.empty()) separator = s[0];
    }
    if ((k = r->FindF("decimal_limit", 0)) != TKrXIniReader::npos)
        decimal_limit = r->Read<unsigned long>(k, decimal_limit);
    if ((k = r->FindF("use_decimal_limit", 0)) != TKrXIniReader::npos)
        use_decimal_limit = r->Read<bool>(k, use_decimal_limit);
}

void TKrCSVCreator::TParams::SaveE(TKrXIniWriter* w) const {
    w->WriteSE("decimal_comma", decimal_comma);
    w->WriteSE("quote_all_fields", quote_all_fields);
    w->WriteSE("quote_all_text_fields", quote_all_text_fields);
    w->WriteSE("separator", std::string(1, separator));
    w->WriteSE("decimal_limit", decimal_limit);
    w->WriteSE("use_decimal_limit", use_decimal_limit);
}

void TKrCSVCreator::TItems::Load(TKrXIniReader* r) {
    clear();
    const std::size_t level = r->EnterSectionS("items");
    if (!level) return;
    std::size_t pos = 0;
    while (std::size_t inner = r->EnterSectionSP("item", &pos)) {
        TItem item;
        std::size_t k = r->FindF("type", 0);
        item.type = TItem::TypeFromName(k == TKrXIniReader::npos ? "" : r->Read<std::string>(k, ""));
        k = r->FindF("name", 0);
        item.name = k == TKrXIniReader::npos ? "" : r->Read<std::string>(k, "");
        push_back(item);
        r->ExitSection(inner);
    }
    r->ExitSection(level);
}

void TKrCSVCreator::TItems::SaveE(TKrXIniWriter* w) const {
    const std::size_t level = w->BeginSectionSE("items");
    for (const TItem& item : *this) {
        w->BeginSectionSE("item");
        w->WriteSE("type", std::string(TItem::TypeName(item.type)));
        w->WriteSE("name", item.name);
        w->EndSectionE();
    }
    w->EndSectionE(level);
}

bool TKrCSVCreator::TItems::Bind(const std::string& name, const void* value) {
    bool found = false;
    for (TItem& item : *this) {
        if (item.name == name) {
            item.value = value;
            found = true;
        }
    }
    return found;
}

void TKrCSVCreator::Reset() {
    m_stream = var_a<TKrStream*>();
    m_header.clear();
    m_last.clear();
    m_columns.clear();
}

void TKrCSVCreator::Init(var_a<TKrStream*> stream, const std::string& headerLine) {
    if (items.empty()) throw ResourceMessage("global.CSVErrNoItems");
    if (params.separator == '"') throw ResourceMessage("global.CSVErrInvalidSep");
    Reset();
    m_stream = stream;
    m_header = headerLine;
    m_last.reserve(1024);
    TKrCSVParser p;
    p.SetSeparators(" \t;,");
    p.SetAnsi(false);
    p.SetMaxLineLength(headerLine.size() + 1);
    p.Init(new_a<TKrStringStream>(headerLine), true);
    if (!p.NextString() || p.Unterminated() || p.NumFields() == 0)
        throw ResourceMessage("global.CSVErrTemplate");
    for (std::size_t c = 0; c < p.NumFields(); ++c) {
        int bound = -1;
        for (std::size_t k = 0; k < items.size() && bound < 0; ++k)
            if (items[k].name == p.GetRawField(c)) bound = static_cast<int>(k);
        m_columns.push_back(bound);
    }
}

void TKrCSVCreator::WriteLine() {
    std::string& line = m_last;
    line.clear();
    const char sep = params.separator;
    char num[512];
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        if (c) line += sep;
        if (m_columns[c] < 0) continue;
        const TItem& item = items[static_cast<std::size_t>(m_columns[c])];
        if (!item.value) continue;
        if (item.type == TItem::tText) {
            const char* t = static_cast<const char*>(item.value);
            // Line ends inside a text are quoted too, so that the line reads back as one record.
            bool quote = params.quote_all_fields || params.quote_all_text_fields ||
                         std::strpbrk(t, "\"\r\n") || std::strchr(t, sep);
            if (!quote) {
                line += t;
                continue;
            }
            line += '"';
            for (; *t; ++t) {
                if (*t == '"') line += '"';
                line += *t;
            }
            line += '"';
            continue;
        }
        std::to_chars_result r{num, std::errc()};
        bool quote = params.quote_all_fields;
        switch (item.type) {
        case TItem::tInt:
            r = std::to_chars(num, num + sizeof num, *static_cast<const int*>(item.value));
            break;
        case TItem::tUnsigned:
            r = std::to_chars(num, num + sizeof num, *static_cast<const unsigned*>(item.value));
            break;
        case TItem::tDouble: {
            // A fixed text of a double has at most 309 integer digits; the precision is capped
            // so that it always fits the buffer.
            unsigned long prec = params.use_decimal_limit ? params.decimal_limit : 18;
            if (prec > 150) prec = 150;
            r = std::to_chars(num, num + sizeof num, *static_cast<const double*>(item.value),
                              std::chars_format::fixed, static_cast<int>(prec));
            if (params.decimal_comma) {
                char* dot = static_cast<char*>(std::memchr(num, '.', static_cast<std::size_t>(r.ptr - num)));
                if (dot) *dot = ',';
            }
            quote = quote || (params.decimal_comma ? sep == ',' : sep == '.');
            break;
        }
        default:
            KrThrowInternalErrorText("void TKrCSVCreator::WriteLine()", __LINE__,
                                     "Invalid item specification");
        }
        if (quote) line += '"';
        line.append(num, r.ptr);
        if (quote) line += '"';
    }
    line += "\r\n";
    if (!m_stream || m_stream->Write(line.data(), line.size()) != line.size())
        throw ResourceMessage("global.CSVWriteError");
}
