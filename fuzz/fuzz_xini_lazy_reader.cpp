// The lazy XIni reader never crashes on any bytes, walks every section through the plain and E
// forms, and agrees with the full parse: when the full parse succeeds the lazy reader yields the
// same tree without a parse error, and when it fails the lazy reader reports one.
#include "Core/KrMessage.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniTree.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Touches every item through both forms, depth first, entering sections as it goes.
void Walk(TKrXIniReader& r, int depth) {
    const std::size_t n = r.Count();
    for (std::size_t i = 0; i <= n; ++i) {
        try {
            r.ItemTypeE(i);
            r.ItemNameE(i);
        } catch (const TKrMessage&) {
        }
        r.Read<int>(i, 0);
        r.Read<double>(i, 0);
        r.Read<std::string>(i, "");
        r.ReadBinary(i, "");
        double x, y, z;
        r.ReadDouble3(i, &x, &y, &z);
        try {
            r.ReadE<long>(i);
        } catch (const TKrMessage&) {
        }
        if (depth < 64 && r.ItemType(i) == TE_KrXIniItemType::Section) {
            const std::size_t level = r.EnterSection(i);
            Walk(r, depth + 1);
            if (!r.ExitSection(level)) std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const var_a<TKrXIniTree*> full = ReadKrXIniTree(new_a<TKrStringStream>(text).get(), false, nullptr);

    TKrXIniStreamReader lazy(new_a<TKrStringStream>(text), TE_KrXIniErrorMode::Silent, nullptr);
    Walk(lazy, 0);

    TKrXIniStreamReader whole(new_a<TKrStringStream>(text), TE_KrXIniErrorMode::Silent, nullptr);
    try {
        const var_a<TKrXIniTree*> tree = whole.ReadXIniTreeE();
        if (!full || !full->EqualContent(*tree) || whole.ParseError()) std::abort();
    } catch (const TKrMessage&) {
        if (full) std::abort();
    }
    if (!full && !whole.ParseError()) std::abort();
    return 0;
}
