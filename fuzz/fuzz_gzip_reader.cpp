// The gzip reader over arbitrary bytes: it must never crash, over-read or loop, whatever the
// header flags, lengths, CRCs and sizes claim. Data that reads back cleanly must survive a trip
// through the writer unchanged (the parallel block writer too). Whole-member inflation of the
// same bytes must either refuse them or give exactly what streaming gives.
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrGZipReader.h"
#include "Streams/KrGZipWhole.h"
#include "Streams/KrGZipWriter.h"
#include "Streams/KrStringStream.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
constexpr streamsize_t kOutputCap = 4 << 20; // bounds the work a small bomb can cause

/// Reads up to the cap in chunks of varying size, with an occasional rewind.
std::string Drain(TKrGZipReader& reader, std::uint32_t seed, bool& clean) {
    std::string out;
    std::vector<char> block(70000);
    bool rewound = false;
    for (;;) {
        seed = seed * 1664525u + 1013904223u;
        const streamsize_t want = 1 + (seed >> 8) % block.size();
        if (!rewound && out.size() > 1000 && (seed & 0xF0) == 0) {
            rewound = true;
            reader.setPosition(0);
            out.clear();
        }
        const streamsize_t before = reader.getPosition64();
        const streamsize_t got = reader.Read(block.data(), want);
        if (got == TKrStream::invalid_value || got > want) std::abort();
        if (reader.getPosition64() != before + got) std::abort();
        out.append(block.data(), got);
        if (got == 0 || out.size() > kOutputCap) break;
    }
    const unsigned state = reader.getState();
    clean = !(state & TKrStream::stReadError) && (state & TKrStream::stEndOfData);
    if (clean && reader.getSize64() != reader.getPosition64()) std::abort();
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::vector<unsigned char> whole(kOutputCap);
    TKrGZipWholeCursor cursor;
    const TE_KrGZipWhole wholeResult = KrGZipInflateMembers(data, size, whole.data(), whole.size(), cursor);
    if (cursor.in > size || cursor.out > whole.size()) std::abort();

    TKrFixedMemStream source(data, size);
    TKrGZipReader reader;
    TKrGZipFileInfo info;
    if (!reader.Open(&source, &info)) {
        if (info.present || reader || wholeResult == TE_KrGZipWhole::Done) std::abort();
        return 0;
    }
    (void)reader.getSize64();
    std::uint32_t seed = static_cast<std::uint32_t>(size);
    for (std::size_t i = 0; i < size && i < 16; ++i)
        seed = seed * 31 + data[i];
    bool clean = false;
    const std::string out = Drain(reader, seed, clean);
    if (wholeResult == TE_KrGZipWhole::Done &&
        (!clean || out.size() != cursor.out || std::memcmp(out.data(), whole.data(), out.size()) != 0))
        std::abort();
    if (!clean || out.size() > kOutputCap) return 0;

    // A forward skip from the start lands where plain reading did.
    const streamsize_t middle = out.size() / 2;
    char rewindByte = 0;
    reader.setPosition(0);
    if (reader.Read(&rewindByte, 0) != 0) std::abort(); // only a read carries out the rewind
    reader.setPosition64(middle);
    std::string tail(out.size() - middle + 1, '\0');
    if (reader.Read(&tail[0], tail.size()) != out.size() - middle ||
        tail.compare(0, out.size() - middle, out, middle) != 0)
        std::abort();

    TKrStringStream packed;
    TKrGZipWriter writer;
    writer.SetThreads(1 + seed % 3); // every third input through the single-member writer
    if (!writer.Open(&packed, info, seed % 10) || writer.Write(out.data(), out.size()) != out.size() ||
        !writer.Close())
        std::abort();
    TKrGZipReader again;
    TKrGZipFileInfo infoAgain;
    if (!again.Open(&packed, &infoAgain)) std::abort();
    if (infoAgain.fileName != info.fileName || infoAgain.comment != info.comment ||
        infoAgain.modificationTime != info.modificationTime)
        std::abort();
    std::string back(out.size() + 1, '\0');
    if (again.Read(&back[0], back.size()) != out.size() || back.compare(0, out.size(), out) != 0)
        std::abort();
    return 0;
}
