// Language texts: the process-wide text store, the language chain and the start-up language.
#pragma once

#include "Core/KrExport.h"

#include <map>
#include <string>
#include <vector>

class TKrPath;

/// One entry of the language chain, as read from a "lang.x-ini" file.
struct KRSTD_API TLangInfo {
    /// "lang_id" of the file.
    std::string lang_id;
    /// "lang_name": the name shown to users.
    std::string lang_name;
    /// "base_lang_id": the next language of the chain; empty ends it.
    std::string base_lang_id;
    /// True when the entry comes from the "lngpkg" folder, false for "lng"; its XLIFF files are
    /// read from the same folder.
    bool is_package = false;
};

// Texts live in XLIFF files beside the library: <module dir>/lng/<language>/<module>.xlf and
// the same below lngpkg/. A module's texts are loaded on its first lookup, from every entry of
// the current chain (earlier entries win), and kept until the language changes. All lookups
// share one mutex.

/// Looks `id` up in the texts of `module` for the current language chain, loading the module's
/// texts on first use. On success stores a pointer to the cached text (valid until the next
/// language change) and returns true; otherwise stores null and returns false. Cost: one map
/// lookup under the store mutex after the first load.
KRSTD_API bool LoadResString(const std::string& module, const std::string& id, const std::string** out);
/// The text of `id` in `module`, or an empty string.
KRSTD_API std::string LoadResString(const std::string& module, const std::string& id);

/// Copies every text of `module` whose identifier starts with `prefix` (a "." is appended to a
/// non-empty prefix that lacks one) into `out`, keyed by the identifier without the prefix when
/// `strip` is set, by the whole identifier otherwise. Keys already in `out` keep their value.
/// Cost: linear in the module's texts.
KRSTD_API void LoadResStringTree(std::map<std::string, std::string>& out, const std::string& module,
                                 const std::string& prefix, bool strip);

/// Makes `id` the current language: walks from `id` through the base languages, each found as
/// lngpkg/<L>/lang.x-ini and/or lng/<L>/lang.x-ini (the package entry first), and drops every
/// loaded text. Returns 1 when `id` already is current (nothing changes), 2 when the walk ended
/// at a language without base, 0 when it met a language twice (a warning is logged and the
/// default language "en" ends the chain), all ones (0xFFFFFFFF) when a language of the walk has
/// no lang.x-ini (a warning is logged; the chain so far plus "en" stays in force). Callers treat
/// every value but all ones as success. A lang.x-ini that cannot be read throws the
/// ReadLangInfo message and leaves the previous chain in force. Not synchronised with lookups
/// on other threads: call it at start-up or while no other thread reads texts.
KRSTD_API unsigned setCurLanguageId(const std::string& id);
/// The current language identifier ("" before the first successful setCurLanguageId).
KRSTD_API std::string getCurLanguageId();
/// The identifiers of the current chain, most preferred first, each once.
KRSTD_API std::vector<std::string> getCurLanguageIdChain();
/// Every language (folder name) with a lang.x-ini in lng/ or lngpkg/, mapped to its name (the
/// lngpkg file's name when both exist). Files that cannot be read are left out. Lists both
/// folders and reads one small file per language.
KRSTD_API std::map<std::string, std::string> getAvalibleLangs();
/// Reads "lang_id", "lang_name" and "base_lang_id" from the XIni document at `path`; the
/// package flag of the result is false. Any failure (missing file, bad document, missing or
/// non-text value) throws TKrMessage "@KrStd::ReadLangInfo: Ошибка чтения файла" with the path
/// as parameter and the cause in its trace.
KRSTD_API TLangInfo ReadLangInfo(const TKrPath& path);
/// Chooses the start-up language: the first line of <module dir>/KrStd.dll.lng, else the system
/// locale's BCP 47 name, else "en"; failures of the first two are logged as errors. When even
/// "en" fails, logs that to the log and the system log and throws the text as std::string.
/// Called by module start-up.
KRSTD_API void setDefaultLanguageId();
