// Any bytes split under any settings without running past the data; the fields of a record,
// written back by the creator, read again as the same fields.
#include "Streams/KrStringStream.h"
#include "XIni/KrCSV.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2) return 0;
    const unsigned mode = bytes[0];
    const std::string text(reinterpret_cast<const char*>(bytes) + 2, size - 2);
    TKrCSVParser p(new_a<TKrStringStream>(text), true);
    p.SetStrictSeparators(mode & 1);
    p.SetQuotes(!(mode & 2));
    p.SetDecimalComma(mode & 4);
    p.SetAngles(mode & 8);
    if (mode & 16) p.SetSeparators(";\t");
    p.SetMaxLineLength(1 + bytes[1] % 64);
    std::size_t records = 0;
    std::vector<std::string> first;
    while (p.NextString()) {
        if (++records > text.size()) std::abort(); // every record consumes a byte at least
        for (std::size_t i = 0; i < p.NumFields(); ++i) {
            (void)p.Get<double>(i);
            (void)p.Get<int>(i);
            (void)p.GetCurStr();
            if (records == 1 && !p.Unterminated() && !p.Truncated() && first.size() < 40)
                first.push_back(p.GetRawField(i));
        }
    }
    if (first.empty()) return 0;

    std::vector<std::string> names;
    TKrCSVCreator c;
    std::string header;
    for (std::size_t i = 0; i < first.size(); ++i) {
        names.push_back("c" + std::to_string(i));
        header += names.back() + " ";
    }
    for (std::size_t i = 0; i < first.size(); ++i)
        c.items.push_back({names[i], TKrCSVCreator::TItem::tText, first[i].c_str()});
    auto out = new_a<TKrStringStream>();
    c.Init(out, header);
    c.WriteLine();
    TKrCSVParser back(out, true);
    back.SetSeparators(",");
    back.SetStrictSeparators(true);
    back.SetMaxLineLength(out->str().size() + 1);
    if (!back.NextString() || back.NumFields() != first.size()) std::abort();
    for (std::size_t i = 0; i < first.size(); ++i)
        if (first[i] != back.GetRawField(i)) std::abort();
    if (back.NextString()) std::abort();
    return 0;
}
