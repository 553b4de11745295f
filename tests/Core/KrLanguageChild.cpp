// The deployment folder and the script runner that a child process of this program executes.
#include "KrLanguageDeploy.h"

#include "Core/KrExceptions.h"
#include "Core/KrLanguage.h"
#include "Core/KrLog.h"
#include "Core/KrModule.h"
#include "Core/KrTranslator.h"
#include "System/KrPath.h"

#include <QtCore/QProcess>
#include <QtCore/QStringList>

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace KrLangTest {

namespace {

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t begin = 0;
    for (std::size_t tab; (tab = line.find('\t', begin)) != std::string::npos; begin = tab + 1)
        fields.push_back(line.substr(begin, tab - begin));
    fields.push_back(line.substr(begin));
    return fields;
}

std::string Join(const std::vector<std::string>& items, const char* sep) {
    std::string out;
    for (const std::string& s : items)
        out += (out.empty() ? "" : sep) + s;
    return out;
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

/// The folder of the library this process runs with, with a trailing '/'.
std::string LoadedLibraryDir() {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&Init_KrStd), &info) || !info.dli_fname) return std::string();
    return std::filesystem::path(info.dli_fname).parent_path().string() + "/";
}

/// One command; returns its result line (empty: no line).
std::string RunCommand(const std::vector<std::string>& f, TCollectingLog& log, bool& inited) {
    const std::string& cmd = f[0];
    auto arg = [&](std::size_t i) { return i < f.size() ? f[i] : std::string(); };
    if (cmd == "init") {
        Init_KrStd();
        inited = true;
        return "init " + getCurLanguageId();
    }
    if (cmd == "where") return LoadedLibraryDir();
    if (cmd == "set") return std::to_string(setCurLanguageId(arg(1)));
    if (cmd == "cur") return getCurLanguageId();
    if (cmd == "chain") return Join(getCurLanguageIdChain(), ",");
    if (cmd == "avail") {
        std::vector<std::string> items;
        for (const auto& kv : getAvalibleLangs())
            items.push_back(kv.first + "=" + kv.second);
        return Join(items, ",");
    }
    if (cmd == "text") {
        const std::string* text = nullptr;
        if (!LoadResString(arg(1), arg(2), &text)) return "(none)";
        return *text;
    }
    if (cmd == "tree") {
        std::map<std::string, std::string> out{{"a_b", "kept"}};
        LoadResStringTree(out, arg(1), arg(2), arg(3) == "1");
        std::vector<std::string> items;
        for (const auto& kv : out)
            items.push_back(kv.first + "=" + kv.second);
        return Join(items, ",");
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
        std::string text = arg(2);
        for (std::size_t p; (p = text.find("\\n")) != std::string::npos;)
            text.replace(p, 2, "\n");
        std::ofstream(LoadedLibraryDir() + arg(1), std::ios::binary) << text;
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
            result = RunCommand(Fields(line), log, inited);
        } catch (const TKrMessage& e) {
            result = std::string("threw ") + e.what();
        } catch (const std::string& e) {
            result = "threw string " + e;
        } catch (const std::exception& e) {
            result = std::string("threw std ") + e.what();
        }
        for (std::size_t p; (p = result.find('\n')) != std::string::npos;)
            result.replace(p, 1, "\\n");
        std::printf("=> %s\n", result.c_str());
    }
    if (inited) Deinit_KrStd();
    KrLogSetLog(nullptr);
    KrLogFinalize();
    std::fflush(stdout);
    std::exit(0);
}

[[maybe_unused]] const int g_scriptRun = RunScriptIfAsked();

std::string SelfExe() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).string();
}

} // namespace

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

TDeployment::TDeployment() {
    std::string pattern = (std::filesystem::temp_directory_path() / "krstd-lang-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return;
    m_dir = pattern + "/";
    // The copy carries the soname, the name the loader looks for.
    Dl_info info;
    std::string soname = "libKrStd.so";
    if (dladdr(reinterpret_cast<void*>(&Init_KrStd), &info) && info.dli_fname)
        soname = std::filesystem::path(info.dli_fname).filename().string();
    std::error_code ec;
    std::filesystem::copy_file(KRSTD_LIBRARY_FILE, m_dir + soname, ec);
}

TDeployment::~TDeployment() {
    std::error_code ignored;
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ignored);
}

void TDeployment::Put(const std::string& relative, const std::string& bytes) const {
    const std::string full = m_dir + relative;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream(full, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

void TDeployment::PutLangInfo(const std::string& lang, const std::string& name, const std::string& base,
                              bool package) const {
    Put(std::string(package ? "lngpkg/" : "lng/") + lang + "/lang.x-ini", LangInfo(lang, name, base));
}

void TDeployment::PutXliff(const std::string& lang, const std::string& module,
                           const std::vector<std::string>& units, bool package) const {
    Put(std::string(package ? "lngpkg/" : "lng/") + lang + "/" + module + ".xlf", Xliff(units));
}

std::vector<std::string> TDeployment::Run(const std::vector<std::string>& script,
                                          const std::string& locale) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), QString::fromStdString(m_dir));
    env.insert(QString::fromLatin1(kScriptVar), QString::fromStdString(Join(script, "\n")));
    for (const char* var : {"LC_ALL", "LANG", "LANGUAGE", "LC_MESSAGES"})
        env.insert(QString::fromLatin1(var), QString::fromStdString(locale));
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QString::fromStdString(SelfExe()), QStringList{QStringLiteral("--gtest_list_tests")});
    std::vector<std::string> results;
    if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0) {
        results.push_back("child failed: " + child.readAllStandardError().toStdString());
        return results;
    }
    std::istringstream out(child.readAllStandardOutput().toStdString());
    for (std::string line; std::getline(out, line);)
        if (line.rfind("=> ", 0) == 0) results.push_back(line.substr(3));
    return results;
}

} // namespace KrLangTest
