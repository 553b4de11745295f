// krtool's console progress as a user meets it: on a pseudo-terminal, through a pipe, and
// stopped with Ctrl-C.
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using namespace KrFsTest;

namespace {

/// Runs krtool with `args` on a pseudo-terminal; its terminal output and exit status.
std::string OnTerminal(const TScratchDir& dir, const std::string& args, int* exitCode,
                       const std::string& interruptAfter = "") {
    const std::string script = std::string(KRSTD_TEST_SOURCE_DIR) + "/Core/KrPtyRun.py";
    std::string command = "python3 '" + script + "' ";
    if (!interruptAfter.empty()) command += "--interrupt-after " + interruptAfter + " ";
    std::string out = RunShell(dir.path, command + Krtool() + args);
    const std::size_t exit = out.rfind("\nEXIT ");
    *exitCode = exit == std::string::npos ? -1 : std::stoi(out.substr(exit + 6));
    return exit == std::string::npos ? out : out.substr(0, exit);
}

/// The percentages of the bars drawn, in order.
std::vector<int> Percentages(const std::string& text) {
    std::vector<int> values;
    const std::regex bar("\r\\[[#-]{24}\\] +([0-9]+)%");
    for (std::sregex_iterator it(text.begin(), text.end(), bar), end; it != end; ++it)
        values.push_back(std::stoi((*it)[1]));
    return values;
}

} // namespace

TEST(KrToolConsole, GzipOnTerminalShowsMovingBarAndEndsOnCleanLine) {
    if (Krtool().empty()) GTEST_SKIP() << "krtool is not built";
    TScratchDir dir;
    dir.Write("big.bin", RandomBytes(24 << 20, 7));
    int code = -1;
    const std::string text = OnTerminal(dir, "gzip -l 1 big.bin big.gz", &code);
    ASSERT_EQ(code, 0) << text;
    const std::vector<int> pct = Percentages(text);
    ASSERT_GE(pct.size(), 2u) << text;
    EXPECT_EQ(pct.front(), 0);
    EXPECT_TRUE(std::is_sorted(pct.begin(), pct.end()));
    EXPECT_TRUE(std::any_of(pct.begin(), pct.end(), [](int p) { return p > 0 && p < 100; })) << text;
    // The bar is erased before the summary, which is the last line.
    const std::string tail = text.substr(text.rfind("\r\033[K"));
    EXPECT_TRUE(std::regex_match(tail, std::regex("\r\033\\[Kgzip big\\.bin: done \\([0-9:.]+\\)\r\n")))
        << tail;
    EXPECT_EQ(RunShell(dir.path, "gzip -dc big.gz | cmp - big.bin && echo same"), "same\n");
}

TEST(KrToolConsole, NestedPhasesShowBehindTheirParent) {
    if (Krtool().empty()) GTEST_SKIP() << "krtool is not built";
    TScratchDir dir;
    dir.Write("p.x-ini.gz", ReadFile(std::string(KRSTD_TEST_SOURCE_DIR) + "/../samples/project.x-ini.gz"));
    int code = -1;
    const std::string text = OnTerminal(dir, "xini convert p.x-ini.gz out.x-ini", &code);
    ASSERT_EQ(code, 0) << text;
    EXPECT_NE(text.find("% xini convert p.x-ini.gz > reading"), std::string::npos) << text;
    EXPECT_NE(text.find("% xini convert p.x-ini.gz > writing"), std::string::npos) << text;
    EXPECT_TRUE(
        std::regex_search(text, std::regex("\r\033\\[Kxini convert [^\r\n]*: done \\([0-9:.]+\\)\r\n$")))
        << text;
}

TEST(KrToolConsole, CtrlCStopsCleanlyAndRemovesThePartialOutput) {
    if (Krtool().empty()) GTEST_SKIP() << "krtool is not built";
    TScratchDir dir;
    dir.Write("big.bin", RandomBytes(96 << 20, 3));
    int code = -1;
    const std::string text = OnTerminal(dir, "gzip -l 9 big.bin big.gz", &code, "0.5");
    EXPECT_EQ(code, 130) << text;
    EXPECT_FALSE(std::filesystem::exists(dir / "big.gz"));
    EXPECT_TRUE(std::regex_search(text, std::regex("\r\033\\[Kgzip big\\.bin: cancelled \\([0-9:.]+\\)\r\n"
                                                   "krtool gzip: Cancelled by the user\\. The partial output "
                                                   "big\\.gz was removed\\.\r\n$")))
        << text;
}

TEST(KrToolConsole, WithoutTerminalOnlyPlainLines) {
    if (Krtool().empty()) GTEST_SKIP() << "krtool is not built";
    TScratchDir dir;
    dir.Write("small.bin", RandomBytes(3 << 20, 5));
    int status = -1;
    const std::string out = RunShell(dir.path, Krtool() + "gzip small.bin small.gz 2>&1 | cat", &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(
        std::regex_match(out, std::regex("gzip small\\.bin\ngzip small\\.bin: done \\([0-9:.]+\\)\n")))
        << out;
}

TEST(KrToolConsole, StartupLogFollowsTheCommandLine) {
    if (Krtool().empty()) GTEST_SKIP() << "krtool is not built";
    TScratchDir dir;
    dir.Write("empty.log", "");
    int status = -1;
    const std::string console =
        RunShell(dir.path, Krtool() + "log --startup_log_console tail empty.log 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(console.find("\tI3\t\tLog created, 0x"), std::string::npos) << console;
    EXPECT_NE(console.find("\tI3\t\tLog closed, 0x"), std::string::npos) << console;

    // The file goes to the temporary folder; "log tail" reads it back through the log parser.
    RunShell(dir.path, "TMPDIR='" + dir.path + "' " + Krtool() + "--startup_log log tail empty.log", &status);
    EXPECT_EQ(status, 0);
    std::string file;
    for (const auto& e : std::filesystem::directory_iterator(dir.path))
        if (e.path().filename().string().rfind("KrFrw-", 0) == 0) file = e.path().string();
    ASSERT_FALSE(file.empty());
    const std::string tail = RunShell(dir.path, Krtool() + "log tail -n 2 '" + file + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(
        std::regex_match(tail, std::regex("[^\t\n]+\tI3\t\tMem physical=[^\n]+\n\t\t\tMem physical=0x[^\n]+\n"
                                          "\t\t\t\n[^\t\n]+\tI3\t\tLog closed, 0x[0-9a-f]+\n")))
        << tail;
}
