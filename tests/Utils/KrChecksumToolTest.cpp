// krtool crc32, crc64 and md5 on real files beside the system md5sum and gzip.
#include "Utils/KrCrc64.h"

#include "KrChecksumTestUtils.h"

#include <gtest/gtest.h>

#include <random>

using namespace KrChecksumTest;

namespace {
std::string RandomText(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen());
    return s;
}
} // namespace

TEST(ChecksumTool, Md5LinesAreThoseOfMd5sum) {
    const std::string tool = KrtoolPath();
    if (tool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path().empty());
    // Names md5sum escapes (backslash, line feed, carriage return) and one it does not.
    for (const char* name : {"plain", "back\\slash", "line\nfeed", "carriage\rreturn", "with space"})
        WriteFile(dir / name, RandomText(std::string(name).size() * 1000, 1));
    WriteFile(dir / "large", RandomText((5 << 20) + 3, 2)); // several read blocks

    const std::string in = "cd " + Quote(dir.path()) + " && ";
    int ours = -1, theirs = -1;
    EXPECT_EQ(RunShell(in + Quote(tool) + " md5 *", &ours), RunShell(in + "md5sum *", &theirs));
    EXPECT_EQ(ours, 0);
    EXPECT_EQ(theirs, 0);
    // Standard input, twice over: the second read finds it at its end.
    EXPECT_EQ(RunShell(in + Quote(tool) + " md5 - - < large"), RunShell(in + "md5sum - - < large"));
}

TEST(ChecksumTool, UnreadableInputsAreReportedAndTheRestPrinted) {
    const std::string tool = KrtoolPath();
    if (tool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path().empty());
    WriteFile(dir / "a", "abc");
    std::filesystem::create_directory(dir / "folder");
    int status = -1;
    const std::string out = RunShell(
        "cd " + Quote(dir.path()) + " && " + Quote(tool) + " md5 missing folder a 2>/dev/null", &status);
    EXPECT_EQ(out, "900150983cd24fb0d6963f7d28e17f72  a\n");
    EXPECT_EQ(status, 1);
}

TEST(ChecksumTool, CrcLinesAgreeWithGzipAndTheLibrary) {
    const std::string tool = KrtoolPath();
    if (tool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string data = RandomText((3 << 20) + 5, 3);
    WriteFile(dir / "data", data);

    // gzip's trailer holds the CRC-32 of the data, least significant byte first.
    const std::string gz = RunShell("gzip -c " + Quote(dir / "data"));
    ASSERT_GE(gz.size(), 8u);
    unsigned trailer = 0;
    for (int i = 3; i >= 0; --i)
        trailer = trailer << 8 | static_cast<unsigned char>(gz[gz.size() - 8 + i]);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%08x  data\n", trailer);
    const std::string in = "cd " + Quote(dir.path()) + " && " + Quote(tool);
    EXPECT_EQ(RunShell(in + " crc32 data"), expected);

    std::snprintf(expected, sizeof expected, "%016llx  -\n",
                  static_cast<unsigned long long>(crc64(0, data.data(), data.size())));
    EXPECT_EQ(RunShell(in + " crc64 < data"), expected);
}
