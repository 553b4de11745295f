// TKrPath on real files in scratch folders: metadata, case-insensitive resolution, removal,
// folder creation, special folders and temporary files.
#include "System/KrFsTestUtils.h"
#include "System/KrPath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using KrFsTest::TLogCapture;
using KrFsTest::TScratchDir;

namespace {
/// Checks `op` on each (input, expected) pair.
template <class Op> void ExpectEach(std::initializer_list<std::pair<const char*, const char*>> cases, Op op) {
    for (const auto& c : cases)
        EXPECT_EQ(op(TKrPath(c.first)), c.second) << "input: " << c.first;
}
} // namespace

TEST(KrPathFiles, MetadataIsReadOnceAndRefreshed) {
    TScratchDir dir;
    const TKrPath file(dir.Write("f.bin", std::string(1234, 'x')));
    EXPECT_TRUE(file.exists() && file.isFile() && !file.isFolder());
    EXPECT_EQ(file.fileSize(), 1234);
    const std::int64_t now = TKrDateTime::Current().Ticks();
    for (TKrDateTime t : {file.creationTime(), file.accessTime(), file.updateTime()})
        EXPECT_LT(std::llabs(t.Ticks() - now), 60 * TKrDateTime::TicksPerSecond);

    dir.Write("f.bin", "ab"); // the cached record still shows the old size until refresh()
    EXPECT_EQ(file.fileSize(), 1234);
    EXPECT_EQ(TKrPath(file).fileSize(), 2); // a copy reads for itself
    file.refresh();
    EXPECT_EQ(file.fileSize(), 2);
    EXPECT_TRUE(TKrPath(dir.path + "/").isFolder());

    TKrPath missing(dir / "nothing");
    EXPECT_FALSE(missing.exists() || missing.rmFile());
    EXPECT_EQ(missing.fileSize(), -1);
    EXPECT_TRUE(missing.updateTime().IsNull() && missing.creationTime().IsNull());
}

TEST(KrPathFiles, CaseInsensitiveResolutionFindsTheFileAndWarnsOnce) {
    TScratchDir dir;
    dir.Write("Data/file.txt", "12345");
    dir.Write("sub", "a file that shares the name");
    dir.Write("SUB/x", "x");
    dir.Write("Sub/Y/z", "z"); // two candidate folders: the first in name order wins
    TLogCapture log;

    TKrPath wrong(dir / "data/FILE.txt");
    EXPECT_TRUE(wrong.exists() && wrong.isFile());
    EXPECT_EQ(wrong.fileSize(), 5);
    EXPECT_EQ(log.Count("\tW3\t\t@TKrPath::getValidatedUnixPath: path\n\t\t\t" + (dir / "data/FILE.txt") +
                        "\n\t\t\twas validated into\n\t\t\t" + (dir / "Data/file.txt") +
                        "\n\t\t\tthis might require attention\n"),
              1u);
    // clang-format off
    ExpectEach({{"DATA/", "Data/"},                          // the slash stays
                {"DATA/nope/FILE.txt", "Data/nope/FILE.txt"}, // unmatched parts stay as written
                {"Data/file.txt", "Data/file.txt"},
                {"sUb/x", "SUB/x"},                           // inner components match folders only
                {"sUB", "SUB"}},
               [&](const TKrPath& p) { return TKrPath(dir / p.str()).getValidatedUnixPath().str().substr(dir.path.size() + 1); });
    // clang-format on
    EXPECT_EQ(log.Count("was validated into"), 5u); // not for the path that exists as written

    TKrPath inPlace(dir / "data/file.TXT");
    inPlace.validateUnixPath();
    EXPECT_EQ(inPlace.str(), dir / "Data/file.txt");
    EXPECT_EQ(log.Count("@TKrPath::getValidatedUnixPath: after validation path\n\t\t\t\t"), 1u);

    // Relative paths resolve against the working directory; a component that exists as written
    // stays, even when it is a file and a folder was meant.
    TKrPath cwd = TKrPath::workingDir();
    ASSERT_TRUE(TKrPath::setWorkingDir(dir.path));
    EXPECT_EQ(TKrPath("sub/y/Z").getValidatedUnixPath().str(), "sub/y/Z");
    EXPECT_EQ(TKrPath("DATA/File.txt").getValidatedUnixPath().str(), "Data/file.txt");
    EXPECT_EQ(TKrPath::workingDir(), TKrPath(dir.path));
    ASSERT_TRUE(cwd.toWorkingDir());

    EXPECT_TRUE(wrong.rmFile());
    EXPECT_FALSE(std::filesystem::exists(dir / "Data/file.txt"));
}

TEST(KrPathFiles, RecursiveRemovalTakesHiddenFilesAndLeavesLinkTargets) {
    TScratchDir dir;
    dir.Write("keep/target.txt", "t");
    dir.Write("tree/.hidden", "h");
    dir.Write("tree/a/b/c/deep.txt", "d");
    dir.Write("tree/a/.dot/x", "x");
    std::filesystem::create_directory(dir / "tree/empty");
    std::filesystem::create_directory_symlink(dir / "keep", dir / "tree/a/link");

    TKrPath tree(dir / "tree/");
    EXPECT_FALSE(tree.isFolderEmpty());
    EXPECT_FALSE(tree.rmFolder(false, false)); // not empty
    EXPECT_TRUE(tree.exists());
    std::vector<TKrPath> failed;
    EXPECT_TRUE(tree.rmFolder2(true, false, &failed));
    EXPECT_TRUE(failed.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "tree"));
    EXPECT_TRUE(std::filesystem::exists(dir / "keep/target.txt"));

    TKrPath failedOne("untouched");
    EXPECT_FALSE(TKrPath(dir / "tree").rmFolder(true, true, &failedOne));
    EXPECT_EQ(failedOne.str(), dir / "tree");
}

TEST(KrPathFiles, RemovalFailuresStopOrAreCollected) {
    TScratchDir dir;
    dir.Write("t/a/stuck.txt", "s");
    dir.Write("t/b/free.txt", "f");
    KrFsTest::TUndeletable stuck(dir / "t/a/stuck.txt");
    if (!stuck.ok) GTEST_SKIP() << "cannot make a file undeletable here";

    // Everything else goes; the file, its folder and the top folder are reported.
    std::vector<TKrPath> failed;
    EXPECT_FALSE(TKrPath(dir / "t").rmFolder2(true, true, &failed));
    EXPECT_FALSE(std::filesystem::exists(dir / "t/b"));
    EXPECT_EQ(failed, (std::vector<TKrPath>{dir / "t/a/stuck.txt", dir / "t/a", dir / "t"}));

    TKrPath first;
    EXPECT_FALSE(TKrPath(dir / "t").rmFolder(true, false, &first));
    EXPECT_EQ(first.str(), dir / "t/a/stuck.txt");
}

TEST(KrPathFiles, FoldersAndTemporaryFiles) {
    TScratchDir dir;
    EXPECT_FALSE(TKrPath::makePath(TKrPath(dir / "p/q/r"), false)); // parent missing
    EXPECT_TRUE(TKrPath(dir / "p/q/r").makePath(true));
    EXPECT_TRUE(TKrPath::makePath(TKrPath(dir / "p/q/s"), false));
    EXPECT_TRUE(TKrPath::makePath(TKrPath(dir / "p/q/s"), false)); // already there
    TKrPath s(dir / "p/q/s");
    EXPECT_TRUE(s.isFolder() && s.isFolderEmpty());
    dir.Write("p/q/s/.h", "");
    EXPECT_FALSE(s.isFolderEmpty());

    for (const TKrPath& special :
         {TKrPath::homeDir(), TKrPath::docDir(), TKrPath::workingDir(), TKrPath::tempDir()})
        EXPECT_TRUE(special.haveSlash() && special.isAbsolute()) << special;

    TKrPath t1 = TKrPath::tempFile("krstd-path-XXXXXX.tmp");
    TKrPath t2 = TKrPath::tempFile("krstd-path-XXXXXX.tmp");
    EXPECT_NE(t1, t2);
    EXPECT_EQ(t1.path(), TKrPath::tempDir());
    EXPECT_EQ(t1.mainExt(), ".tmp");
    EXPECT_EQ(t1.fileSize(), 0);
    EXPECT_TRUE(t1.rmFile() && t2.rmFile());
}
