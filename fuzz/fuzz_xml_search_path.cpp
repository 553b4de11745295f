// Search-path texts in both syntaxes: parse or throw a message; what parses renders and parses back.
#include "Core/KrMessage.h"
#include "Xml/KrXmlDom.h"
#include "Xml/KrXmlSearchPath.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 1) return 0;
    const int type = bytes[0] % 3; // 2 is an invalid type and must throw
    const std::string text(reinterpret_cast<const char*>(bytes) + 1, size - 1);
    TKrXmlSearchPathPredicate p;
    try {
        p.Init(type, text.data(), text.size());
    } catch (const TKrMessage&) {
        return 0;
    }
    if (type == 2) std::abort();
    // No steps render as "(none)", which is a label, not a path.
    const std::string rendered = p.str();
    if (!p.empty()) {
        TKrXmlSearchPathPredicate back(TKrXmlSearchPathPredicate::pathXPath, rendered);
        if (back.str() != rendered || back.size() != p.size()) std::abort();
    }

    TKrXmlTagItem tag("a");
    tag.AddAttribute("x", "1");
    for (std::size_t step = 0; step <= p.size(); ++step) {
        const int r = p.Test(tag, step);
        if (r != 0 && r != 1 && r != 2) std::abort();
        if (step == p.size() && r != 1) std::abort();
    }
    TKrXmlTagItem root("r");
    root.AddTag("a").AddAttribute("x", "1");
    (void)root.m_items.get_tag_deep(p);
    return 0;
}
