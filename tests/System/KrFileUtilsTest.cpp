// File utilities by path: copies keep the time, moves replace or refuse, folders come and go.
#include "KrRecordingProgress.h"
#include "System/KrFileUtils.h"
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(KrFileUtils, CopyAndMove) {
    KrFsTest::TScratchDir d;
    const std::string a = d.Write("a", "alpha"), b = d.Write("b", "beta");
    const auto old = fs::last_write_time(a) - std::chrono::hours(30);
    fs::last_write_time(a, old);

    EXPECT_FALSE(KrCopyFile(a, b, true)) << "failIfExists keeps the target";
    EXPECT_TRUE(KrCopyFile(a, b));
    EXPECT_EQ(KrFsTest::ReadFile(b), "alpha");
    EXPECT_EQ(fs::last_write_time(b), old) << "a copy keeps the modification time";
    EXPECT_FALSE(KrCopyFile(d / "missing", d / "c"));
    EXPECT_FALSE(KrCopyFile(d.path, d / "c")) << "a folder is no file";

    EXPECT_FALSE(KrMoveFileEx(a, b, true));
    EXPECT_TRUE(KrMoveFileEx(a, b));
    EXPECT_EQ(std::make_pair(KrFileExists(a), KrFileExists(b)), std::make_pair(false, true));
    EXPECT_FALSE(KrMoveFileEx(a, d / "c")) << "nothing to move";
    EXPECT_FALSE(KrMoveFileEx(b, d / "no/such/folder/c"));
}

TEST(KrFileUtils, FoldersAndExistence) {
    KrFsTest::TScratchDir d;
    const std::string deep = d / "x/y/z/";
    ASSERT_TRUE(KrForceDirectories(deep));
    EXPECT_TRUE(KrForceDirectories(deep)) << "an existing folder is success";
    d.Write("x/f", "1");
    d.Write("x/y/g", "2");
    EXPECT_FALSE(KrForceDirectories(d / "x/f/sub")) << "a file is in the way";
    EXPECT_EQ(std::make_tuple(KrFileDirExists(d / "x"), KrDirExists(d / "x"), KrFileExists(d / "x"),
                              KrFileExists(d / "x/f"), KrFileDirExists(TKrPath())),
              std::make_tuple(true, true, false, true, false));

    krtest::TRecordingProgress progress;
    EXPECT_FALSE(KrRemoveDirectoryEx(d / "x", false, &progress)) << "not empty";
    EXPECT_FALSE(KrRemoveDirectoryEx(d / "x/f", true, &progress)) << "no folder";
    EXPECT_TRUE(KrRemoveDirectoryEx(d / "x", true, &progress));
    EXPECT_FALSE(KrDirExists(d / "x"));
    EXPECT_EQ(progress.ticks, 4) << "one tick per entry below the folder";
}
