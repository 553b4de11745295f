// krtool ini: read, set and list values of an INI file in the library's dialect.
#include "KrToolCommand.h"

#include "Core/KrMessage.h"
#include "Streams/KrFileStream.h"
#include "System/KrPath.h"
#include "XIni/KrIni.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace {

// get FILE SECTION KEY: the decoded value; exit 1 when absent.
// set FILE SECTION KEY VALUE: stores VALUE as it stands (creates the file when absent).
// dump FILE: every section as "[name]" followed by its raw key=value lines.
int Run(const std::vector<std::string>& args) {
    const std::string& cmd = args[0];
    const std::string& file = args[1];
    if (cmd == "get" && args.size() == 4) {
        auto s = TKrFileStream::VCreateE(TKrPath(file), krOpenRead);
        TKrIniFileManager ini(s.get(), krOpenRead, false);
        if (!ini.SetSection(args[2]) || !ini.ReadRawString(args[3])) {
            std::fprintf(stderr, "krtool ini: %s: no [%s] %s\n", file.c_str(), args[2].c_str(),
                         args[3].c_str());
            return 1;
        }
        std::printf("%s\n", ini.ReadStdString(args[3], "").c_str());
    } else if (cmd == "set" && args.size() == 5) {
        struct stat st;
        const bool exists = ::stat(file.c_str(), &st) == 0;
        auto s = TKrFileStream::VCreateE(TKrPath(file), exists ? krOpenReadWrite : krCreate);
        TKrIniFileManager ini(s.get(), exists ? krOpenReadWrite : krCreate, false);
        if (!ini.WriteSection(args[2]) || !ini.WriteRawString(args[3], args[4]) || !ini.Close()) {
            std::fprintf(stderr, "krtool ini: %s: cannot write\n", file.c_str());
            return 1;
        }
    } else if (cmd == "dump" && args.size() == 2) {
        auto s = TKrFileStream::VCreateE(TKrPath(file), krOpenRead);
        TKrIniFileManager ini(s.get(), krOpenRead, false);
        for (std::size_t i = 0; i < ini.GetSectionCount(); ++i) {
            const std::string name = ini.GetSectionName(i);
            std::printf("[%s]\n", name.c_str());
            ini.SetSection(name);
            std::vector<std::string> keys;
            ini.ReadSection(keys);
            for (const std::string& k : keys) {
                const char* v = ini.ReadRawString(k);
                if (v) std::printf("%s=%s\n", k.c_str(), v);
            }
        }
    } else {
        return KrToolUsage("ini");
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int RunIni(const std::vector<std::string>& args) {
    if (args.size() < 2) return KrToolUsage("ini");
    try {
        return Run(args);
    } catch (const TKrMessage& m) {
        std::fflush(stdout);
        const char* text = m.c_str();
        std::fprintf(stderr, "krtool ini: %s\n", text + (*text == '@'));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "krtool ini: %s\n", e.what());
        return 1;
    }
}

} // namespace

KRTOOL_COMMAND(ini, "ini", "get|set|dump FILE [SECTION KEY [VALUE]]",
               "read, set or list the values of an INI file", RunIni);
