// The full XIni parse never crashes on any bytes (optionally behind a gzip layer), a tree it
// accepts is written and read back unchanged, and the lazy reader converting the whole document
// into a tree item by item agrees with it.
#include "Streams/KrGZipWriter.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniWriteTree.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        auto packed = new_a<TKrStringStream>();
        TKrGZipWriter w;
        if (w.Open(packed.get(), 1) && w.WriteAll(text.data(), text.size()) && w.Close())
            text = packed->str();
    }
    const var_a<TKrXIniTree*> tree = ReadKrXIniTree(new_a<TKrStringStream>(text).get(), false, nullptr);
    if (!tree) return 0;
    auto out = new_a<TKrStringStream>();
    if (!WriteKrXIniTree(out.get(), tree.get(), data[0] & 2 ? 0x101 : 0, false, nullptr)) std::abort();
    const var_a<TKrXIniTree*> back = ReadKrXIniTree(out.get(), false, nullptr);
    if (!back || !tree->EqualContent(*back)) std::abort();
    var_a<TKrXIniTree*> lazy;
    try {
        TKrXIniStreamReader reader(new_a<TKrStringStream>(text), true, nullptr);
        lazy = reader.ReadXIniTreeE();
    } catch (...) {
        return 0; // the lazy reader may refuse what it meets later; only agreement is checked
    }
    if (lazy && !tree->EqualContent(*lazy)) std::abort();
    return 0;
}
