// Merging arbitrary text as an XIni body, in normal and compact layout, never crashes; a
// successful merge keeps the written document well nested (the writer's level is unchanged).
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniStreamWriter.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool compact = data[0] & 1;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    auto out = new_a<TKrStringStream>();
    TKrXIniStreamWriter w(out, 0, TKrXIniStreamWriter::RootOnly);
    const std::size_t level = compact ? w.BeginSectionCompactS(text) : w.BeginSectionS(text);
    w.MergeXIni(text);
    w.WriteS_x_string(text, text);
    w.WriteComment(text);
    if (w.GetLevel() != level + 1) std::abort();
    if (!w.EndSection(level) || !w.Close()) std::abort();
    return 0;
}
