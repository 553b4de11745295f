// Fuzz target: range octree loading from arbitrary streams (raw, or with the checksum made to
// match so that the structure checks are reached) and from arbitrary XIni text. Nothing may crash
// or throw anything but TKrMessage, and a tree that loads saves back to a stream that loads to
// the same bytes.
#include "Core/KrMessage.h"
#include "Math/Index/KrRangeOctoTree.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrMemoryStream.h"
#include "Utils/KrCrc32.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniTreeReader.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

template <class T> std::string Saved(const kr::TRangeOctoTreeI<T>& tree) {
    TKrMemoryStream s;
    tree.SaveE(&s);
    return std::string(s.GetBuffer(), s.getSize());
}

// A loaded tree answers queries, and its save reloads to the same bytes.
template <class T> void CheckLoaded(const kr::TRangeOctoTreeI<T>& tree) {
    typename kr::TRangeOctoTreeI<T>::range_t r;
    const limits3d& lim = tree.GetLimits();
    tree.GetRange(lim, &r);
    tree.GetRange(limits3d(lim.center(), lim.max), &r);
    const std::string bytes = Saved(tree);
    kr::TRangeOctoTreeI<T> back;
    TKrFixedMemStream s(bytes.data(), bytes.size());
    back.LoadE(&s);
    if (Saved(back) != bytes) std::abort();
}

template <class T> void LoadStream(const std::string& bytes) {
    kr::TRangeOctoTreeI<T> tree;
    try {
        TKrFixedMemStream s(bytes.data(), bytes.size());
        tree.LoadE(&s);
    } catch (const TKrMessage&) {
        return;
    }
    CheckLoaded(tree);
}

template <class T> void LoadXIni(const var_a<TKrXIniTree*>& root) {
    kr::TRangeOctoTreeI<T> tree;
    try {
        TKrXIniTreeReader r(root);
        tree.XIniLoadE(&r, 0);
    } catch (const TKrMessage&) {
        return;
    }
    CheckLoaded(tree);
}

} // namespace

// The first byte picks the form: 0 a stream as given, 1 a stream whose CRC-32 is appended here,
// 2 an XIni document whose first item is the tree's section.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 1: {
        const std::uint32_t crc = KrCrc32(0, input.data(), input.size());
        input.append(reinterpret_cast<const char*>(&crc), sizeof crc);
    }
        [[fallthrough]];
    case 0:
        LoadStream<int>(input);
        LoadStream<long>(input);
        break;
    default: {
        TKrFixedMemStream text(input.data(), input.size());
        const var_a<TKrXIniTree*> root = ReadKrXIniTree(&text, false, nullptr);
        if (!root) return 0;
        LoadXIni<int>(root);
        LoadXIni<long>(root);
        break;
    }
    }
    return 0;
}
