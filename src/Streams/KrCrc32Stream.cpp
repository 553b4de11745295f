// TKrCrc32Stream: running CRC-32 over a source, guarded against repositioning.
#include "Streams/KrCrc32Stream.h"
#include "Core/KrExceptions.h"
#include "Core/KrModule.h"
#include "Utils/KrCrc32.h"

#include <stdexcept>

namespace {
// The language text, with an English stand-in while no texts are loaded: an exception with an
// empty text would hide which of the two guards fired.
[[noreturn]] void ThrowCrcError(const char* id, const char* english) {
    throw std::runtime_error(KrModule_Initializer::instance().get_resource_string(id, english));
}
} // namespace

TKrCrc32Stream::TKrCrc32Stream(var_a<TKrStream*> stream, unsigned long* result, unsigned long initialCrc)
    : m_source(stream), m_position(0), m_crc(static_cast<std::uint32_t>(initialCrc)), m_result(result) {
    KR_CHECK(stream);
    m_position = m_source->getPosition64();
    if (m_result) *m_result = m_crc;
}

TKrCrc32Stream::~TKrCrc32Stream() {
    // A source that throws from Close here ends the process: there is no one to tell.
    if (m_source && (getOptions() & optCloseSource)) m_source->Close();
    m_source.reset();
}

void TKrCrc32Stream::SetCrc32(unsigned long crc) {
    m_crc = static_cast<std::uint32_t>(crc);
    m_position = m_source->getPosition64();
    if (m_result) *m_result = m_crc;
}

void TKrCrc32Stream::SetResultPtr(unsigned long* result) {
    m_result = result;
    if (m_result) *m_result = m_crc;
}

void TKrCrc32Stream::CheckPosition() {
    if (m_source->getPosition64() != m_position)
        ThrowCrcError("global.CRCErrPosition",
                      "The stream was repositioned while its checksum was computed.");
}

void TKrCrc32Stream::Sum(const void* data, streamsize_t k) {
    if (k == 0) return; // KrCrc32 of a null buffer is 0, not "unchanged"
    m_crc = KrCrc32(static_cast<std::uint32_t>(m_crc), data, k);
    m_position += k;
    if (m_result) *m_result = m_crc;
}

streamsize_t TKrCrc32Stream::Read(void* buf, streamsize_t n) {
    CheckPosition();
    const streamsize_t got = m_source->Read(buf, n);
    if (got != invalid_value) Sum(buf, got);
    return got;
}

streamsize_t TKrCrc32Stream::Write(const void* buf, streamsize_t n) {
    CheckPosition();
    const streamsize_t put = m_source->Write(buf, n);
    if (put != invalid_value) Sum(buf, put);
    return put;
}

bool TKrCrc32Stream::setSize(streamsize_t n) {
    if (n < m_position) ThrowCrcError("global.CRCErrSize", "The stream was cut below its checksummed part.");
    return m_source->setSize(n);
}

bool TKrCrc32Stream::setSize64(streamsize_t n) {
    if (n < m_position) ThrowCrcError("global.CRCErrSize", "The stream was cut below its checksummed part.");
    return m_source->setSize64(n);
}

bool TKrCrc32Stream::Flush() {
    return (getOptions() & optNoFlushSource) || m_source->Flush();
}

bool TKrCrc32Stream::Close() {
    return !(getOptions() & optCloseSource) || m_source->Close();
}

streamsize_t TKrCrc32Stream::getSize() {
    return m_source->getSize();
}
streamsize_t TKrCrc32Stream::getSize64() {
    return m_source->getSize64();
}
streamsize_t TKrCrc32Stream::getPosition() {
    return m_source->getPosition();
}
streamsize_t TKrCrc32Stream::getPosition64() {
    return m_source->getPosition64();
}
bool TKrCrc32Stream::setPosition(streamsize_t p) {
    return m_source->setPosition(p);
}
bool TKrCrc32Stream::setPosition64(streamsize_t p) {
    return m_source->setPosition64(p);
}
void TKrCrc32Stream::setState(unsigned state) {
    m_source->setState(state);
}
unsigned TKrCrc32Stream::getState() const {
    return m_source->getState();
}
TKrCrc32Stream::operator bool() {
    return static_cast<bool>(*m_source);
}
std::string TKrCrc32Stream::GetInfoName() const {
    return m_source->GetInfoName();
}
