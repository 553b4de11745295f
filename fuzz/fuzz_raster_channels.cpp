// Channel sets and sampling grids loaded from any XIni text: loading never crashes, a failed load
// leaves the reader where it was and the target unchanged, and whatever loads is valid and
// survives a save and a second load unchanged. Kind texts parse without crashing and every kind
// text parses back to its kind.
#include "Core/KrMessage.h"
#include "Raster/KrDibChannels.h"
#include "Raster/KrDibRect.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniTreeReader.h"
#include "XIni/KrXIniTreeWriter.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void CheckChannels(TKrXIniTreeReader& reader, std::size_t index) {
    TKrDibChannels c(2, 4, 3);
    const TKrDibChannels before = c;
    try {
        XIniLoadE(&reader, index, c);
    } catch (const TKrMessage&) {
        if (c != before || reader.Level() != 0) std::abort();
        return;
    }
    if (reader.Level() != 0 || !c.IsValidSampleType() || (!c.Kinds.empty() && c.GetBytesPP() == 0))
        std::abort();
    auto tree = new_a<TKrXIniTree>();
    TKrXIniTreeWriter writer(tree);
    if (!c.Save(&writer)) std::abort(); // every loaded kind has a short text
    TKrXIniTreeReader back(tree);
    TKrDibChannels again;
    again.LoadE(&back);
    if (again != c) std::abort();
}

void CheckRect(TKrXIniTreeReader& reader, std::size_t index) {
    TKrDibRect r{{1, 2}, {3, 4}, {5, 6}};
    const TKrDibRect before = r;
    try {
        XIniLoadE(&reader, index, r);
    } catch (const TKrMessage&) {
        if (r != before || reader.Level() != 0) std::abort();
        return;
    }
    if (reader.Level() != 0 || !KrIsDibRectValid(r) || r.count.x > 0xFFFFFFFFu) std::abort();
    auto tree = new_a<TKrXIniTree>();
    TKrXIniTreeWriter writer(tree);
    writer.BeginSectionSE("r");
    XIniSaveE(&writer, r);
    writer.EndSectionE();
    TKrXIniTreeReader back(tree);
    TKrDibRect again;
    XIniLoadE(&back, 0, again);
    if (again != r) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    bool bad = false;
    const std::int32_t kind = TextToChannelKind(text.substr(0, 16), &bad);
    const std::string kindText = ChannelKindToText(kind);
    if (!kindText.empty() && TextToChannelKind(kindText, nullptr) != kind) std::abort();

    const var_a<TKrXIniTree*> tree = ReadKrXIniTree(new_a<TKrStringStream>(text).get(), false, nullptr);
    if (!tree) return 0;
    TKrXIniTreeReader reader(tree);
    const std::size_t n = std::min<std::size_t>(reader.Count(), 16);
    for (std::size_t i = 0; i <= n; ++i) {
        CheckChannels(reader, i);
        CheckRect(reader, i);
    }
    // The root section itself in both layouts.
    TKrDibChannels c;
    c.Load(&reader);
    return 0;
}
