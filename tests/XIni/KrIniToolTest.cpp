// krtool ini and reg: set creates and updates, get decodes, dump and list show, a missing key fails.
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

TEST(KrIniTool, RegistryValuesLiveInTheUsersStore) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string reg = "HOME=" + dir.path + " " + krtool + "reg ";
    int status = -1;
    RunShell(dir.path, reg + "set hkcu 'Soft\\My App\\W' 640 && " + reg + "set hkcu 'Soft\\My App\\T' 'a b'",
             &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RunShell(dir.path, reg + "get hkcu 'Soft\\My App\\W'", &status), "640\n");
    EXPECT_EQ(RunShell(dir.path, reg + "list hkcu 'Soft\\My App'", &status), "T = a b\nW = 640\n");
    RunShell(dir.path, reg + "get hkcu 'Soft\\My App\\none' 2>/dev/null", &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(ReadFile(dir.path + "/.config/tessal/korvinex/7/config.ini").find("Soft\\My_App\\W=640"),
              std::string::npos);
}

// Writers in separate processes, each a fresh store read while the others write: no key may be
// lost (Qt's own file lock alone lost one in about 30 such runs).
TEST(KrIniTool, ThreeProcessesWritingTheUsersStoreLoseNoKey) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string reg = "HOME=" + dir.path + " " + krtool + "reg set hkcu ";
    const std::string writer = "for i in $(seq 1 15); do " + reg + "P/$1$i $i || exit 1; done";
    int status = -1;
    RunShell(dir.path, "w() { " + writer + "; }; w a & w b & w c & wait", &status);
    EXPECT_EQ(status, 0);
    const std::string list =
        RunShell(dir.path, "HOME=" + dir.path + " " + krtool + "reg list hkcu P | wc -l", &status);
    EXPECT_EQ(list, "45\n");
}
