// A deployed copy of the library with its own language folders, driven through a child process.
#pragma once

#include <string>
#include <vector>

namespace KrLangTest {

/// Environment variable that turns this test program into the script runner of
/// KrLanguageChild.cpp; its value is the script.
constexpr const char* kScriptVar = "KRSTD_LANG_SCRIPT";

/// A fresh folder holding a copy of the built library under its soname, as an installation
/// has it; removed with everything in it.
///
/// The copy is exercised in a child process (this test program again, with LD_LIBRARY_PATH
/// naming the folder), not with dlopen in this process: this program already links the built
/// library, and a second copy opened beside it would bind its calls between its own source
/// files to the first copy's exported functions and state.
class TDeployment {
public:
    TDeployment();
    ~TDeployment();
    TDeployment(const TDeployment&) = delete;
    TDeployment& operator=(const TDeployment&) = delete;

    /// The folder, with a trailing '/'.
    const std::string& dir() const { return m_dir; }
    /// Writes `bytes` to `relative` below the folder, creating the folders on the way.
    void Put(const std::string& relative, const std::string& bytes) const;
    /// lng/<lang>/lang.x-ini (or lngpkg/ when `package`) naming the language and its base.
    void PutLangInfo(const std::string& lang, const std::string& name, const std::string& base,
                     bool package = false) const;
    /// lng/<lang>/<module>.xlf (or lngpkg/) holding `units`, each "id=text" (a target) or
    /// "id~text" (a source only).
    void PutXliff(const std::string& lang, const std::string& module, const std::vector<std::string>& units,
                  bool package = false) const;

    /// Runs the script (one command a line, fields separated by tabs; see KrLanguageChild.cpp)
    /// in a child process with the locale variables set to `locale`; returns the result lines.
    /// A child that fails adds "child failed: ..." with its error output.
    std::vector<std::string> Run(const std::vector<std::string>& script,
                                 const std::string& locale = "C") const;

private:
    std::string m_dir;
};

/// The xlf document for `units` as PutXliff writes it.
std::string Xliff(const std::vector<std::string>& units);
/// A lang.x-ini document.
std::string LangInfo(const std::string& id, const std::string& name, const std::string& base);

} // namespace KrLangTest
