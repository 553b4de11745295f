// TKrMemoryStream's whole-file save and load: the file half of the memory stream.
#include "Streams/KrFileStream.h"
#include "Streams/KrMemoryStream.h"
#include "System/KrPath.h"

void TKrMemoryStream::SaveE(const std::string& path) {
    TKrFileStream file;
    file.OpenE(TKrPath(path), krOpenWrite);
    file.WriteAllE(m_buffer, m_size);
    file.setSize64E(m_size); // krOpenWrite keeps what was there: cut an older, longer file
    file.CloseE();
}

void TKrMemoryStream::LoadE(const std::string& path) {
    TKrFileStream file;
    file.OpenE(TKrPath(path), krOpenRead);
    TKrMemoryStream fresh;
    const streamsize_t size = file.getSize64();
    fresh.ReserveE(size);
    file.ReadAllE(fresh.m_buffer, size);
    fresh.m_size = size;
    Swap(fresh);
}
