// krtool lang: the languages beside the library, the current chain, and single texts.
#include "KrToolCommand.h"

#include "Core/KrLanguage.h"

#include <cstdio>

namespace {
/// A leading "--lang ID" switches the language first.
bool TakeLanguageOption(std::vector<std::string>& args) {
    if (args.size() < 2 || args[0] != "--lang") return true;
    const std::string lang = args[1];
    args.erase(args.begin(), args.begin() + 2);
    if (setCurLanguageId(lang) != 0xFFFFFFFFu) return true;
    std::fprintf(stderr, "krtool lang: language \"%s\" is not available (now: %s)\n", lang.c_str(),
                 getCurLanguageId().c_str());
    return false;
}

int RunLang(const std::vector<std::string>& argv) {
    std::vector<std::string> args = argv;
    if (!TakeLanguageOption(args)) return 1;
    if (args.empty()) return KrToolUsage("lang");
    const std::string sub = args[0];
    args.erase(args.begin());

    if (sub == "list" && args.empty()) {
        const std::vector<std::string> chain = getCurLanguageIdChain();
        std::printf("available languages:\n");
        for (const auto& lang : getAvalibleLangs())
            std::printf("  %-8s %s\n", lang.first.c_str(), lang.second.c_str());
        std::printf("current:  %s\nchain:   ", getCurLanguageId().c_str());
        for (const std::string& id : chain)
            std::printf(" %s", id.c_str());
        std::printf("\n");
        return 0;
    }
    if (sub == "text" && args.size() == 2) {
        const std::string* text = nullptr;
        if (!LoadResString(args[0], args[1], &text) || !text) {
            std::fprintf(stderr, "krtool lang: no text \"%s\" in module %s (chain starts at %s)\n",
                         args[1].c_str(), args[0].c_str(), getCurLanguageId().c_str());
            return 1;
        }
        std::printf("%s\n", text->c_str());
        return 0;
    }
    return KrToolUsage("lang");
}
} // namespace

KRTOOL_COMMAND(lang, "lang", "[--lang ID] list | [--lang ID] text MODULE ID",
               "list the languages and the current chain, or print one language text", RunLang);
