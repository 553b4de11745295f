// Options of the process's command line, read from /proc.
#include "Core/KrCmdLineParams.h"

#include <fstream>
#include <iterator>

std::vector<std::string> TKrCmdLineParams::arguments() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> args;
    std::size_t begin = 0;
    while (begin < all.size()) {
        std::size_t end = all.find('\0', begin);
        if (end == std::string::npos) end = all.size();
        args.push_back(all.substr(begin, end - begin));
        begin = end + 1;
    }
    return args;
}

bool TKrCmdLineParams::get(const std::string& name, std::string* value) {
    return get(arguments(), name, value);
}

bool TKrCmdLineParams::get(const std::vector<std::string>& args, const std::string& name,
                           std::string* value) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == name) {
            const bool hasValue = i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0;
            if (value) *value = hasValue ? args[i + 1] : std::string();
            return true;
        }
        if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
            if (value) *value = a.substr(name.size() + 1);
            return true;
        }
    }
    return false;
}
