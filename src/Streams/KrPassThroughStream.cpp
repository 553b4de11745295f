// TKrPassThroughStream: every operation goes to the held source.
#include "Streams/KrPassThroughStream.h"

streamsize_t TKrPassThroughStream::getPosition64() {
    return m_source ? m_source->getPosition64() : 0;
}
streamsize_t TKrPassThroughStream::getPosition() {
    return m_source ? m_source->getPosition() : 0;
}
bool TKrPassThroughStream::Close() {
    return m_source && m_source->Close();
}
streamsize_t TKrPassThroughStream::Read(void* buf, streamsize_t n) {
    return m_source ? m_source->Read(buf, n) : invalid_value;
}
bool TKrPassThroughStream::ReadAll(void* buf, streamsize_t n) {
    return m_source && m_source->ReadAll(buf, n);
}
streamsize_t TKrPassThroughStream::Write(const void* buf, streamsize_t n) {
    return m_source ? m_source->Write(buf, n) : invalid_value;
}
bool TKrPassThroughStream::WriteAll(const void* buf, streamsize_t n) {
    return m_source && m_source->WriteAll(buf, n);
}
streamsize_t TKrPassThroughStream::getSize() {
    return m_source ? m_source->getSize() : 0;
}
streamsize_t TKrPassThroughStream::getSize64() {
    return m_source ? m_source->getSize64() : 0;
}
bool TKrPassThroughStream::setSize(streamsize_t n) {
    return m_source && m_source->setSize(n);
}
bool TKrPassThroughStream::setSize64(streamsize_t n) {
    return m_source && m_source->setSize64(n);
}
bool TKrPassThroughStream::setPosition(streamsize_t p) {
    return m_source && m_source->setPosition(p);
}
bool TKrPassThroughStream::setPosition64(streamsize_t p) {
    return m_source && m_source->setPosition64(p);
}
bool TKrPassThroughStream::eof() {
    return !m_source || m_source->eof();
}
bool TKrPassThroughStream::Flush() {
    return m_source && m_source->Flush();
}
TKrPassThroughStream::operator bool() {
    return m_source && static_cast<bool>(*m_source);
}
std::uint32_t TKrPassThroughStream::getType() const {
    return m_source ? m_source->getType() : 0;
}
void TKrPassThroughStream::setState(unsigned state) {
    if (m_source) m_source->setState(state);
}
unsigned TKrPassThroughStream::getState() const {
    return m_source ? m_source->getState() : 0;
}
void TKrPassThroughStream::setOptions(unsigned options) {
    if (m_source) m_source->setOptions(options);
}
unsigned TKrPassThroughStream::getOptions() const {
    return m_source ? m_source->getOptions() : 0;
}
std::string TKrPassThroughStream::GetInfoName() const {
    return m_source ? m_source->GetInfoName() : std::string();
}
void TKrPassThroughStream::SetInfoName(const std::string& name) {
    if (m_source) m_source->SetInfoName(name);
}
