// TKrPath: normalisation, classification, composition, name parts, relative forms, and the
// file-system side on real files in scratch folders (metadata, case-insensitive resolution,
// removal, folder creation).
#include "Core/KrMessage.h"
#include "System/KrFsTestUtils.h"
#include "System/KrPath.h"

#include <QString>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

using KrFsTest::TLogCapture;
using KrFsTest::TScratchDir;

namespace {
/// Checks `op` on each (input, expected) pair.
template <class Op> void ExpectEach(std::initializer_list<std::pair<const char*, const char*>> cases, Op op) {
    for (const auto& c : cases)
        EXPECT_EQ(op(TKrPath(c.first)), c.second) << "input: " << c.first;
}
std::string Rel(const std::string& p, const std::string& base) {
    return TKrPath(p).makeRelative(base).str();
}
} // namespace

TEST(KrPathText, NormalisationTouchesOnlySlashesAndBareDrives) {
    // clang-format off
    ExpectEach({{"C:", "C:/"}, {"z:", "z:/"}, {"1:", "1:"}, {"C:\\x\\\\y", "C:/x/y"},
                {"\\\\srv\\share", "//srv/share"}, {"///x", "//x"}, {"a//b///c/", "a/b/c/"},
                {"./A/../B/", "./A/../B/"}, {"", ""}},
               [](const TKrPath& p) { return p.str(); });
    // clang-format on
    EXPECT_EQ(TKrPath(static_cast<const char*>(nullptr)).str(), "");
    EXPECT_EQ(TKrPath(L"d\\\u00e9//x").str(), "d/\xc3\xa9/x");
    EXPECT_EQ(TKrPath(QString::fromUtf8("\\\\h\\\xc3\xbc")).str(), "//h/\xc3\xbc");
    TKrPath p("x");
    p.setPath("C:\\\\a");
    EXPECT_EQ(p.str(), "C:/a");
}

TEST(KrPathText, Classification) {
    // Columns: drive, network, Unix root, absolute.
    // clang-format off
    ExpectEach({{"/", "0011"}, {"/a", "0011"}, {"//a", "0101"}, {"//", "0000"}, {"C:", "1001"},
                {"c:/x", "1001"}, {"C:x", "0000"}, {"a/b", "0000"}, {"", "0000"}},
               [](const TKrPath& p) {
                   std::string bits;
                   for (bool b : {p.isWinDisk(), p.isWinNetwork(), p.isRoot(), p.isAbsolute()})
                       bits += b ? '1' : '0';
                   EXPECT_NE(p.isAbsolute(), p.isRelative());
                   return bits;
               });
    // clang-format on
}

TEST(KrPathText, Composition) {
    EXPECT_EQ((TKrPath("x") / "/y").str(), "/y");
    EXPECT_EQ((TKrPath("x") / "C:\\y").str(), "C:/y");
    EXPECT_EQ((TKrPath("x") / TKrPath()).str(), "x/");
    EXPECT_EQ((TKrPath("x/") / "y").str(), "x/y");
    EXPECT_EQ((TKrPath() / "y").str(), "y");
    TKrPath acc("a");
    acc /= "b\\c/";
    EXPECT_EQ(acc.str(), "a/b/c/");
    EXPECT_EQ(TKrPath("a").addStr("\\\\b").str(), "a\\\\b"); // as it stands, no normalisation

    ExpectEach({{"C:/", "C:/"}, {"C:/a/", "C:/a"}, {"/", "/"}, {"//", "//"}, {"//srv/", "//srv"}, {"a", "a"}},
               [](const TKrPath& p) { return p.remSlash().str(); });
    ExpectEach({{"a/b/", "a/"}, {"a/b", "a/"}, {"b", ""}, {"/", ""}},
               [](const TKrPath& p) { return p.path(true).str(); });
    EXPECT_EQ(TKrPath("a/b/").path().str(), "a/b/");
    EXPECT_EQ(TKrPath("a/b/").fileName(), "");
}

TEST(KrPathText, NamePartsIgnoreLeadingDots) {
    // base | fullBase | mainExt | fullExt | removeMainExt | removeFullExt
    // clang-format off
    ExpectEach({{"dir/arch.tar.gz", "arch|arch.tar|.gz|.tar.gz|dir/arch.tar|dir/arch"},
                {".bashrc", ".bashrc|.bashrc|||.bashrc|.bashrc"},
                {"a/.bashrc", ".bashrc|.bashrc|||a/.bashrc|a/.bashrc"},
                {"dir.d/file", "file|file|||dir.d/file|dir.d/file"},
                {"..x.y.z", "..x|..x.y|.z|.y.z|..x.y|..x"},
                {"a.", "a|a|.|.|a|a"},
                {"...", "...|...|||...|..."},
                {"d/", "||||d/|d/"}},
               [](const TKrPath& p) {
                   EXPECT_EQ(p.toExecutable().str(), p.removeMainExt().str());
                   return p.baseName() + "|" + p.fullBaseName() + "|" + p.mainExt() + "|" + p.fullExt() +
                          "|" + p.removeMainExt().str() + "|" + p.removeFullExt().str();
               });
    // clang-format on
}

TEST(KrPathText, ComparisonIgnoresCaseAndOneTrailingSlash) {
    EXPECT_EQ(TKrPath("A/B/"), TKrPath("a/b"));
    EXPECT_EQ(TKrPath("C:/Data/"), TKrPath("c:\\data"));
    EXPECT_NE(TKrPath("a/b"), TKrPath("a/bc"));
    EXPECT_NE(TKrPath("/"), TKrPath(""));
    EXPECT_EQ(TKrPath("/x/\xc3\x84Rger"), TKrPath("/X/\xc3\xa4rger/")); // non-ASCII letters fold too
    EXPECT_NE(TKrPath("\xc3\x84"), TKrPath("\xc3\xa5"));

    EXPECT_EQ(pathcmp(TKrPath("A/b/"), TKrPath("a/B")), 0);
    EXPECT_LT(pathcmp(TKrPath("a/B"), TKrPath("a/c")), 0);
    EXPECT_GT(pathcmp(TKrPath("B"), TKrPath("a")), 0);
    EXPECT_EQ(TKrPath("a/b/").normalise(), "A/B");
    EXPECT_EQ(TKrPath("a/\xc3\xa4/").normalise(false), "A/\xc3\x84/");
    EXPECT_EQ((TKrMessage("@open %1%") << TKrPath("x//y")).std_str(), "@open x/y");
}

TEST(KrPathText, Simplify) {
    // Nothing clamps at the root; a relative result that would read as a drive keeps its "./".
    // clang-format off
    ExpectEach({{"/a/../../b", "/../b"}, {"/a/./b/../c/", "/a/c"}, {"/a/..", "/"}, {"C:/a/..", "C:/"},
                {"C:/..", "C:/.."}, {"//srv/share/../x", "//srv/x"}, {"a/b/../../..", ".."},
                {"../../a/./b", "../../a/b"}, {"./a", "a"}, {"a/..", "."}, {"", ""}, {"x/../C:", "./C:"}},
               [](const TKrPath& p) { return p.simplify().str(); });
    // clang-format on
    EXPECT_EQ(TKrPath("//srv/s").simplify_ex(), (std::vector<std::string>{"//srv", "s"}));
}

TEST(KrPathText, AbsoluteRelativeAndCommonForms) {
    EXPECT_EQ(TKrPath("a/../b").makeAbsolute(TKrPath("/base/")).str(), "/base/b");
    EXPECT_EQ(TKrPath("a/../b").makeAbsolute(TKrPath("base")).str(), "");
    EXPECT_EQ(TKrPath("/x/./y").makeAbsolute(TKrPath("/base")).str(), "/x/./y"); // absolute: unchanged
    EXPECT_EQ(TKrPath("c").makeAbsolute().str(), TKrPath::workingDir().addStr("c").str());

    EXPECT_EQ(Rel("/a/b/c", "/a/x/y"), "../../b/c");
    EXPECT_EQ(Rel("C:/Data/Img/1.tif", "c:/data"), "Img/1.tif");
    EXPECT_EQ(Rel("/a/b", "/a/b/"), ".");
    EXPECT_EQ(Rel("//srv/s/x", "//SRV/s/y"), "../x");
    EXPECT_EQ(Rel("../x", "y"), "../../x");
    EXPECT_EQ(Rel("D:/x", "C:/x"), "D:/x");    // other drive
    EXPECT_EQ(Rel("/x", "y"), "/x");           // absolute against relative
    EXPECT_EQ(Rel("//a/x", "//b/x"), "//a/x"); // other server
    EXPECT_EQ(Rel("x/y", "../z"), "x/y");      // no way back out of the base's ".."

    EXPECT_EQ(TKrPath("/a/B/c").commonPath(TKrPath("/a/b/d/../e")).str(), "/a/B");
    EXPECT_EQ(TKrPath("/a").commonPath(TKrPath("/b")).str(), "/");
    EXPECT_EQ(TKrPath("C:/a").commonPath(TKrPath("D:/a")).str(), "");

    EXPECT_EQ(TKrPath("//srv/share/x/").split(), (std::vector<std::string>{"//srv/", "share", "x"}));
    EXPECT_EQ(TKrPath("C:/x").split(), (std::vector<std::string>{"C:/", "x"}));
    EXPECT_EQ(TKrPath("a/../b").split(), (std::vector<std::string>{"a", "..", "b"}));
    ExpectEach({{"C:/x", "x"}, {"//srv/x", "srv/x"}, {"/x", "x"}, {"x/y", "x/y"}},
               [](const TKrPath& p) { return p.stripAbs().str(); });
}

// base / makeRelative(p, base) leads back to p for random absolute paths of the same root.
TEST(KrPathText, RelativeFormLeadsBack) {
    std::mt19937 gen(7);
    const char* names[] = {"a", "B", "c", ".", "..", "dd", "A"};
    auto randomPath = [&](const std::string& root) {
        std::string s = root;
        for (int n = static_cast<int>(gen() % 6); n > 0; --n)
            s += std::string(names[gen() % 7]) + "/";
        return TKrPath(s);
    };
    for (int i = 0; i < 2000; ++i) {
        const std::string root = (i % 3 == 0) ? "C:/" : (i % 3 == 1) ? "/" : "//srv/";
        TKrPath p = randomPath(root), base = randomPath(root);
        TKrPath rel = p.makeRelative(base);
        bool baseHasDotDot = false;
        for (const std::string& c : base.simplify_ex())
            baseHasDotDot |= c == "..";
        if (baseHasDotDot) continue;
        ASSERT_TRUE(rel.isRelative()) << p << " from " << base << " gave " << rel;
        EXPECT_EQ((base / rel).simplify(), p.simplify()) << p << " from " << base << " gave " << rel;
    }
}

TEST(KrPathText, Validation) {
    EXPECT_TRUE(TKrPath::isValidFileName("a b.txt"));
    for (const std::string& bad :
         {std::string(), std::string("a/b"), std::string("a\\b"), std::string("a\0b", 3)})
        EXPECT_FALSE(TKrPath::isValidFileName(bad)) << bad;
    EXPECT_FALSE(TKrPath("").isPathValid());
    EXPECT_FALSE(TKrPath(std::string("a\0b", 3)).isPathValid());
    EXPECT_EQ(TKrPath::makeValidFileName(" a\tb\nc\r\v\fd"), "_a_b_c___d");
}

// ---- real files ---------------------------------------------------------------------------------

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
