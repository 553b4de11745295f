// TKrBinReader and TKrBinWriter: length-prefixed strings over any stream.
#include "Streams/KrBinReadWrite.h"
#include "Core/KrMessage.h"

#include <algorithm>

void TKrBinReader::LoadRawE(void* buf, streamsize_t n) {
    if (!m_stream || !m_stream->ReadAll(buf, n)) throw TKrMessage("Load failed");
}

void TKrBinReader::LoadE(std::string& value) {
    unsigned char prefix[8];
    LoadRawE(prefix, sizeof prefix);
    std::uint64_t length = 0;
    for (int i = 7; i >= 0; --i)
        length = (length << 8) | prefix[i];
    // Grow with the data actually read, so that a corrupt length cannot demand a huge buffer.
    constexpr std::uint64_t kChunk = 1 << 20;
    std::string text;
    for (std::uint64_t done = 0; done < length;) {
        const std::uint64_t chunk = std::min(kChunk, length - done);
        text.resize(static_cast<std::size_t>(done + chunk));
        LoadRawE(&text[static_cast<std::size_t>(done)], chunk);
        done += chunk;
    }
    value.swap(text);
}

void TKrBinWriter::SaveRawE(const void* buf, streamsize_t n) {
    if (!m_stream || !m_stream->WriteAll(buf, n)) throw TKrMessage("Save failed");
}

void TKrBinWriter::SaveE(const std::string& value) {
    unsigned char prefix[8];
    std::uint64_t length = value.size();
    for (int i = 0; i < 8; ++i)
        prefix[i] = static_cast<unsigned char>(length >> (8 * i));
    SaveRawE(prefix, sizeof prefix);
    SaveRawE(value.data(), value.size());
}
