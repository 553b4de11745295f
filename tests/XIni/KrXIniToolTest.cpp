// krtool xini on files: dump of a deeply nested document, validate's line and column.
#include "Streams/KrGZipTestUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

using namespace KrGZipTest;

TEST(KrXIniTool, DumpStreamsDeepDocumentsWithBoundedIndentation) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    // Deep enough that two blanks per level would make the output grow with the square of the
    // depth (400 MB), so a dump that indents without bound fails the size check below.
    constexpr int kDepth = 20000;
    std::string doc = "<krini>";
    for (int i = 0; i < kDepth; ++i)
        doc += "<x n=\"s" + std::to_string(i) + "\">";
    doc += "<i n=\"leaf\" v=\"7\"/>";
    for (int i = 0; i < kDepth; ++i)
        doc += "</x>";
    dir.Write("deep.xini", doc + "</krini>");
    int status = -1;
    const std::string out = RunShell(dir.path, krtool + "xini dump deep.xini", &status);
    EXPECT_EQ(status, 0);
    EXPECT_LT(out.size(), std::size_t(kDepth) * 100);
    const std::string blanks(64, ' ');
    EXPECT_EQ(out.substr(0, 9), "x s0\n  x ");
    EXPECT_NE(out.find("\n" + blanks + "x s32\n" + blanks + "[33] x s33\n"), std::string::npos);
    const std::string tail = blanks + "[19999] x s19999\n" + blanks + "[20000] i leaf = 7\n";
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), tail.size())), tail);
}

TEST(KrXIniTool, ValidateNamesLineAndColumnOfTheFirstError) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string good = "<?xml version=\"1.0\"?>\n<krini>\n <x n=\"a\">\n  <i n=\"k\" v=\"1\"/>\n";
    dir.Write("good.xini", good + " </x>\n</krini>\n");
    dir.Write("bad.xini", good + "  <i n=\"k\"/>\n </x>\n</krini>\n"); // an i item needs a value
    int status = -1;
    EXPECT_EQ(RunShell(dir.path, krtool + "xini validate good.xini", &status),
              "good.xini: well-formed, 1 top-level items\n");
    EXPECT_EQ(status, 0);
    // Counted in the decompressed text.
    const std::string out =
        RunShell(dir.path, "gzip bad.xini && " + krtool + "xini validate bad.xini.gz", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("bad.xini.gz:<x#0 \"a\"> <i#0 \"k\">"), std::string::npos) << out;
    EXPECT_NE(out.find("(line 5, column 3)\n"), std::string::npos) << out;
}
