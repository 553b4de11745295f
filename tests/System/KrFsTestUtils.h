// Scratch folders, file and shell helpers, random bytes and a captured process log for the tests.
#pragma once

#include "Core/KrLog.h"
#include "Streams/KrStringStream.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace KrFsTest {

/// A fresh folder under the system's temporary folder, removed with everything in it.
struct TScratchDir {
    std::string path; // without a trailing slash
    TScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "krstd-fs-XXXXXX").string();
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~TScratchDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    /// Writes `bytes` to `name` below the folder, creating the folders on the way.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string full = *this / name;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream(full, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return full;
    }
};

/// Milliseconds of the steady clock since `start`.
inline long long MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen());
    return s;
}

/// Runs `command` in the shell inside `dir`; its standard output, its exit status in `status`.
inline std::string RunShell(const std::string& dir, const std::string& command, int* status = nullptr) {
    std::string out;
    if (FILE* pipe = popen(("cd '" + dir + "' && " + command).c_str(), "r")) {
        char block[4096];
        for (std::size_t n; (n = std::fread(block, 1, sizeof block, pipe)) > 0;)
            out.append(block, n);
        const int rc = pclose(pipe);
        if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    return out;
}

/// The quoted path of the built krtool and a blank, for RunShell; "" when this build has none.
inline std::string Krtool() {
    const auto tool = std::filesystem::path(KRSTD_LIBRARY_FILE).parent_path() / "tools/krtool/krtool";
    return std::filesystem::exists(tool) ? "'" + tool.string() + "' " : std::string();
}

/// Makes removing `file` fail: as root through the immutable attribute, otherwise by taking the
/// write permission from its folder. Undone by the destructor. `ok` is false where neither works.
struct TUndeletable {
    std::string file;
    bool ok = false;
    bool root = geteuid() == 0;
    explicit TUndeletable(std::string f) : file(std::move(f)) {
        if (root)
            ok = std::system(("chattr +i '" + file + "' 2>/dev/null").c_str()) == 0;
        else
            ok = ::chmod(std::filesystem::path(file).parent_path().c_str(), 0555) == 0;
    }
    ~TUndeletable() {
        if (!ok) return;
        if (root)
            (void)std::system(("chattr -i '" + file + "' 2>/dev/null").c_str());
        else
            (void)::chmod(std::filesystem::path(file).parent_path().c_str(), 0755);
    }
};

/// The process log for one test, written into a string.
class TLogCapture {
public:
    TLogCapture() {
        KrLogInitialize();
        KrLogSetLogV(m_log);
    }
    ~TLogCapture() { KrLogFinalize(); }
    const std::string& Text() const { return m_log->str(); }
    /// How often `needle` occurs in the log.
    std::size_t Count(const std::string& needle) const {
        std::size_t n = 0;
        for (std::size_t p = Text().find(needle); p != std::string::npos; p = Text().find(needle, p + 1))
            ++n;
        return n;
    }

private:
    var_a<TKrStringStream*> m_log = new_a<TKrStringStream>();
};

} // namespace KrFsTest
