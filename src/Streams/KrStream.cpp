// Default behaviours of the stream interface.
#include "Streams/KrStream.h"
#include "Core/KrMessage.h"

#include <cstring>
#include <vector>

namespace {
constexpr streamsize_t k32BitLimit = 0xFFFFFFFFul;
}

TKrStream::~TKrStream() = default;

streamsize_t TKrStream::getPosition64() {
    return getPosition();
}

bool TKrStream::Close() {
    return true;
}

void TKrStream::CloseE() {
    if (!Close()) throw TKrMessage("TKrStream::CloseE: close failed!");
}

bool TKrStream::ReadAll(void* buf, streamsize_t n) {
    auto* p = static_cast<char*>(buf);
    while (n > 0) {
        streamsize_t got = Read(p, n);
        if (got == 0 || got == invalid_value) return false;
        p += got;
        n -= got;
    }
    return true;
}

void TKrStream::ReadAllE(void* buf, streamsize_t n) {
    if (!ReadAll(buf, n)) throw TKrMessage("TKrStream::ReadAllE: Read %1% bytes failed!") << n;
}

bool TKrStream::WriteAll(const void* buf, streamsize_t n) {
    auto* p = static_cast<const char*>(buf);
    while (n > 0) {
        streamsize_t put = Write(p, n);
        if (put == 0 || put == invalid_value) return false;
        p += put;
        n -= put;
    }
    return true;
}

void TKrStream::WriteAllE(const void* buf, streamsize_t n) {
    if (!WriteAll(buf, n)) throw TKrMessage("TKrStream::WriteAllE: Write %1% bytes failed!") << n;
}

streamsize_t TKrStream::WriteStr(const std::string& s) {
    return Write(s.data(), s.size());
}

streamsize_t TKrStream::WriteStrEOL(const std::string& s, TEOLType eol) {
    const char* end = eol == eolCR ? "\r" : eol == eolCRLF ? "\r\n" : "\n";
    std::string out;
    out.reserve(s.size() + s.size() / 16);
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\r') {
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
            out += end;
        } else if (c == '\n') {
            out += end;
        } else {
            out += c;
        }
    }
    return Write(out.data(), out.size());
}

streamsize_t TKrStream::getSize64() {
    return getSize();
}

void TKrStream::setSizeE(streamsize_t n) {
    if (!setSize(n)) throw TKrMessage("TKrStream::setSizeE: Set size %1% bytes failed!") << n;
}

bool TKrStream::setSize64(streamsize_t n) {
    return n <= k32BitLimit && setSize(n);
}

void TKrStream::setSize64E(streamsize_t n) {
    if (!setSize64(n)) throw TKrMessage("TKrStream::setSize64E: Set size %1% bytes failed!") << n;
}

void TKrStream::setPositionE(streamsize_t p) {
    if (!setPosition(p)) throw TKrMessage("TKrStream::setPositionE: Set pos %1% failed!") << p;
}

bool TKrStream::setPosition64(streamsize_t p) {
    return p <= k32BitLimit && setPosition(p);
}

void TKrStream::setPosition64E(streamsize_t p) {
    if (!setPosition64(p)) throw TKrMessage("TKrStream::setPosition64E: Set pos %1% bytes failed!") << p;
}

bool TKrStream::eof() {
    return getPosition64() >= getSize64();
}

bool TKrStream::Flush() {
    return true;
}

void TKrStream::FlushE() {
    if (!Flush()) throw TKrMessage("TKrStream::FlushE: failed!");
}

std::uint32_t TKrStream::getType() const {
    return 0;
}
void TKrStream::setState(unsigned state) {
    m_state = state;
}
unsigned TKrStream::getState() const {
    return m_state;
}
void TKrStream::setOptions(unsigned options) {
    m_options = options;
}
unsigned TKrStream::getOptions() const {
    return m_options;
}
std::string TKrStream::GetInfoName() const {
    return m_infoName;
}
void TKrStream::SetInfoName(const std::string& name) {
    m_infoName = name;
}

streamsize_t TKrStream::getLine(char* buf, streamsize_t cap) {
    if (cap == 0) return 0;
    const streamsize_t start = getPosition64();
    const streamsize_t size = getSize64();
    const streamsize_t k = std::min(size > start ? size - start : 0, cap - 1);
    if (k > 0 && Read(buf, k) != k) return 0;
    for (streamsize_t i = 0; i < k; ++i) {
        if (buf[i] != '\r' && buf[i] != '\n') continue;
        streamsize_t next = i + 1;
        if (buf[i] == '\r' && next < k && buf[next] == '\n') ++next;
        buf[i] = '\0';
        setPosition64(start + next);
        return i;
    }
    buf[k] = '\0';
    return k;
}
