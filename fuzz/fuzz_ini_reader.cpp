// Any bytes through the indexed reader and the reader-writer; a rewritten file parses back to
// the same sections and keys.
#include "Core/KrMessage.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrIni.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Layout = std::vector<std::pair<std::string, std::vector<std::string>>>;

Layout Parse(const std::string& text, std::string* rewritten) {
    TKrStringStream s(text);
    Layout out;
    {
        TKrIniFileManager m(&s, krOpenReadWrite, false);
        for (std::size_t i = 0; i < m.GetSectionCount(); ++i) {
            out.emplace_back(m.GetSectionName(i), std::vector<std::string>());
            m.SetSection(out.back().first);
            m.ReadSection(out.back().second);
        }
        if (rewritten) m.WriteSection("\x01", true); // forces the rewrite
    }
    if (rewritten) *rewritten = s.str();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    {
        TKrStringStream s(text);
        TKrIniFileManager r(&s, krOpenRead, false);
        for (std::size_t i = 0; i < r.GetSectionCount(); ++i) {
            r.SetSection(r.GetSectionName(i));
            std::vector<std::string> keys;
            r.ReadSection(keys);
            for (const std::string& k : keys) {
                double d[4];
                int n = 0;
                std::string a, b;
                (void)r.ReadInt(k, 0);
                (void)r.ReadDoubles(k, d, 4);
                (void)r.ReadDouble3(k, d, d + 1, d + 2);
                (void)r.ReadStdString(k, "");
                try {
                    (void)r.ReadFormatted(k, "idsb", &n, d, &a, &b);
                } catch (const TKrMessage&) {
                }
            }
        }
    }
    std::string rewritten;
    Layout first;
    try {
        first = Parse(text, &rewritten);
    } catch (const TKrMessage&) {
        return 0;
    } catch (const std::runtime_error&) {
        return 0;
    }
    if (std::none_of(first.begin(), first.end(), [](const auto& s) { return s.first == "\x01"; }))
        first.emplace_back("\x01", std::vector<std::string>());
    std::sort(first.begin(), first.end());
    if (Parse(rewritten, nullptr) != first) std::abort();
    return 0;
}
