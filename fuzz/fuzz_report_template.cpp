// Expanding any template never crashes or runs away: against variables with bands, nested
// bands, conditions and template variables (one of them recursive), the output stays bounded.
#include "Output/KrReportGenerator.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TKrReportGenerator::TVariables vars = [] {
        TKrReportGenerator::TVariables v;
        TKrReportGenerator::Strings2Vars(
            "a=alpha\nmode=fast\nitems[0]=\nitems[0].name=ab\nitems[0].sub[0]=\n"
            "items[0].sub[0].v=1\nitems[0].sub[1]=\nitems[1]=\nitems[1].name=xyz\n"
            "t$=<%a 3%|%items.name%>\nself$=%self%\npair$=%t%%t%\n",
            v);
        return v;
    }();
    const std::string templ(reinterpret_cast<const char*>(data), size); // stops at a zero byte
    TKrReportGenerator gen;
    const std::string out = gen.Parse(templ.c_str(), &vars);
    // Widths are capped and bands run over the two records only, so the output stays within a
    // fixed multiple of the template.
    if (out.size() > (size + 1) * (1u << 20)) std::abort();
    return 0;
}
