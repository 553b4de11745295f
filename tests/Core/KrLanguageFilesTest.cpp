// The shipped language files: an English text for every identifier the library looks up, and a
// German translation that stays a consistent partial copy of the English one.
#include "Core/KrLanguage.h"
#include "Core/KrLanguageInternal.h"
#include "Streams/KrFileStream.h"
#include "System/KrPath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

namespace {

const std::string kRepo = std::string(KRSTD_TEST_SOURCE_DIR) + "/../";

std::map<std::string, std::string> ReadXliffFile(const std::string& path) {
    std::map<std::string, std::string> texts;
    var_a<TKrFileStream*> stream = TKrFileStream::VCreateE(TKrPath(path), krOpenRead);
    KrLanguageInternal::ReadXliffTexts(stream.get(), texts);
    return texts;
}

/// The code of a C++ source: comments blanked out, string and character literals kept.
std::string WithoutComments(const std::string& src) {
    std::string out;
    out.reserve(src.size());
    for (std::size_t i = 0; i < src.size();) {
        const char c = src[i];
        if (c == '"' || c == '\'') {
            std::size_t j = i + 1;
            while (j < src.size() && src[j] != c && src[j] != '\n')
                j += src[j] == '\\' ? 2 : 1;
            out.append(src, i, j + 1 - i);
            i = j + 1;
        } else if (src.compare(i, 2, "//") == 0) {
            i = src.find('\n', i);
            if (i == std::string::npos) break;
        } else if (src.compare(i, 2, "/*") == 0) {
            const std::size_t end = src.find("*/", i + 2);
            i = end == std::string::npos ? src.size() : end + 2;
            out += ' ';
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

/// Every text identifier the code of `src` looks up: "general." + the argument of each
/// KrMsg_helper, "general." + every literal shaped like a message identifier (they reach
/// KrMsg_helper through variables), and every literal already carrying a text prefix.
std::set<std::string> LookedUpIds(const std::string& src) {
    static const std::regex literal(R"re("((?:[^"\\\n]|\\.)*)")re");
    static const std::regex messageId(R"((?:Err|E|Msg|Wrn|Warn)_\w+)");
    static const std::regex prefixed(R"((?:general|global|forms)\.\w[\w.]*)");
    std::set<std::string> ids;
    const std::string code = WithoutComments(src);
    for (auto it = std::sregex_iterator(code.begin(), code.end(), literal); it != std::sregex_iterator();
         ++it) {
        const std::string text = (*it)[1];
        if (std::regex_match(text, messageId))
            ids.insert("general." + text);
        else if (std::regex_match(text, prefixed))
            ids.insert(text);
    }
    return ids;
}

std::set<std::string> Placeholders(const std::string& text) {
    static const std::regex placeholder(R"(%(\d+|\*)%)");
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), placeholder); it != std::sregex_iterator();
         ++it)
        found.insert((*it)[0]);
    return found;
}

TEST(ShippedLanguageFiles, EveryLookedUpIdentifierHasAnEnglishText) {
    const auto english = ReadXliffFile(kRepo + "lng/en/KrStd.xlf");
    ASSERT_FALSE(english.empty());
    std::string missing;
    std::size_t found = 0;
    for (const char* folder : {"src", "include"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(kRepo + folder)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string src((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            for (const std::string& id : LookedUpIds(src)) {
                ++found;
                auto it = english.find(id);
                if (it == english.end() || it->second.empty())
                    missing += "\n  " + id + "  (" + entry.path().lexically_relative(kRepo).string() + ")";
            }
        }
    }
    EXPECT_GT(found, 40u); // the scanner sees the identifiers at all
    EXPECT_TRUE(missing.empty()) << "identifiers without an English text in lng/en/KrStd.xlf:" << missing;
}

TEST(ShippedLanguageFiles, LanguagesChainToEnglishAndTranslationsKeepThePlaceholders) {
    const TLangInfo en = ReadLangInfo(TKrPath(kRepo + "lng/en/lang.x-ini"));
    EXPECT_EQ(en.lang_id, "en");
    EXPECT_EQ(en.lang_name, "English");
    EXPECT_EQ(en.base_lang_id, "");
    const auto english = ReadXliffFile(kRepo + "lng/en/KrStd.xlf");

    std::size_t languages = 0;
    for (const auto& dir : std::filesystem::directory_iterator(kRepo + "lng")) {
        const std::string lang = dir.path().filename().string();
        if (lang == "en") continue;
        ++languages;
        const TLangInfo info = ReadLangInfo(TKrPath(dir.path().string() + "/lang.x-ini"));
        EXPECT_EQ(info.lang_id, lang);
        EXPECT_EQ(info.base_lang_id, "en") << lang;
        EXPECT_FALSE(info.lang_name.empty()) << lang;
        for (const auto& unit : ReadXliffFile(dir.path().string() + "/KrStd.xlf")) {
            auto it = english.find(unit.first);
            ASSERT_NE(it, english.end()) << lang << ": " << unit.first << " has no English original";
            EXPECT_EQ(Placeholders(unit.second), Placeholders(it->second)) << lang << ": " << unit.first;
        }
    }
    EXPECT_GE(languages, 1u);
}

} // namespace
