// krtool ini: set creates and updates a file, get decodes, dump lists, a missing key fails.
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

using namespace KrFsTest;

TEST(KrIniTool, SetGetDump) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    int status = -1;
    RunShell(dir.path, krtool + "ini set t.ini B k 1 && " + krtool + "ini set t.ini A q '\"a!Qb\"'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RunShell(dir.path, krtool + "ini get t.ini A q", &status), "a\"b\n");
    EXPECT_EQ(RunShell(dir.path, krtool + "ini dump t.ini", &status), "[A]\nq=\"a!Qb\"\n[B]\nk=1\n");
    RunShell(dir.path, krtool + "ini get t.ini A none 2>/dev/null", &status);
    EXPECT_NE(status, 0);
}
