// krtool report: expand a report template with the string items of an XIni file.
#include "KrToolCommand.h"

#include "Core/KrLanguage.h"
#include "Core/KrMessage.h"
#include "Output/KrReportGenerator.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string ReadTextE(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TKrMessage("@cannot read %1%") << path;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int RunReport(const std::vector<std::string>& args) {
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--lang")) return KrToolUsage("report");
    if (args.size() == 4 && setCurLanguageId(args[3]) == 0xFFFFFFFFu) {
        std::fprintf(stderr, "krtool report: language \"%s\" is not available\n", args[3].c_str());
        return 1;
    }
    const std::string templ = ReadTextE(args[0]);
    TKrReportGenerator::TVariables vars;
    TKrReportGenerator::XStrings2VarsE(ReadTextE(args[1]), vars);
    const std::string out = TKrReportGenerator().Parse(templ.c_str(), &vars);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

} // namespace

KRTOOL_COMMAND(report, "report", "TEMPLATE DATA.x-ini [--lang ID]",
               "expand a report template with the string items of an XIni file", RunReport);
