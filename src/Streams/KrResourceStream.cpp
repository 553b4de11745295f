// TKrResourceStream: reads a Qt resource through the stream interface.
#include "Streams/KrResourceStream.h"
#include "Streams/KrFixedBufferRead.h"

#include <QByteArray>
#include <QResource>
#include <algorithm>
#include <cstring>

TKrResourceStream::TKrResourceStream(const std::string& name, const std::string& infoName)
    : TKrStream(infoName),
      m_resource(std::make_unique<QResource>(QStringLiteral(":/") + QString::fromStdString(name))) {
    if (!m_resource->isValid()) return;
    const auto* raw = reinterpret_cast<const char*>(m_resource->data());
    if (m_resource->compressionAlgorithm() != QResource::NoCompression) {
        QByteArray plain = m_resource->uncompressedData();
        m_data.assign(plain.constData(), static_cast<std::size_t>(plain.size()));
        m_bytes = m_data.data();
        m_size = m_data.size();
    } else {
        m_bytes = raw;
        m_size = static_cast<streamsize_t>(m_resource->size());
    }
}

TKrResourceStream::~TKrResourceStream() = default;

std::string TKrResourceStream::getData() const {
    return m_bytes ? std::string(m_bytes, m_size) : std::string();
}

streamsize_t TKrResourceStream::Read(void* buf, streamsize_t n) {
    return KrReadFixedBuffer(*this, m_bytes, m_size, m_position, buf, n);
}

streamsize_t TKrResourceStream::Write(const void*, streamsize_t) {
    AddState(stWriteError);
    return invalid_value;
}

streamsize_t TKrResourceStream::getSize() {
    return m_size;
}

bool TKrResourceStream::setSize(streamsize_t) {
    AddState(stWriteError);
    return false;
}

bool TKrResourceStream::setPosition(streamsize_t p) {
    if (p > m_size) return false;
    m_position = p;
    return true;
}

TKrResourceStream::operator bool() {
    return m_resource && m_resource->isValid();
}
