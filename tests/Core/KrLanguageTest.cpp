// Language texts on deployed copies of the library: the chain walk, which file's text wins, the
// start-up language, the Qt translator and malformed files.
#include "Core/KrLanguage.h"
#include "Core/KrLog.h"
#include "Core/KrMessage.h"
#include "Core/KrModuleStartup.h"
#include "Core/KrTranslator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QtCore/QProcess>
#include <QtCore/QStringList>

#include <dlfcn.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;

/// The variable that turns this program into the script runner; its value is the script.
const char* const kScriptVar = "KRSTD_LANG_SCRIPT";

using Lines = std::vector<std::string>;

std::string Join(const std::vector<std::string>& items, const char* sep) {
    std::string out;
    for (const std::string& s : items)
        out += (out.empty() ? "" : sep) + s;
    return out;
}
std::string Join(const std::map<std::string, std::string>& items) {
    std::vector<std::string> pairs;
    for (const auto& kv : items)
        pairs.push_back(kv.first + "=" + kv.second);
    return Join(pairs, ",");
}
/// `text` with every `from` replaced by `to`: line feeds travel as "\\n" through script and output.
std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t p = 0; (p = text.find(from, p)) != std::string::npos; p += to.size())
        text.replace(p, from.size(), to);
    return text;
}

/// Keeps what the library logs: "<type><level> [source: ]text".
struct TCollectingLog : TKrLog {
    std::vector<std::string> records;
    bool Write(const std::string& source, const std::string& text, TKrLogMsgType type, TKrLogMsgLevel level,
               int) override {
        records.push_back(std::string(1, char(type)) + std::to_string(level) + " " +
                          (source.empty() ? "" : source + ": ") + text);
        return true;
    }
};

const char* NullIfDash(const std::string& s) {
    return s == "-" ? nullptr : s.c_str();
}

/// The file of the library this process runs with, as the loader found it.
std::filesystem::path LoadedLibrary() {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&Init_KrStd), &info) || !info.dli_fname) return {};
    return info.dli_fname;
}
std::string LoadedLibraryDir() {
    return LoadedLibrary().parent_path().string() + "/";
}

/// One script command and its result line. Commands: init, where (the library's folder), set ID,
/// cur, chain, avail, text MODULE ID, tree MODULE PREFIX STRIP (into a map holding a_b=kept),
/// tr CONTEXT SOURCE DISAMBIGUATION ("-" for null), log (the records since the last log),
/// put FILE TEXT (below the library's folder; "\\n" for a line feed).
std::string RunCommand(const std::string& line, TCollectingLog& log, bool& inited) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');)
        f.push_back(field);
    auto arg = [&](std::size_t i) { return i < f.size() ? f[i] : std::string(); };
    const std::string cmd = arg(0);
    if (cmd == "init") {
        Init_KrStd();
        inited = true;
        return "init " + getCurLanguageId();
    }
    if (cmd == "where") return LoadedLibraryDir();
    if (cmd == "set") return std::to_string(setCurLanguageId(arg(1)));
    if (cmd == "cur") return getCurLanguageId();
    if (cmd == "chain") return Join(getCurLanguageIdChain(), ",");
    if (cmd == "avail") return Join(getAvalibleLangs());
    if (cmd == "text") {
        const std::string* text = nullptr;
        if (!LoadResString(arg(1), arg(2), &text)) return "(none)";
        return *text;
    }
    if (cmd == "tree") {
        std::map<std::string, std::string> out{{"a_b", "kept"}};
        LoadResStringTree(out, arg(1), arg(2), arg(3) == "1");
        return Join(out);
    }
    if (cmd == "tr") {
        TKrTranslator tr;
        return tr.translate(NullIfDash(arg(1)), NullIfDash(arg(2)), NullIfDash(arg(3))).toStdString();
    }
    if (cmd == "log") {
        std::string out = Join(log.records, " | ");
        log.records.clear();
        return out;
    }
    if (cmd == "put") {
        std::ofstream(LoadedLibraryDir() + arg(1), std::ios::binary) << Replace(arg(2), "\\n", "\n");
        return std::string();
    }
    return "unknown command " + cmd;
}

/// Runs the script of the environment and ends the process; does nothing without one. Runs
/// during static initialisation, so the child never starts the test framework.
int RunScriptIfAsked() {
    const char* script = std::getenv(kScriptVar);
    if (!script) return 0;
    TCollectingLog log;
    KrLogInitialize(); // before start-up, so that its records are seen too
    KrLogSetLog(&log);
    bool inited = false;
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);) {
        std::string result;
        try {
            result = RunCommand(line, log, inited);
        } catch (const TKrMessage& e) {
            result = std::string("threw ") + e.what();
        } catch (const std::string& e) {
            result = "threw string " + e;
        } catch (const std::exception& e) {
            result = std::string("threw std ") + e.what();
        }
        std::printf("=> %s\n", Replace(result, "\n", "\\n").c_str());
    }
    if (inited) Deinit_KrStd();
    KrLogSetLog(nullptr);
    KrLogFinalize();
    std::fflush(stdout);
    std::exit(0);
}

[[maybe_unused]] const int g_scriptRun = RunScriptIfAsked();

/// An XLIFF document with one trans-unit per item: "id=text" has the source "src:id" and the
/// target text, "id~" the source only; an empty id leaves the attribute out.
std::string Xliff(const std::vector<std::string>& units) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<xliff version=\"1.2\"><file original=\"m\"><body>\n";
    for (const std::string& u : units) {
        const std::size_t sep = u.find_first_of("=~");
        const std::string id = u.substr(0, sep);
        const std::string text = u.substr(sep + 1);
        x += "<trans-unit" + (id.empty() ? std::string() : " id=\"" + id + "\"") + "><source>src:" + id +
             "</source>";
        if (u[sep] == '=') x += "<target>" + text + "</target>";
        x += "</trans-unit>\n";
    }
    return x + "</body></file></xliff>\n";
}

std::string LangInfo(const std::string& id, const std::string& name, const std::string& base) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE krini SYSTEM \"krini4.dtd\">\n<krini>\n"
           "  <s n=\"lang_id\" v=\"" +
           id + "\"/>\n  <s n=\"lang_name\" v=\"" + name + "\"/>\n  <s n=\"base_lang_id\" v=\"" + base +
           "\"/>\n</krini>\n";
}

/// A fresh folder holding a copy of the built library under its soname, as an installation has
/// it, and the language folders a test writes; removed with everything in it.
///
/// The copy runs in a child process (this program again, with LD_LIBRARY_PATH naming the folder)
/// rather than through dlopen here: this program already links the built library, and a second
/// copy opened beside it would bind the calls between its own source files to the exported
/// functions and state of the first.
class TDeployment {
public:
    TDeployment() {
        std::string pattern = (std::filesystem::temp_directory_path() / "krstd-lang-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        m_dir = pattern + "/";
        std::error_code ec;
        std::filesystem::copy_file(KRSTD_LIBRARY_FILE, m_dir + LoadedLibrary().filename().string(), ec);
    }
    ~TDeployment() {
        std::error_code ignored;
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ignored);
    }
    /// The folder, with a trailing '/'.
    const std::string& dir() const { return m_dir; }

    void Put(const std::string& relative, const std::string& bytes) const {
        const std::string full = m_dir + relative;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream(full, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    void PutLangInfo(const std::string& lang, const std::string& name, const std::string& base,
                     bool package = false) const {
        Put(std::string(package ? "lngpkg/" : "lng/") + lang + "/lang.x-ini", LangInfo(lang, name, base));
    }
    /// `units` as Xliff takes them.
    void PutXliff(const std::string& lang, const std::string& module, const Lines& units,
                  bool package = false) const {
        Put(std::string(package ? "lngpkg/" : "lng/") + lang + "/" + module + ".xlf", Xliff(units));
    }

    /// Runs the script (commands of RunCommand, fields separated by tabs) in a child process
    /// with every locale variable set to `locale`; returns the result lines, or a line
    /// "child failed: ..." with the child's error output.
    Lines Run(const Lines& script, const std::string& locale = "C") const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_LIBRARY_PATH"), QString::fromStdString(m_dir));
        env.insert(QString::fromLatin1(kScriptVar), QString::fromStdString(Join(script, "\n")));
        for (const char* var : {"LC_ALL", "LANG", "LANGUAGE", "LC_MESSAGES"})
            env.insert(QString::fromLatin1(var), QString::fromStdString(locale));
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string()),
                    QStringList{QStringLiteral("--gtest_list_tests")});
        if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit ||
            child.exitCode() != 0)
            return {"child failed: " + child.readAllStandardError().toStdString()};
        Lines results;
        std::istringstream out(child.readAllStandardOutput().toStdString());
        for (std::string line; std::getline(out, line);)
            if (line.rfind("=> ", 0) == 0) results.push_back(line.substr(3));
        return results;
    }

private:
    std::string m_dir;
};

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
    const std::string newEn = Replace(Xliff({"d=new en"}), "\n", "\\n");

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
    // The last record follows the file stream's own ones.
    EXPECT_THAT(d.Run({"init", "log"}, "de_DE.UTF-8"),
                ElementsAre("init de", EndsWith(" | E3 @Error reading file " + file)));
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
    d.Put("lng/cut/lang.x-ini", LangInfo("cut", "Cut", "en").substr(0, 90));
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
    // A failed read leaves the chain in force.
    EXPECT_EQ(
        d.Run({"set\ten", "set\tcut", "set\tnoname", "cur", "chain", "set\tde", "text\tKrStd\ta",
               "text\tOdd\ta", "avail"}),
        (Lines{"2", readError, readError, "en", "en", "2", "en", "(none)", "de=Deutsch (Paket),en=English"}));
}

} // namespace
