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
std::string Norm(const std::string& s) {
    return TKrPath(s).str();
}
std::string Simple(const std::string& s) {
    return TKrPath(s).simplify().str();
}
std::string Rel(const std::string& p, const std::string& base) {
    return TKrPath(p).makeRelative(base).str();
}
} // namespace

TEST(KrPathText, NormalisationKeepsEverythingButSlashes) {
    EXPECT_EQ(Norm("C:"), "C:/");
    EXPECT_EQ(Norm("z:"), "z:/");
    EXPECT_EQ(Norm("1:"), "1:");
    EXPECT_EQ(Norm("C:\\x\\\\y"), "C:/x/y");
    EXPECT_EQ(Norm("\\\\srv\\share"), "//srv/share");
    EXPECT_EQ(Norm("///x"), "//x");
    EXPECT_EQ(Norm("a//b///c/"), "a/b/c/");
    EXPECT_EQ(Norm("./A/../B/"), "./A/../B/");
    EXPECT_EQ(Norm(""), "");
    EXPECT_EQ(TKrPath(static_cast<const char*>(nullptr)).str(), "");
    EXPECT_EQ(TKrPath(L"d\\\u00e9j\u00e0//x").str(), "d/\xc3\xa9j\xc3\xa0/x");
    EXPECT_EQ(TKrPath(QString::fromUtf8("\\\\h\\\xc3\xbc")).str(), "//h/\xc3\xbc");
    EXPECT_EQ(TKrPath(QString::fromUtf8("\xc3\xbc")).toQtStr(), QString::fromUtf8("\xc3\xbc"));

    TKrPath p("x");
    p.setPath("C:\\\\a");
    EXPECT_EQ(p.str(), "C:/a");
    p.setPath(static_cast<const char*>(nullptr));
    EXPECT_TRUE(p.isPathEmpty());
}

TEST(KrPathText, Classification) {
    struct Row {
        const char* path;
        bool disk, network, root, absolute;
    } rows[] = {
        {"/", false, false, true, true},     {"/a", false, false, true, true},
        {"//a", false, true, false, true},   {"//", false, false, false, false},
        {"C:", true, false, false, true},    {"c:/x", true, false, false, true},
        {"C:x", false, false, false, false}, {"a/b", false, false, false, false},
        {"", false, false, false, false},    {"\\\\srv\\s", false, true, false, true},
    };
    for (const Row& r : rows) {
        TKrPath p(r.path);
        EXPECT_EQ(p.isWinDisk(), r.disk) << r.path;
        EXPECT_EQ(p.isWinNetwork(), r.network) << r.path;
        EXPECT_EQ(p.isRoot(), r.root) << r.path;
        EXPECT_EQ(p.isAbsolute(), r.absolute) << r.path;
        EXPECT_EQ(p.isRelative(), !r.absolute) << r.path;
    }
    EXPECT_TRUE(TKrPath("a/").haveSlash());
    EXPECT_FALSE(TKrPath("").haveSlash());
}

TEST(KrPathText, Composition) {
    EXPECT_EQ((TKrPath("x") / TKrPath("/y")).str(), "/y");
    EXPECT_EQ((TKrPath("x") / TKrPath("C:\\y")).str(), "C:/y");
    EXPECT_EQ((TKrPath("x") / TKrPath()).str(), "x/");
    EXPECT_EQ((TKrPath("x/") / TKrPath("y")).str(), "x/y");
    EXPECT_EQ((TKrPath() / TKrPath("y")).str(), "y");
    EXPECT_EQ((TKrPath("/") / TKrPath("y\\z")).str(), "/y/z");
    TKrPath acc("a");
    acc /= "b";
    acc /= "c/";
    EXPECT_EQ(acc.str(), "a/b/c/");

    // addStr is a plain concatenation: no separator, no normalisation.
    EXPECT_EQ(TKrPath("a").addStr("\\\\b").str(), "a\\\\b");
    EXPECT_EQ(TKrPath("").addSlash().str(), "");
    EXPECT_EQ(TKrPath("a/").addSlash().str(), "a/");

    EXPECT_EQ(TKrPath("C:/").remSlash().str(), "C:/");
    EXPECT_EQ(TKrPath("C:/a/").remSlash().str(), "C:/a");
    EXPECT_EQ(TKrPath("/").remSlash().str(), "/");
    EXPECT_EQ(TKrPath("//").remSlash().str(), "//");
    EXPECT_EQ(TKrPath("//srv/").remSlash().str(), "//srv");
    EXPECT_EQ(TKrPath("a").remSlash().str(), "a");

    EXPECT_EQ(TKrPath("a/b/").path().str(), "a/b/");
    EXPECT_EQ(TKrPath("a/b/").path(true).str(), "a/");
    EXPECT_EQ(TKrPath("a/b").path().str(), "a/");
    EXPECT_EQ(TKrPath("b").path().str(), "");
    EXPECT_EQ(TKrPath("/").path(true).str(), "");
    EXPECT_EQ(TKrPath("a/b").fileName(), "b");
    EXPECT_EQ(TKrPath("a/b/").fileName(), "");
    EXPECT_EQ(TKrPath("b").fileName(), "b");
}

TEST(KrPathText, NameParts) {
    struct Row {
        const char *path, *base, *fullBase, *mainExt, *fullExt, *noMain, *noFull;
    } rows[] = {
        {"dir/arch.tar.gz", "arch", "arch.tar", ".gz", ".tar.gz", "dir/arch.tar", "dir/arch"},
        {".bashrc", ".bashrc", ".bashrc", "", "", ".bashrc", ".bashrc"},
        {"a/.bashrc", ".bashrc", ".bashrc", "", "", "a/.bashrc", "a/.bashrc"},
        {"dir.d/file", "file", "file", "", "", "dir.d/file", "dir.d/file"},
        {"..x.y.z", "..x", "..x.y", ".z", ".y.z", "..x.y", "..x"},
        {"a.", "a", "a", ".", ".", "a", "a"},
        {"...", "...", "...", "", "", "...", "..."},
        {"d/", "", "", "", "", "d/", "d/"},
    };
    for (const Row& r : rows) {
        TKrPath p(r.path);
        EXPECT_EQ(p.baseName(), r.base) << r.path;
        EXPECT_EQ(p.fullBaseName(), r.fullBase) << r.path;
        EXPECT_EQ(p.mainExt(), r.mainExt) << r.path;
        EXPECT_EQ(p.fullExt(), r.fullExt) << r.path;
        EXPECT_EQ(p.removeMainExt().str(), r.noMain) << r.path;
        EXPECT_EQ(p.removeFullExt().str(), r.noFull) << r.path;
        EXPECT_EQ(p.toExecutable().str(), r.noMain) << r.path;
    }
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

    std::ostringstream os;
    os << TKrPath("a\\b");
    EXPECT_EQ(os.str(), "a/b");
    EXPECT_EQ((TKrMessage("@open %1%") << TKrPath("x//y")).std_str(), "@open x/y");
    EXPECT_EQ(TKrPath("a b").toQuotedStr(), "\"a b\"");
}

TEST(KrPathText, Simplify) {
    EXPECT_EQ(Simple("/a/../../b"), "/../b"); // nothing clamps at the root
    EXPECT_EQ(Simple("/a/./b/../c/"), "/a/c");
    EXPECT_EQ(Simple("/a/.."), "/");
    EXPECT_EQ(Simple("C:/a/.."), "C:/");
    EXPECT_EQ(Simple("C:/.."), "C:/..");
    EXPECT_EQ(Simple("//srv/share/../x"), "//srv/x");
    EXPECT_EQ(Simple("a/b/../../.."), "..");
    EXPECT_EQ(Simple("../../a/./b"), "../../a/b");
    EXPECT_EQ(Simple("./a"), "a");
    EXPECT_EQ(Simple("a/.."), ".");
    EXPECT_EQ(Simple(""), "");
    // A relative first component that reads as a drive keeps its "./" so it stays relative.
    EXPECT_EQ(Simple("x/../C:"), "./C:");
    EXPECT_TRUE(TKrPath("x/../C:").simplify().isRelative());

    EXPECT_EQ(TKrPath("/a/b").simplify_ex(), (std::vector<std::string>{"", "a", "b"}));
    EXPECT_EQ(TKrPath("a/../..").simplify_ex(), (std::vector<std::string>{".."}));
    EXPECT_EQ(TKrPath("//srv/s").simplify_ex(), (std::vector<std::string>{"//srv", "s"}));
}

TEST(KrPathText, AbsoluteRelativeAndCommonForms) {
    EXPECT_EQ(TKrPath("a/../b").makeAbsolute(TKrPath("/base/")).str(), "/base/b");
    EXPECT_EQ(TKrPath("a/../b").makeAbsolute(TKrPath("base")).str(), "");
    EXPECT_EQ(TKrPath("a").makeAbsolute(TKrPath()).str(), "");
    EXPECT_EQ(TKrPath("/x/./y").makeAbsolute(TKrPath("/base")).str(), "/x/./y"); // absolute: unchanged
    EXPECT_EQ(TKrPath("c").makeAbsolute().str(), TKrPath::workingDir().addStr("c").str());

    EXPECT_EQ(Rel("/a/b/c", "/a/x/y"), "../../b/c");
    EXPECT_EQ(Rel("C:/Data/Img/1.tif", "c:/data"), "Img/1.tif");
    EXPECT_EQ(Rel("/a/b", "/a/b/"), ".");
    EXPECT_EQ(Rel("/a", "/a/b/c"), "../..");
    EXPECT_EQ(Rel("//srv/s/x", "//SRV/s/y"), "../x");
    EXPECT_EQ(Rel("a/b", "a/c"), "../b");
    EXPECT_EQ(Rel("../x", "y"), "../../x");
    EXPECT_EQ(Rel("D:/x", "C:/x"), "D:/x");    // other drive
    EXPECT_EQ(Rel("/x", "y"), "/x");           // absolute against relative
    EXPECT_EQ(Rel("//a/x", "//b/x"), "//a/x"); // other server
    EXPECT_EQ(Rel("x/y", "../z"), "x/y");      // no way back out of the base's ".."

    EXPECT_EQ(TKrPath("/a/B/c").commonPath(TKrPath("/a/b/d/../e")).str(), "/a/B");
    EXPECT_EQ(TKrPath("/a").commonPath(TKrPath("/b")).str(), "/");
    EXPECT_EQ(TKrPath("C:/a").commonPath(TKrPath("D:/a")).str(), "");
    EXPECT_EQ(TKrPath("a/b").commonPath(TKrPath("c")).str(), ".");

    EXPECT_EQ(TKrPath("//srv/share/x/").split(), (std::vector<std::string>{"//srv/", "share", "x"}));
    EXPECT_EQ(TKrPath("C:/x").split(), (std::vector<std::string>{"C:/", "x"}));
    EXPECT_EQ(TKrPath("/").split(), (std::vector<std::string>{"/"}));
    EXPECT_EQ(TKrPath("a/../b").split(), (std::vector<std::string>{"a", "..", "b"}));

    EXPECT_EQ(TKrPath("C:/x").stripAbs().str(), "x");
    EXPECT_EQ(TKrPath("//srv/x").stripAbs().str(), "srv/x");
    EXPECT_EQ(TKrPath("/x").stripAbs().str(), "x");
    EXPECT_EQ(TKrPath("x/y").stripAbs().str(), "x/y");
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
        EXPECT_EQ(p.simplify().simplify().str(), p.simplify().str());
    }
}

TEST(KrPathText, Validation) {
    EXPECT_TRUE(TKrPath::isValidFileName("a b.txt"));
    EXPECT_FALSE(TKrPath::isValidFileName(""));
    EXPECT_FALSE(TKrPath::isValidFileName("a/b"));
    EXPECT_FALSE(TKrPath::isValidFileName("a\\b"));
    EXPECT_FALSE(TKrPath::isValidFileName(std::string("a\0b", 3)));
    EXPECT_TRUE(TKrPath("a/b").isPathValid());
    EXPECT_FALSE(TKrPath("").isPathValid());
    EXPECT_FALSE(TKrPath(std::string("a\0b", 3)).isPathValid());
    EXPECT_EQ(TKrPath::makeValidFileName(" a\tb\nc\r\v\fd"), "_a_b_c___d");
}

// ---- real files ---------------------------------------------------------------------------------

TEST(KrPathFiles, MetadataIsReadOnceAndRefreshed) {
    TScratchDir dir;
    const TKrPath file(dir.Write("f.bin", std::string(1234, 'x')));
    EXPECT_TRUE(file.exists());
    EXPECT_TRUE(file.isFile());
    EXPECT_FALSE(file.isFolder());
    EXPECT_EQ(file.fileSize(), 1234);
    const std::int64_t now = TKrDateTime::Current().Ticks();
    for (TKrDateTime t : {file.creationTime(), file.accessTime(), file.updateTime()})
        EXPECT_LT(std::llabs(t.Ticks() - now), 60 * TKrDateTime::TicksPerSecond);

    dir.Write("f.bin", "ab"); // the cached record still shows the old size until refresh()
    EXPECT_EQ(file.fileSize(), 1234);
    TKrPath copy(file); // a copy reads for itself
    EXPECT_EQ(copy.fileSize(), 2);
    file.refresh();
    EXPECT_EQ(file.fileSize(), 2);

    TKrPath folder(dir.path + "/");
    EXPECT_TRUE(folder.isFolder());
    EXPECT_FALSE(folder.isFile());

    TKrPath missing(dir / "nothing");
    EXPECT_FALSE(missing.exists());
    EXPECT_EQ(missing.fileSize(), -1);
    EXPECT_TRUE(missing.updateTime().IsNull());
    EXPECT_TRUE(missing.creationTime().IsNull());
    EXPECT_FALSE(missing.rmFile());
}

TEST(KrPathFiles, CaseInsensitiveResolutionFindsTheFileAndWarnsOnce) {
    TScratchDir dir;
    dir.Write("Data/file.txt", "12345");
    TLogCapture log;

    TKrPath wrong(dir / "data/FILE.txt");
    EXPECT_TRUE(wrong.exists());
    EXPECT_EQ(wrong.fileSize(), 5);
    EXPECT_TRUE(wrong.isFile());
    EXPECT_EQ(log.Count("TKrPath::getValidatedUnixPath: path\n"), 1u);
    EXPECT_NE(log.Text().find(dir / "data/FILE.txt"), std::string::npos);
    EXPECT_NE(log.Text().find("was validated into"), std::string::npos);
    EXPECT_NE(log.Text().find(dir / "Data/file.txt"), std::string::npos);

    EXPECT_EQ(wrong.getValidatedUnixPath().str(), dir / "Data/file.txt");
    EXPECT_EQ(TKrPath(dir / "DATA/").getValidatedUnixPath().str(), dir / "Data/"); // the slash stays
    // What cannot be matched stays as written, from the first missing component on.
    EXPECT_EQ(TKrPath(dir / "DATA/nope/FILE.txt").getValidatedUnixPath().str(), dir / "Data/nope/FILE.txt");

    std::size_t before = log.Count("was validated");
    TKrPath exact(dir / "Data/file.txt");
    EXPECT_EQ(exact.getValidatedUnixPath().str(), exact.str());
    EXPECT_EQ(log.Count("was validated"), before); // nothing to report

    TKrPath inPlace(dir / "data/file.TXT");
    inPlace.validateUnixPath();
    EXPECT_EQ(inPlace.str(), dir / "Data/file.txt");
    EXPECT_NE(log.Text().find("after validation path\n"), std::string::npos);

    EXPECT_TRUE(wrong.rmFile());
    EXPECT_FALSE(std::filesystem::exists(dir / "Data/file.txt"));
}

TEST(KrPathFiles, InnerComponentsMatchOnlyFolders) {
    TScratchDir dir;
    dir.Write("sub", "a file that shares the name");
    dir.Write("SUB/x", "x");
    dir.Write("Sub/Y/z", "z"); // two candidate folders: the first in name order wins
    dir.Write("Other/Y/z", "z");
    EXPECT_EQ(TKrPath(dir / "sUb/x").getValidatedUnixPath().str(), dir / "SUB/x");
    EXPECT_EQ(TKrPath(dir / "SUB").getValidatedUnixPath().str(), dir / "SUB"); // exists as written
    EXPECT_EQ(TKrPath(dir / "sUB").getValidatedUnixPath().str(), dir / "SUB");

    // Relative paths resolve against the working directory.
    TKrPath cwd = TKrPath::workingDir();
    ASSERT_TRUE(TKrPath::setWorkingDir(dir.path));
    EXPECT_EQ(TKrPath("other/y/Z").getValidatedUnixPath().str(), "Other/Y/z");
    // A component that exists as written stays, even when it is a file and a folder was meant.
    EXPECT_EQ(TKrPath("sub/y").getValidatedUnixPath().str(), "sub/y");
    EXPECT_TRUE(TKrPath::workingDir() == TKrPath(dir.path));
    ASSERT_TRUE(cwd.toWorkingDir());
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
    EXPECT_FALSE(tree.exists());

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

    std::vector<TKrPath> failed;
    EXPECT_FALSE(TKrPath(dir / "t").rmFolder2(true, true, &failed));
    // Everything else went; the file, its folder and the top folder are reported.
    EXPECT_FALSE(std::filesystem::exists(dir / "t/b"));
    ASSERT_EQ(failed.size(), 3u);
    EXPECT_EQ(failed[0].str(), dir / "t/a/stuck.txt");
    EXPECT_EQ(failed[1].str(), dir / "t/a");
    EXPECT_EQ(failed[2].str(), dir / "t");

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
    EXPECT_TRUE(std::filesystem::is_directory(dir / "p/q/s"));

    TKrPath s(dir / "p/q/s");
    EXPECT_TRUE(s.isFolderEmpty());
    dir.Write("p/q/s/.h", "");
    EXPECT_FALSE(s.isFolderEmpty());

    for (const TKrPath& special :
         {TKrPath::homeDir(), TKrPath::docDir(), TKrPath::workingDir(), TKrPath::tempDir()}) {
        EXPECT_TRUE(special.haveSlash()) << special;
        EXPECT_TRUE(special.isAbsolute()) << special;
    }

    TKrPath t1 = TKrPath::tempFile("krstd-path-XXXXXX.tmp");
    TKrPath t2 = TKrPath::tempFile("krstd-path-XXXXXX.tmp");
    ASSERT_FALSE(t1.isPathEmpty());
    EXPECT_NE(t1, t2);
    EXPECT_EQ(t1.path(), TKrPath::tempDir());
    EXPECT_EQ(t1.mainExt(), ".tmp");
    EXPECT_TRUE(t1.isFile());
    EXPECT_EQ(t1.fileSize(), 0);
    EXPECT_TRUE(t1.rmFile());
    EXPECT_TRUE(t2.rmFile());
}
