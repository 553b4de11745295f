// krtool crc32, crc64, md5: checksums of files and standard input, one line per input.
#include "KrToolCommand.h"

#include "Utils/KrCrc32.h"
#include "Utils/KrCrc64.h"
#include "Utils/KrMD5.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

/// A checksum being computed: fed blocks in order, then asked for its text.
struct TChecksum {
    virtual ~TChecksum() = default;
    virtual void Add(const unsigned char* data, std::size_t n) = 0;
    virtual std::string Hex() = 0;
};

struct TCrc32Sum : TChecksum {
    std::uint32_t crc = 0;
    void Add(const unsigned char* data, std::size_t n) override { crc = KrCrc32(crc, data, n); }
    std::string Hex() override {
        char text[9];
        std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(crc));
        return text;
    }
};

struct TCrc64Sum : TChecksum {
    std::uint64_t crc = 0;
    void Add(const unsigned char* data, std::size_t n) override { crc = crc64(crc, data, n); }
    std::string Hex() override {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(crc));
        return text;
    }
};

struct TMD5Sum : TChecksum {
    KrMD5::md5_state_s state;
    TMD5Sum() { KrMD5::md5_init(&state); }
    void Add(const unsigned char* data, std::size_t n) override {
        KrMD5::md5_append(&state, data, static_cast<int>(n)); // n is at most one read block
    }
    std::string Hex() override {
        unsigned char digest[16];
        KrMD5::md5_finish(&state, digest);
        std::string text;
        char byte[3];
        for (unsigned char b : digest) {
            std::snprintf(byte, sizeof byte, "%02x", b);
            text += byte;
        }
        return text;
    }
};

constexpr std::size_t kBlock = std::size_t(1) << 20;

/// Feeds the whole of `fd` to `sum`; false with errno set on a read error.
bool Digest(int fd, TChecksum& sum, std::vector<unsigned char>& block) {
    for (;;) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        sum.Add(block.data(), static_cast<std::size_t>(got));
    }
}

/// The line of the usual checksum programs: names holding a backslash, a line feed or a
/// carriage return are written escaped, and the line then starts with a backslash.
void PrintLine(const std::string& hex, const std::string& name) {
    std::string shown;
    bool escaped = false;
    for (char c : name) {
        switch (c) {
        case '\\':
            shown += "\\\\";
            escaped = true;
            break;
        case '\n':
            shown += "\\n";
            escaped = true;
            break;
        case '\r':
            shown += "\\r";
            escaped = true;
            break;
        default:
            shown += c;
        }
    }
    std::printf("%s%s  %s\n", escaped ? "\\" : "", hex.c_str(), shown.c_str());
}

template <class TSum> int RunSums(const char* command, const std::vector<std::string>& args) {
    std::vector<std::string> names = args;
    if (names.empty()) names.push_back("-");
    std::vector<unsigned char> block(kBlock);
    int status = 0;
    for (const std::string& name : names) {
        const bool standardInput = name == "-";
        const int fd = standardInput ? STDIN_FILENO : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        TSum sum;
        bool ok = fd >= 0 && Digest(fd, sum, block);
        const int error = errno;
        if (fd >= 0 && !standardInput) ::close(fd);
        if (!ok) {
            std::fflush(stdout);
            std::fprintf(stderr, "krtool %s: %s: %s\n", command, name.c_str(), std::strerror(error));
            status = 1;
            continue;
        }
        PrintLine(sum.Hex(), name);
    }
    return status;
}

int RunCrc32(const std::vector<std::string>& args) {
    return RunSums<TCrc32Sum>("crc32", args);
}
int RunCrc64(const std::vector<std::string>& args) {
    return RunSums<TCrc64Sum>("crc64", args);
}
int RunMD5(const std::vector<std::string>& args) {
    return RunSums<TMD5Sum>("md5", args);
}

} // namespace

KRTOOL_COMMAND(crc32, "crc32", "[FILE]...",
               "print the CRC-32 (gzip's) of each FILE as 8 hex digits; - or none: standard input", RunCrc32);
KRTOOL_COMMAND(crc64, "crc64", "[FILE]...",
               "print the CRC-64 of each FILE as 16 hex digits; - or none: standard input", RunCrc64);
KRTOOL_COMMAND(md5, "md5", "[FILE]...",
               "print the MD5 digest of each FILE as md5sum does; - or none: standard input", RunMD5);
