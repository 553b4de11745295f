// Language texts on deployed folders: the chain walk, which file's text wins, start-up language,
// the Qt translator, and malformed files.
#include "KrLanguageDeploy.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using KrLangTest::TDeployment;
using KrLangTest::Xliff;
using Lines = std::vector<std::string>;

/// The XLIFF text as one script field of the "put" command.
std::string OneLine(std::string text) {
    for (std::size_t p; (p = text.find('\n')) != std::string::npos;)
        text.replace(p, 1, "\\n");
    return text;
}

TEST(LanguageChain, WalkResultsAndWarnings) {
    TDeployment d;
    d.PutLangInfo("en", "English", "");
    d.PutLangInfo("de", "Deutsch", "en");
    d.PutLangInfo("de", "Deutsch (Paket)", "en", true);
    d.PutLangInfo("x1", "X1", "x2");
    d.PutLangInfo("x2", "X2", "x1");
    d.PutLangInfo("y", "Y", "zz"); // the base has no folder

    const Lines out = d.Run({"where", "set\tde", "chain", "cur", "set\tde", "log", //
                             "set\tx1", "chain", "cur", "log",                     //
                             "set\tnope", "chain", "cur", "log",                   //
                             "set\ty", "chain", "cur", "log"});
    EXPECT_EQ(out, (Lines{d.dir(), "2", "de,en", "de", "1", "", //
                          "0", "x1,x2,en", "x1",
                          "W3 @Failed to build full chain for lang x1: failure at lang x1", //
                          "4294967295", "en", "en", "W3 @Failed to set language nope",      //
                          "4294967295", "y,en", "y", "W3 @Failed to set language y"}));
}

TEST(LanguageTexts, EarlierChainEntriesWinAndTextsReloadOnLanguageChange) {
    TDeployment d;
    d.PutLangInfo("en", "English", "");
    d.PutLangInfo("de", "Deutsch", "en");
    d.PutLangInfo("de", "Deutsch (Paket)", "en", true);
    d.PutXliff("de", "KrStd", {"a=pkg de"}, true);
    d.PutXliff("de", "KrStd", {"a=lng de", "b=lng de", "c~", "=no id", "b=lng de again"});
    d.PutXliff("en", "KrStd", {"a=en", "b=en", "d=en", "e=one\r\ntwo\rthree\nfour"});
    d.PutXliff("en", "Other", {"a=other en"});
    const std::string newEn = OneLine(Xliff({"d=new en"}));

    const Lines out = d.Run({"set\tde", "text\tKrStd\ta", "text\tKrStd\tb", "text\tKrStd\tc",
                             "text\tKrStd\td", "text\tKrStd\te", "text\tKrStd\tmissing", "text\tOther\ta",
                             "text\tNone\ta", "tree\tKrStd\t\t0",
                             // cached texts survive a repeated request of the current language...
                             "put\tlng/en/KrStd.xlf\t" + newEn, "set\tde", "text\tKrStd\td",
                             // ...and are read again after a change
                             "set\ten", "set\tde", "text\tKrStd\td", "text\tKrStd\ta", "log"});
    EXPECT_EQ(out, (Lines{"2", "pkg de", "lng de again", "src:c", "en", "one\\ntwo\\nthree\\nfour", "(none)",
                          "other en", "(none)",
                          "a=pkg de,a_b=kept,b=lng de again,c=src:c,d=en,e=one\\ntwo\\nthree\\nfour", //
                          "", "1", "en",                                                              //
                          "2", "2", "new en", "pkg de", ""}));
}

TEST(LanguageTexts, TreePrefixForms) {
    TDeployment d;
    d.PutLangInfo("en", "English", "");
    d.PutXliff("en", "KrStd", {"forms.a_b=form ab", "forms.x=form x", "formsy=not", "other.z=z"});
    const Lines out = d.Run({"set\ten", "tree\tKrStd\tforms\t1", "tree\tKrStd\tforms.\t1",
                             "tree\tKrStd\tforms\t0", "tree\tKrStd\t\t1", "tree\tMissing\tforms\t1"});
    EXPECT_EQ(out, (Lines{"2", "a_b=kept,x=form x", "a_b=kept,x=form x",
                          "a_b=kept,forms.a_b=form ab,forms.x=form x",
                          "a_b=kept,forms.a_b=form ab,forms.x=form x,formsy=not,other.z=z", "a_b=kept"}));
}

TEST(LanguageStartUp, FileThenSystemLocaleThenEnglish) {
    TDeployment d;
    d.PutLangInfo("en", "English", "");
    d.PutLangInfo("de", "Deutsch", "en");
    const std::string file = d.dir() + "KrStd.dll.lng";

    d.Put("KrStd.dll.lng", "  de \r\nfr\n");
    EXPECT_EQ(d.Run({"init", "chain", "log"}), (Lines{"init de", "de,en", ""}));

    d.Put("KrStd.dll.lng", "qq\n");
    EXPECT_EQ(
        d.Run({"init", "log"}, "de_DE.UTF-8"),
        (Lines{"init de", "W3 @Failed to set language qq | E3 @Cannot set language qq from file " + file}));

    d.Put("KrStd.dll.lng", "\nde\n");
    EXPECT_EQ(d.Run({"init", "log"}),
              (Lines{"init en", "E3 @Error parsing file " + file + ": first line is empty"}));

    std::filesystem::remove(file);
    std::filesystem::create_directory(file); // exists, cannot be read
    const Lines out = d.Run({"init", "log"}, "de_DE.UTF-8");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], "init de");
    const std::string last = " | E3 @Error reading file " + file; // after the file stream's own records
    EXPECT_GT(out[1].size(), last.size());
    EXPECT_EQ(out[1].substr(out[1].size() - std::min(last.size(), out[1].size())), last);
}

TEST(LanguageStartUp, MissingEnglishIsFatal) {
    TDeployment d;
    d.PutLangInfo("de", "Deutsch", "en"); // the base is missing
    const std::string fatal = "@Cannot set english languale. Program files are corrupted";
    EXPECT_EQ(d.Run({"init", "log", "cur"}, "de_DE.UTF-8"),
              (Lines{"threw string " + fatal,
                     "W3 @Failed to set language de | E3 @Cannot set language de from system locale | "
                     "W3 @Failed to set language en | E3 " +
                         fatal,
                     "en"}));
}

TEST(KrTranslator, LookupAndSplittingRules) {
    TDeployment d;
    d.PutLangInfo("en", "English", "");
    d.PutXliff("en", "KrStd", {"forms.Dlg_OK=Fine", "forms.Dlg_\xC3\x9C=\xC3\x84rger"});
    d.PutXliff("en", "Other", {"forms.Title=Other title", "forms.=empty id"});
    const Lines out = d.Run({"set\ten",
                             "tr\t-\tOK\t-", // no context: the source text, nothing looked up
                             "tr\tDlg\tOK\t-", "tr\tDlg\tCancel\t-", "tr\tDlg\t\xC3\x9C\t-", "log",
                             "tr\tDlg\tX\tOther:Title", "tr\tDlg\tX\tOther:", "tr\tDlg\tX\tOther:Title:more",
                             "tr\tDlg\tX\tOther", "tr\tDlg\tX\t:Title", "log"});
    EXPECT_EQ(
        out,
        (Lines{"2", "OK", "Fine", "Cancel", "\xC3\x84rger",
               "I5 TKrTranslator::translate: forms.Dlg_OK | I5 TKrTranslator::translate: forms.Dlg_Cancel | "
               "I5 TKrTranslator::translate: forms.Dlg_\xC3\x9C",
               "Other title", "empty id", "X", "X", "X", ""}));
}

TEST(LanguageFiles, MalformedFilesContributeNothingOrFailTheRead) {
    TDeployment d;
    d.PutLangInfo("en", "English", "");
    d.PutLangInfo("de", "Deutsch (Paket)", "en", true);
    d.PutLangInfo("de", "Deutsch", "en");
    d.Put("lng/cut/lang.x-ini", KrLangTest::LangInfo("cut", "Cut", "en").substr(0, 90));
    d.Put("lng/noname/lang.x-ini",
          "<krini><s n=\"lang_id\" v=\"noname\"/><s n=\"base_lang_id\" v=\"\"/></krini>");
    d.Put("lng/nofile/readme.txt", "no lang.x-ini here");
    d.Put("lngpkg/de/KrStd.xlf", "<xliff><file><body><trans-unit id=\"a\"><target>x</target>");
    d.Put("lng/de/KrStd.xlf", "<?xml version=\"1.0\"?><other><file><body><trans-unit id=\"a\"><target>y"
                              "</target></trans-unit></body></file></other>");
    d.PutXliff("en", "KrStd", {"a=en", "b=en"});
    d.Put("lng/en/Odd.xlf", "<xliff><file/><body><trans-unit id=\"a\"><source>z</source></trans-unit></body>"
                            "</xliff>");

    const std::string readError = "threw @KrStd::ReadLangInfo: Ошибка чтения файла";
    const Lines out = d.Run({"set\ten", "set\tcut", "set\tnoname", "cur", "chain", "set\tde",
                             "text\tKrStd\ta", "text\tOdd\ta", "avail"});
    ASSERT_EQ(out.size(), 9u);
    EXPECT_EQ(out[0], "2");
    EXPECT_EQ(out[1], readError);
    EXPECT_EQ(out[2], readError);
    EXPECT_EQ(out[3], "en") << "a failed read leaves the chain in force";
    EXPECT_EQ(out[4], "en");
    EXPECT_EQ(out[5], "2");
    EXPECT_EQ(out[6], "en");
    EXPECT_EQ(out[7], "(none)");
    EXPECT_EQ(out[8], "de=Deutsch (Paket),en=English");
}

} // namespace
