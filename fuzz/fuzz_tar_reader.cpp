// The tar reader over arbitrary bytes: both reading forms must end or throw TKrMessage, never
// crash, over-read or allocate beyond what the input holds; entries read back must survive a
// trip through the writer.
#include "Core/KrMessage.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrStringStream.h"
#include "Streams/KrTarReader.h"
#include "Streams/KrTarWriter.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
struct TEntry {
    TTarFileRecord record;
    std::string data;
};

void Collect(const TTarFileRecord& r, TKrStream* data, void* user) {
    auto* entries = static_cast<std::vector<TEntry>*>(user);
    std::string bytes;
    char block[4096];
    for (streamsize_t got; (got = data->Read(block, sizeof block)) > 0 && got != TKrStream::invalid_value;)
        bytes.append(block, got);
    if (bytes.size() > r.size) std::abort();
    entries->push_back({r, bytes});
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<TEntry> viaCallback, viaMemory;
    bool callbackOk = true, memoryOk = true;
    try {
        TKrFixedMemStream source(data, size);
        TKrTarReader reader(&source, TKrTarReader::TFormatOptions());
        while (reader.ReadFile(Collect, &viaCallback))
            if (viaCallback.size() > 10000) break;
    } catch (const TKrMessage&) {
        callbackOk = false;
    }
    try {
        TKrFixedMemStream source(data, size);
        TKrTarReader reader(&source, TKrTarReader::TFormatOptions());
        TTarFileRecord r;
        var_a<char*> bytes;
        while (reader.ReadFile(&r, &bytes) && viaMemory.size() <= 10000)
            viaMemory.push_back({r, std::string(bytes.get(), r.size)});
    } catch (const TKrMessage&) {
        memoryOk = false;
    }
    // Entries read before any error agree between the two forms.
    const std::size_t common = std::min(viaCallback.size(), viaMemory.size());
    for (std::size_t i = 0; i < common; ++i)
        if (viaCallback[i].record.name != viaMemory[i].record.name ||
            viaCallback[i].data != viaMemory[i].data)
            std::abort();
    if (!callbackOk || !memoryOk) return 0;

    // Regular entries with names the writer takes come back unchanged from our own archive.
    TKrStringStream out;
    std::vector<TEntry> written;
    {
        TKrTarWriter writer(&out, TKrTarWriter::TFormatOptions(), 0);
        for (const TEntry& e : viaMemory) {
            const std::string& n = e.record.name;
            if (n.empty() || n.size() > 511 || n.find('\0') != std::string::npos) continue;
            if (n.back() == '/' && !e.data.empty()) continue;
            TTarFileRecord r = e.record;
            r.time = TKrDateTime::FromUnixTime64(
                std::max<std::int64_t>(0, std::min<std::int64_t>(r.time.ToUnixTime64(), 0xFFFFFFFF)));
            if (!writer.WriteFile(r, e.data.data(), nullptr)) std::abort();
            written.push_back({r, e.data});
        }
        if (!writer.Close()) std::abort();
    }
    TKrFixedMemStream again(out.str().data(), out.str().size());
    TKrTarReader reader(&again, TKrTarReader::TFormatOptions());
    TTarFileRecord r;
    var_a<char*> bytes;
    for (const TEntry& e : written) {
        if (!reader.ReadFile(&r, &bytes) || r.name != e.record.name || r.size != e.data.size() ||
            std::string(bytes.get(), r.size) != e.data ||
            r.time.ToUnixTime64() != e.record.time.ToUnixTime64())
            std::abort();
    }
    if (reader.ReadFile(&r, &bytes)) std::abort();
    return 0;
}
