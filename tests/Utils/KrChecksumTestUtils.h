// Scratch folders, random bytes and shell commands for the checksum tests.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace KrChecksumTest {

/// A fresh folder under the system's temporary folder, removed with everything in it.
struct TScratchDir {
    std::string path;
    TScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "krstd-checksum-XXXXXX").string();
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~TScratchDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path + "/" + name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
};

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

} // namespace KrChecksumTest
