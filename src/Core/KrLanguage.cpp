// The language text store: module texts from XLIFF files along the language chain.
#include "Core/KrLanguage.h"
#include "Core/KrExceptions.h"
#include "Core/KrLanguageInternal.h"
#include "Core/KrLog.h"
#include "Core/KrMessage.h"
#include "Core/KrModule.h"
#include "Core/KrModuleHooks.h"
#include "Core/KrStringList.h"
#include "Core/KrSysLog.h"
#include "Streams/KrFileStream.h"
#include "System/KrPath.h"
#include "XIni/KrXIniStreamReader.h"
#include "Xml/KrXmlDom.h"

#include <QtCore/QDir>
#include <QtCore/QLocale>
#include <QtCore/QStringList>

#include <dlfcn.h>
#include <mutex>
#include <set>

namespace {

using TTexts = std::map<std::string, std::string>;

const char kReadLangInfoError[] = "@KrStd::ReadLangInfo: Ошибка чтения файла";
const char kEnglishFailure[] = "@Cannot set english languale. Program files are corrupted";
constexpr unsigned kAllOnes = 0xFFFFFFFFu;

/// The process-wide state. The mutex guards the text cache only; it is recursive because
/// loading a module's texts may format a message (a malformed file), which looks up a text of
/// this library while the load still holds the lock. The module's map exists (empty or partly
/// filled) from the start of its load, so such a nested lookup finds it and never reloads.
struct TLangStore {
    std::recursive_mutex mutex;
    std::map<std::string, TTexts> cache;
    std::string current;
    const std::string defaultId = "en";
    std::vector<TLangInfo> chain;
};

TLangStore& Store() {
    static TLangStore store;
    return store;
}

char g_anchor; // an address inside this library, for dladdr before module start-up

/// The library's folder with a trailing separator. Module start-up records it; lookups made
/// before start-up ask the dynamic loader directly.
std::string ModuleDirectory() {
    const std::string& dir = KrModule_Initializer::instance().directory();
    if (!dir.empty()) return dir;
    Dl_info info;
    if (!dladdr(&g_anchor, &info) || !info.dli_fname) return std::string();
    const std::string path = info.dli_fname;
    const std::size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

const char* FolderOf(bool package) {
    return package ? "lngpkg\\" : "lng\\";
}

TKrPath LangInfoPath(const std::string& dir, bool package, const std::string& lang) {
    return TKrPath(dir + FolderOf(package) + lang + "\\lang.x-ini");
}

TKrPath XliffPath(const std::string& dir, const TLangInfo& entry, const std::string& module) {
    return TKrPath(dir + FolderOf(entry.is_package) + entry.lang_id + "\\" + module + ".xlf");
}

std::string NormaliseLineEnds(std::string text) {
    std::size_t w = 0;
    for (std::size_t r = 0; r < text.size(); ++r) {
        if (text[r] == '\r') {
            text[w++] = '\n';
            if (r + 1 < text.size() && text[r + 1] == '\n') ++r;
        } else {
            text[w++] = text[r];
        }
    }
    text.resize(w);
    return text;
}

/// One file's contribution to a module's texts; a file that cannot be opened or read adds
/// nothing (an unreadable or malformed one is logged).
void MergeXliffFile(const TKrPath& path, TTexts& texts) {
    if (!path.isFile()) return;
    TTexts file;
    try {
        var_a<TKrFileStream*> stream = TKrFileStream::VCreate(path, krOpenRead);
        if (!stream->IsOpen()) return;
        KrLanguageInternal::ReadXliffTexts(stream.get(), file);
    } catch (const TKrMessage& e) {
        KrLogWriteWarning(TKrMessage("@Language texts %1% skipped: %2%") << path << e);
        return;
    } catch (const std::exception& e) {
        KrLogWriteWarning(TKrMessage("@Language texts %1% skipped: %2%") << path << e.what());
        return;
    }
    if (texts.empty()) {
        texts.swap(file);
        return;
    }
    // Earlier chain entries win: only identifiers not defined yet are taken.
    for (auto& entry : file)
        texts.emplace(entry.first, std::move(entry.second));
}

/// The module's texts, loaded along the chain on first use. Call with the store mutex held.
const TTexts& ModuleTexts(TLangStore& s, const std::string& module) {
    auto found = s.cache.find(module);
    if (found != s.cache.end()) return found->second;
    TTexts& texts = s.cache[module];
    const std::string dir = ModuleDirectory();
    for (const TLangInfo& entry : s.chain)
        MergeXliffFile(XliffPath(dir, entry, module), texts);
    return texts;
}

TLangInfo DefaultEntry(const TLangStore& s) {
    TLangInfo info;
    info.lang_id = s.defaultId;
    info.lang_name = s.defaultId;
    return info;
}

} // namespace

// ---- reading the files

void KrLanguageInternal::ReadXliffTexts(TKrStream* stream, std::map<std::string, std::string>& out) {
    var_a<TKrXmlTagItem*> root = KrReadXml(stream, true, nullptr);
    if (!root || root->m_name != "xliff") return;
    const TKrXmlTagItem* file = root->m_items.tag(root->m_items.find_tag_f("file", 0));
    if (!file) return;
    const TKrXmlTagItem* body = file->m_items.tag(file->m_items.find_tag_f("body", 0));
    if (!body) return;
    const TKrXmlTagItems& units = body->m_items;
    for (std::size_t i = units.find_tag_f("trans-unit", 0); i != TKrXmlTagItems::npos;
         i = units.find_tag_f("trans-unit", i + 1)) {
        const TKrXmlTagItem* unit = units.tag(i);
        std::string id = unit->m_attributes.get_value("id", std::string());
        if (id.empty()) continue;
        const TKrXmlTagItem* text = unit->m_items.tag(unit->m_items.find_tag_f("target", 0));
        if (!text) text = unit->m_items.tag(unit->m_items.find_tag_f("source", 0));
        out[std::move(id)] = text ? NormaliseLineEnds(text->m_items.get_text()) : std::string();
    }
}

TLangInfo KrLanguageInternal::ReadLangInfoStream(const var_a<TKrStream*>& stream) {
    TLangInfo info;
    try {
        TKrXIniStreamReader reader(stream, TE_KrXIniErrorMode::Throw, nullptr);
        info.lang_id = reader.ReadE<std::string>(reader.FindFE("lang_id", 0));
        info.lang_name = reader.ReadE<std::string>(reader.FindFE("lang_name", 0));
        info.base_lang_id = reader.ReadE<std::string>(reader.FindFE("base_lang_id", 0));
    } catch (...) {
        TKrMessage error(kReadLangInfoError);
        error << stream->GetInfoName();
        error.AppendMsg(KrGetExceptionReason());
        throw error;
    }
    return info;
}

TLangInfo ReadLangInfo(const TKrPath& path) {
    var_a<TKrFileStream*> stream = TKrFileStream::VCreate(path, krOpenRead);
    if (!stream->IsOpen()) {
        TKrMessage error(kReadLangInfoError);
        error << path;
        error.AppendMsg(GetSystemErrorMessage(stream->GetLastError().value()));
        throw error;
    }
    return KrLanguageInternal::ReadLangInfoStream(stream);
}

// ---- lookups

bool LoadResString(const std::string& module, const std::string& id, const std::string** out) {
    TLangStore& s = Store();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    const TTexts& texts = ModuleTexts(s, module);
    auto it = texts.find(id);
    const bool found = it != texts.end();
    if (out) *out = found ? &it->second : nullptr;
    return found;
}

std::string LoadResString(const std::string& module, const std::string& id) {
    const std::string* text = nullptr;
    return LoadResString(module, id, &text) && text ? *text : std::string();
}

void LoadResStringTree(std::map<std::string, std::string>& out, const std::string& module,
                       const std::string& prefix, bool strip) {
    std::string p = prefix;
    if (!p.empty() && p.back() != '.') p += '.';
    TLangStore& s = Store();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    const TTexts& texts = ModuleTexts(s, module);
    for (auto it = texts.lower_bound(p); it != texts.end() && it->first.compare(0, p.size(), p) == 0; ++it)
        out.emplace(strip ? it->first.substr(p.size()) : it->first, it->second);
}

// ---- the chain

unsigned setCurLanguageId(const std::string& id) {
    TLangStore& s = Store();
    if (id == s.current) return 1;

    // The new chain is built aside, so that a lang.x-ini that cannot be read (which throws)
    // leaves the chain and the texts in force unchanged.
    const std::string dir = ModuleDirectory();
    std::vector<TLangInfo> chain;
    std::set<std::string> visited;
    unsigned result = 2;
    std::string lang = id;
    for (;;) {
        if (!visited.insert(lang).second) {
            KrLogWriteWarning(TKrMessage("@Failed to build full chain for lang %1%: failure at lang %2%")
                              << id << lang);
            chain.push_back(DefaultEntry(s));
            result = 0;
            break;
        }
        const TKrPath packagePath = LangInfoPath(dir, true, lang);
        const TKrPath plainPath = LangInfoPath(dir, false, lang);
        const bool havePackage = packagePath.isFile();
        const bool havePlain = plainPath.isFile();
        if (!havePackage && !havePlain) {
            KrLogWriteWarning(TKrMessage("@Failed to set language %1%") << id);
            chain.push_back(DefaultEntry(s));
            result = kAllOnes;
            break;
        }
        if (havePackage) {
            chain.push_back(ReadLangInfo(packagePath));
            chain.back().is_package = true;
        }
        if (havePlain) chain.push_back(ReadLangInfo(plainPath));
        lang = chain.back().base_lang_id;
        if (lang.empty()) break;
    }

    if (chain.empty()) return kAllOnes;
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    s.chain.swap(chain);
    s.cache.clear();
    s.current = s.chain.front().lang_id;
    return result;
}

std::string getCurLanguageId() {
    return Store().current;
}

std::vector<std::string> getCurLanguageIdChain() {
    std::vector<std::string> ids;
    std::set<std::string> seen;
    for (const TLangInfo& entry : Store().chain)
        if (seen.insert(entry.lang_id).second) ids.push_back(entry.lang_id);
    return ids;
}

std::map<std::string, std::string> getAvalibleLangs() {
    std::map<std::string, std::string> langs;
    const std::string dir = ModuleDirectory();
    for (bool package : {true, false}) {
        const TKrPath folder = TKrPath(dir + FolderOf(package)).getValidatedUnixPath();
        if (!folder.isFolder()) continue;
        const QStringList names = QDir(folder.toQtStr()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            const std::string lang = name.toStdString();
            if (langs.count(lang)) continue;
            const TKrPath path = LangInfoPath(dir, package, lang);
            if (!path.isFile()) continue;
            try {
                langs.emplace(lang, ReadLangInfo(path).lang_name);
            } catch (const TKrMessage& e) {
                KrLogWriteWarning(e);
            }
        }
    }
    return langs;
}

// ---- start-up

namespace {
bool TrySetLanguage(const std::string& lang) {
    try {
        return setCurLanguageId(lang) != kAllOnes;
    } catch (const TKrMessage& e) {
        KrLogWriteError(e);
        return false;
    }
}

/// The first line of the language file beside the library, trimmed. `exists`/`readable` tell
/// why an empty text came back.
std::string ReadLanguageFile(const TKrPath& path, bool& exists, bool& readable) {
    exists = path.exists();
    readable = false;
    if (!exists) return std::string();
    var_a<TKrFileStream*> stream = TKrFileStream::VCreate(path, krOpenRead);
    if (!stream->IsOpen()) return std::string();
    char buffer[127];
    const streamsize_t n = stream->Read(buffer, sizeof buffer);
    if (n == TKrStream::invalid_value) return std::string();
    readable = true;
    std::string text(buffer, static_cast<std::size_t>(n));
    const std::size_t lf = text.find('\n');
    if (lf != std::string::npos) text.resize(lf);
    return trim(text);
}
} // namespace

void setDefaultLanguageId() {
    TLangStore& s = Store();
    const std::string file = ModuleDirectory() + "KrStd.dll.lng";
    const TKrPath filePath(file);
    bool exists = false;
    bool readable = false;
    const std::string fromFile = ReadLanguageFile(filePath, exists, readable);
    if (!fromFile.empty()) {
        if (TrySetLanguage(fromFile)) return;
        KrLogWriteError(TKrMessage("@Cannot set language %1% from file %2%") << fromFile << filePath);
    } else if (exists && readable) {
        KrLogWriteError(TKrMessage("@Error parsing file %1%: first line is empty") << filePath);
    } else if (exists) {
        KrLogWriteError(TKrMessage("@Error reading file %1%") << filePath);
    }

    const std::string fromLocale = QLocale::system().bcp47Name().toStdString();
    if (!fromLocale.empty()) {
        if (TrySetLanguage(fromLocale)) return;
        KrLogWriteError(TKrMessage("@Cannot set language %1% from system locale") << fromLocale << filePath);
    }

    if (TrySetLanguage(s.defaultId)) return;
    KrLogWriteError(std::string(kEnglishFailure));
    KrSysLogError(kEnglishFailure, "KORVINEX");
    throw std::string(kEnglishFailure);
}

void KrLanguageInternal::StartUp() {
    KrModuleHooks::SetResourceLookup(
        [](const std::string& module, const std::string& id, const std::string** text) {
            return LoadResString(module, id, text);
        });
    setDefaultLanguageId();
}
