// The INI dialect's writer, indexed reader and reader-writer.
#include "XIni/KrIni.h"

#include "Core/KrMessage.h"
#include "Core/KrNumberScan.h"
#include "Core/KrStringEncode.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <stdexcept>

using namespace KrNumberScan;

namespace {

const char kSignature[] = ";KrINI3.5\r\n";
const char kEnd[] = "\r\n;KrINIend\r\n";

// "%.16e" without the locale: 17 significant digits in scientific form, at least two exponent digits.
void AppendDouble(std::string& out, double v) {
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 16);
    char* e = std::find(buf, r.ptr, 'e');
    if (e == r.ptr || e + 3 > r.ptr) { // inf or nan
        out.append(buf, r.ptr);
        return;
    }
    out.append(buf, e + 2); // mantissa, 'e' and sign
    if (r.ptr - (e + 2) == 1) out += '0';
    out.append(e + 2, r.ptr);
}

void AppendInt(std::string& out, long long v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Parses doubles separated by ',' as "%lg,%lg,..." would: blanks before a number are skipped,
// the comma must follow the number directly.
int ScanDoubleList(const std::string& s, double** out, std::size_t n) {
    const char* p = s.data();
    const char* end = p + s.size();
    int count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) {
            if (p == end || *p != ',') break;
            ++p;
        }
        double v;
        TKrDoubleScan r = ScanDouble(p, end, v);
        if (r.end == p) break;
        *out[i] = v;
        ++count;
        p = r.end;
    }
    return count;
}

std::string HexOf(const char* s) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (; *s; ++s) {
        out += digits[static_cast<unsigned char>(*s) >> 4];
        out += digits[static_cast<unsigned char>(*s) & 15];
    }
    return out;
}

streamsize_t RemainingSize(TKrStream* s) {
    const streamsize_t size = s->getSize(), pos = s->getPosition();
    return size > pos ? size - pos : 0;
}

} // namespace

TKrIniFileManager::TKrIniFileManager(TKrStream* stream, krOpenMode mode, bool ownStream)
    : m_stream(stream), m_own(ownStream) {
    if (!stream) throw std::invalid_argument("TKrIniFileManager::TKrIniFileManager: Stream == NULL");
    try {
        switch (mode) {
        case krOpenWrite:
        case krCreateNew:
        case krCreate:
            m_mode = EMode::Writer;
            Put(kSignature);
            break;
        case krOpenRead:
            m_mode = EMode::Reader;
            OpenReader();
            break;
        case krOpenReadWrite:
            m_mode = EMode::ReaderWriter;
            OpenReaderWriter();
            break;
        default:
            break;
        }
    } catch (...) {
        if (m_own) delete m_stream;
        throw;
    }
}

TKrIniFileManager::~TKrIniFileManager() {
    try {
        Close();
    } catch (...) {
    }
}

bool TKrIniFileManager::Put(const std::string& text) {
    if (!m_stream->WriteAll(text.data(), static_cast<streamsize_t>(text.size()))) m_writeFailed = true;
    return !m_writeFailed;
}

void TKrIniFileManager::CheckWrite() const {
    if (m_mode == EMode::Reader) throw std::runtime_error("Cannot write for IniReader");
}

void TKrIniFileManager::CheckRead() const {
    if (m_mode == EMode::Writer) throw std::runtime_error("Cannot read for IniWriter");
}

void TKrIniFileManager::OpenReader() {
    // A leading CR LF makes a header or key on the first line look like every other one.
    const streamsize_t size = RemainingSize(m_stream);
    m_text.assign(static_cast<std::size_t>(size) + 2, '\0');
    m_text[0] = '\r';
    m_text[1] = '\n';
    if (size > 0 && !m_stream->ReadAll(&m_text[2], size)) throw std::runtime_error("StreamRead error");
    for (std::size_t p = m_text.find("\r\n["); p != std::string::npos; p = m_text.find("\r\n[", p + 1)) {
        std::size_t close = m_text.find_first_of("]\r\n", p + 3);
        if (close == std::string::npos || m_text[close] != ']') continue;
        if (!m_sections.empty()) m_sections.back().end = p;
        SSection s;
        s.name = m_text.substr(p + 3, close - p - 3);
        s.start = s.pos = p;
        m_sectionIndex.emplace(s.name, m_sections.size());
        m_sections.push_back(std::move(s));
    }
    if (!m_sections.empty()) m_sections.back().end = m_text.size();
}

void TKrIniFileManager::OpenReaderWriter() {
    const streamsize_t size = RemainingSize(m_stream);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !m_stream->ReadAll(&text[0], size)) throw std::runtime_error("StreamRead error");
    std::vector<SIniEntry>* entries = nullptr;
    std::size_t line = 0;
    for (std::size_t p = 0; p < text.size();) {
        std::size_t nl = text.find('\n', p);
        if (nl == std::string::npos) nl = text.size();
        std::size_t e = nl;
        if (e > p && text[e - 1] == '\r') --e;
        ++line;
        std::string l = text.substr(p, e - p);
        p = nl + 1;
        if (l.empty() || l[0] == ';' || l[0] == '#') continue;
        if (l[0] == '[') {
            std::size_t close = l.find(']');
            if (close == std::string::npos)
                throw TKrMessage("@Malformed section header in line %1%: %2%") << int(line) << l;
            std::string name = l.substr(1, close - 1);
            if (m_entries.count(name)) throw std::runtime_error("illegal ini file");
            entries = &m_entries[name];
            continue;
        }
        if (!entries) entries = &m_entries[""]; // lines before the first header
        SIniEntry entry;
        std::size_t eq = l.find('=');
        if (eq == std::string::npos) {
            entry.key = std::move(l);
            entry.bare = true;
        } else {
            entry.key = l.substr(0, eq);
            entry.value = l.substr(eq + 1);
        }
        entries->push_back(std::move(entry));
    }
}

bool TKrIniFileManager::Close() {
    if (m_mode == EMode::Writer) {
        Put(kEnd);
    } else if (m_mode == EMode::ReaderWriter && m_changed) {
        if (!m_stream->setPosition(0) || !m_stream->setSize(0)) m_writeFailed = true;
        std::string out = kSignature;
        for (const auto& s : m_entries) { // std::map: ascending byte order of the names
            // Lines before the first header form section ""; they go back without a header,
            // an empty "" section as "[]" so that it survives the rewrite.
            if (!s.first.empty() || s.second.empty()) out += "\r\n[" + s.first + "]\r\n";
            for (const SIniEntry& e : s.second) {
                out += e.key;
                if (!e.bare) out += '=' + e.value;
                out += "\r\n";
            }
        }
        out += kEnd;
        Put(out);
    }
    if (m_mode != EMode::None && m_stream && !m_stream->Flush() && m_mode != EMode::Reader)
        m_writeFailed = true;
    m_mode = EMode::None;
    m_text.clear();
    m_text.shrink_to_fit();
    m_sections.clear();
    m_sectionIndex.clear();
    m_entries.clear();
    if (m_own) {
        delete m_stream;
        m_own = false;
    }
    return !m_writeFailed;
}

// ---- writing ---------------------------------------------------------------------------------

bool TKrIniFileManager::WriteSection(const std::string& name, bool allowRepeat) {
    CheckWrite();
    if (m_mode == EMode::ReaderWriter) {
        if (!m_entries.count(name)) m_changed = true;
        m_entries[name];
        m_section = name;
        return true;
    }
    if (m_mode != EMode::Writer) return false;
    if (!m_written.empty() && m_written.back() == name) return true;
    if (!allowRepeat && std::find(m_written.begin(), m_written.end(), name) != m_written.end()) return false;
    m_written.push_back(name);
    m_section = name;
    return Put("\r\n[" + name + "]\r\n");
}

std::vector<SIniEntry>* TKrIniFileManager::CurrentEntries() {
    auto it = m_entries.find(m_section);
    return it == m_entries.end() ? nullptr : &it->second;
}

bool TKrIniFileManager::WriteValue(const std::string& key, const std::string& value) {
    CheckWrite();
    if (m_mode == EMode::Writer) return Put(key + '=' + value + "\r\n");
    if (m_mode != EMode::ReaderWriter) return false;
    std::vector<SIniEntry>& entries = m_entries[m_section];
    m_changed = true;
    for (SIniEntry& e : entries)
        if (!e.bare && EqualNoCase(e.key, key)) {
            e.value = value;
            return true;
        }
    entries.push_back(SIniEntry{key, value, false}); // new keys go to the end of their section
    return true;
}

bool TKrIniFileManager::WriteString(const std::string& key, const std::string& value, bool quote) {
    return WriteValue(key, KrEncodeString(value, quote));
}
bool TKrIniFileManager::WriteStdString(const std::string& key, const std::string& value) {
    return WriteValue(key, KrEncodeString(value, true));
}
bool TKrIniFileManager::WriteRawString(const std::string& key, const std::string& text) {
    return WriteValue(key, text);
}
bool TKrIniFileManager::WriteInt(const std::string& key, int value) {
    std::string s;
    AppendInt(s, value);
    return WriteValue(key, s);
}
bool TKrIniFileManager::WriteDoubles(const std::string& key, const double* values, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        if (i) s += ',';
        AppendDouble(s, values[i]);
    }
    return WriteValue(key, s);
}
bool TKrIniFileManager::WriteDouble(const std::string& key, double value) {
    return WriteDoubles(key, &value, 1);
}
bool TKrIniFileManager::WriteDouble2(const std::string& key, double a, double b) {
    const double v[] = {a, b};
    return WriteDoubles(key, v, 2);
}
bool TKrIniFileManager::WriteDouble3(const std::string& key, double a, double b, double c) {
    const double v[] = {a, b, c};
    return WriteDoubles(key, v, 3);
}
bool TKrIniFileManager::WriteDouble4(const std::string& key, double a, double b, double c, double d) {
    const double v[] = {a, b, c, d};
    return WriteDoubles(key, v, 4);
}
bool TKrIniFileManager::WriteDouble5(const std::string& key, double a, double b, double c, double d,
                                     double e) {
    const double v[] = {a, b, c, d, e};
    return WriteDoubles(key, v, 5);
}
bool TKrIniFileManager::WriteBinary(const std::string& key, const void* data, std::size_t size) {
    return WriteValue(key, KrEncodeString(std::string(static_cast<const char*>(data), size), true));
}
bool TKrIniFileManager::WriteStdBinary(const std::string& key, const std::string& bytes) {
    return WriteValue(key, KrEncodeString(bytes, true));
}

bool TKrIniFileManager::WriteFormatted(const std::string& key, const char* format, ...) {
    CheckWrite();
    std::string s;
    va_list args;
    va_start(args, format);
    try {
        for (const char* f = format; f && *f; ++f) {
            if (f != format) s += ',';
            switch (*f) {
            case 'i':
            case 'I':
                AppendInt(s, va_arg(args, int));
                break;
            case 'd':
            case 'D':
                AppendDouble(s, va_arg(args, double));
                break;
            case 's':
            case 'S': {
                const char* t = va_arg(args, const char*);
                s += '"';
                s += t ? t : "";
                s += '"';
                break;
            }
            case 'b':
            case 'B': {
                const char* t = va_arg(args, const char*);
                s += HexOf(t ? t : "");
                break;
            }
            default:
                throw std::invalid_argument(
                    std::string("TKrIniFileManager::WriteFormatted: bad format letter in ") + format);
            }
        }
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    return WriteValue(key, s);
}

// ---- reading ---------------------------------------------------------------------------------

bool TKrIniFileManager::SetSection(const std::string& name) {
    CheckRead();
    if (m_mode == EMode::ReaderWriter) {
        m_section = name;
        return m_entries.count(name) != 0;
    }
    auto it = m_sectionIndex.find(name);
    if (it == m_sectionIndex.end()) {
        m_current = std::string::npos;
        m_section.clear();
        return false;
    }
    m_current = it->second; // each section keeps its own read position
    m_section = name;
    return true;
}

std::size_t TKrIniFileManager::GetSectionCount() const {
    CheckRead();
    return m_mode == EMode::ReaderWriter ? m_entries.size() : m_sections.size();
}

std::string TKrIniFileManager::GetSectionName(std::size_t i) const {
    CheckRead();
    if (m_mode == EMode::ReaderWriter) {
        if (i >= m_entries.size()) return {};
        return std::next(m_entries.begin(), static_cast<std::ptrdiff_t>(i))->first;
    }
    return i < m_sections.size() ? m_sections[i].name : std::string();
}

bool TKrIniFileManager::ReadSection(std::vector<std::string>& keys) {
    CheckRead();
    keys.clear();
    if (m_mode == EMode::ReaderWriter) {
        const std::vector<SIniEntry>* entries = CurrentEntries();
        if (!entries) return false;
        for (const SIniEntry& e : *entries)
            keys.push_back(e.key);
        return true;
    }
    if (m_current == std::string::npos) return false;
    const SSection& s = m_sections[m_current];
    std::size_t p = m_text.find("\r\n", s.start + 2); // skip the header line
    while (p != std::string::npos && p < s.end) {
        p += 2;
        std::size_t e = std::min(m_text.find('\r', p), s.end);
        if (e > p) {
            std::string line = m_text.substr(p, e - p);
            std::size_t eq = line.find('=');
            keys.push_back(eq == std::string::npos ? line : line.substr(0, eq));
        }
        p = m_text.find("\r\n", e);
    }
    return true;
}

const std::string* TKrIniFileManager::Find(const std::string& key) {
    CheckRead();
    if (m_mode == EMode::ReaderWriter) {
        std::vector<SIniEntry>* entries = CurrentEntries();
        if (!entries) return nullptr;
        for (const SIniEntry& e : *entries)
            if (!e.bare && EqualNoCase(e.key, key)) {
                m_value = e.value;
                return &m_value;
            }
        return nullptr;
    }
    if (m_current == std::string::npos) return nullptr;
    SSection& s = m_sections[m_current];
    const std::string needle = "\r\n" + key + "=";
    // From the last read position to the end, then from the start: reading in file order is one scan.
    auto search = [&](std::size_t from, std::size_t to) -> std::size_t {
        if (from >= to || to - from < needle.size()) return std::string::npos;
        const char* b = m_text.data() + from;
        const char* e = m_text.data() + to;
        const char* hit = std::search(b, e, needle.begin(), needle.end());
        return hit == e ? std::string::npos : static_cast<std::size_t>(hit - m_text.data());
    };
    std::size_t hit = search(s.pos, s.end);
    if (hit == std::string::npos) hit = search(s.start, std::min(s.end, s.pos + needle.size() - 1));
    if (hit == std::string::npos) return nullptr;
    std::size_t v = hit + needle.size();
    std::size_t e = m_text.find('\r', v);
    if (e == std::string::npos) e = m_text.size();
    s.pos = e;
    m_value.assign(m_text, v, e - v);
    return &m_value;
}

const char* TKrIniFileManager::ReadRawString(const std::string& key) {
    const std::string* v = Find(key);
    return v ? v->c_str() : nullptr;
}

const char* TKrIniFileManager::ReadString(const std::string& key, const char* def) {
    const std::string* v = Find(key);
    if (!v) return def;
    m_value = KrDecodeString(m_value, !m_value.empty() && m_value[0] == '"');
    return m_value.c_str();
}

std::string TKrIniFileManager::ReadStdString(const std::string& key, const std::string& def) {
    const std::string* v = Find(key);
    if (!v) return def;
    return KrDecodeString(*v, !v->empty() && (*v)[0] == '"');
}

int TKrIniFileManager::ReadInt(const std::string& key, int def) {
    const std::string* v = Find(key);
    if (!v) return def;
    long n;
    const char* b = v->data();
    if (ScanLong(b, b + v->size(), 10, n) == b) return def;
    return static_cast<int>(std::clamp<long>(n, INT_MIN, INT_MAX));
}

double TKrIniFileManager::ReadDouble(const std::string& key, double def) {
    double* out[] = {&def};
    const std::string* v = Find(key);
    if (v) ScanDoubleList(*v, out, 1);
    return def;
}

int TKrIniFileManager::ReadDoubles(const std::string& key, double* values, std::size_t n) {
    const std::string* v = Find(key);
    if (!v || !values) return 0;
    std::vector<double*> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = values + i;
    return ScanDoubleList(*v, out.data(), n);
}

int TKrIniFileManager::ReadDouble2(const std::string& key, double* a, double* b) {
    double* out[] = {a, b};
    const std::string* v = Find(key);
    return v ? ScanDoubleList(*v, out, 2) : 0;
}
int TKrIniFileManager::ReadDouble3(const std::string& key, double* a, double* b, double* c) {
    double* out[] = {a, b, c};
    const std::string* v = Find(key);
    return v ? ScanDoubleList(*v, out, 3) : 0;
}
int TKrIniFileManager::ReadDouble4(const std::string& key, double* a, double* b, double* c, double* d) {
    double* out[] = {a, b, c, d};
    const std::string* v = Find(key);
    return v ? ScanDoubleList(*v, out, 4) : 0;
}
int TKrIniFileManager::ReadDouble5(const std::string& key, double* a, double* b, double* c, double* d,
                                   double* e) {
    double* out[] = {a, b, c, d, e};
    const std::string* v = Find(key);
    return v ? ScanDoubleList(*v, out, 5) : 0;
}

int TKrIniFileManager::ReadFormatted(const std::string& key, const char* format, ...) {
    const std::string* found = Find(key);
    if (!found) return -1;
    const std::string v = *found;
    const char* p = v.data();
    const char* end = p + v.size();
    int count = 0;
    va_list args;
    va_start(args, format);
    try {
        for (const char* f = format; f && *f; ++f) {
            if (f != format) {
                if (p == end || *p != ',') break;
                ++p;
            }
            char c = *f;
            if (c == 'i' || c == 'I') {
                int* out = va_arg(args, int*);
                long n;
                const char* e = ScanLong(p, end, 10, n);
                if (e == p) break;
                *out = static_cast<int>(std::clamp<long>(n, INT_MIN, INT_MAX));
                p = e;
            } else if (c == 'd' || c == 'D') {
                double* out = va_arg(args, double*);
                TKrDoubleScan r = ScanDouble(p, end, *out);
                if (r.end == p) break;
                p = r.end;
            } else if (c == 's' || c == 'S') {
                std::string* out = va_arg(args, std::string*);
                if (p == end || *p != '"') break;
                const char* q = std::find(p + 1, end, '"');
                if (q == end) break;
                out->assign(p + 1, q);
                p = q + 1;
            } else if (c == 'b' || c == 'B') {
                std::string* out = va_arg(args, std::string*);
                const char* q = std::find(p, end, ',');
                if ((q - p) % 2) throw TKrMessage("@Odd number of hex digits in the value of %1%") << key;
                std::string bytes;
                for (; p < q; p += 2) {
                    int hi = KrHexDecode(p[0]), lo = KrHexDecode(p[1]);
                    if (hi < 0 || lo < 0) throw TKrMessage("@Bad hex digit in the value of %1%") << key;
                    bytes += static_cast<char>(hi * 16 + lo);
                }
                *out = std::move(bytes);
            } else {
                throw std::invalid_argument(
                    std::string("TKrIniFileManager::ReadFormatted: bad format letter in ") + format);
            }
            ++count;
        }
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    return count;
}

bool TKrIniFileManager::ReadBinary(const std::string& key, const void** data, std::size_t* size) {
    const std::string* v = Find(key);
    if (!v) return false;
    m_value = KrDecodeString(m_value, !m_value.empty() && m_value[0] == '"');
    if (data) *data = m_value.data();
    if (size) *size = m_value.size();
    return true;
}

bool TKrIniFileManager::ReadStdBinary(const std::string& key, std::string& bytes) {
    const std::string* v = Find(key);
    if (!v) return false;
    bytes = KrDecodeString(*v, !v->empty() && (*v)[0] == '"');
    return true;
}

bool TKrIniFileManager::DeleteSection(const std::string& name) {
    if (m_mode != EMode::ReaderWriter) return false;
    if (!m_entries.erase(name)) return false;
    m_changed = true;
    return true;
}

bool TKrIniFileManager::DeleteIdent(const std::string& key) {
    if (m_mode != EMode::ReaderWriter) return false;
    std::vector<SIniEntry>* entries = CurrentEntries();
    if (!entries) return false;
    auto it = std::find_if(entries->begin(), entries->end(),
                           [&](const SIniEntry& e) { return !e.bare && EqualNoCase(e.key, key); });
    if (it == entries->end()) return false;
    entries->erase(it);
    m_changed = true;
    return true;
}
