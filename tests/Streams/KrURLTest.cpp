// URLs: parsing, text functions, the "mem" tree, copies and moves across schemes, backups,
// labels in settings, and the start-up registration of the schemes.
#include "KrThrownText.h"
#include "Core/KrModuleInternal.h"
#include "Core/KrModuleStartup.h"
#include "Streams/KrURLFileHandler.h"
#include "Streams/KrURLMemHandler.h"
#include "System/KrFileUtils.h"
#include "System/KrFsTestUtils.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

TKrURLManager& M() {
    return KrURLManager();
}

std::string ReadAll(const TKrURL& url, bool meta = false) {
    auto s = meta ? M().OpenResourceMeta(url, krOpenRead) : M().OpenURLE(url, krOpenRead);
    if (!s) return "<none>";
    std::string bytes(s->getSize(), '\0');
    if (!bytes.empty()) s->ReadAllE(bytes.data(), bytes.size());
    return bytes;
}

void WriteAll(const TKrURL& url, const std::string& bytes, const std::string& meta = std::string()) {
    M().OpenURLE(url, krCreate)->WriteAllE(bytes.data(), bytes.size());
    if (!meta.empty()) M().OpenResourceMeta(url, krCreate)->WriteAllE(meta.data(), meta.size());
}

using krtest::ThrownText;

// "fail:///x" is "mem:///x" in a tree of its own, but new resources stop taking bytes after
// `limit` and, with `noMeta`, companions cannot be created: a target that breaks midway.
class TFailingHandler : public TKrURLMemHandler {
public:
    std::size_t limit = ~std::size_t(0);
    bool noMeta = false;

    struct TStream : TKrURLMemStream {
        std::size_t left;
        TStream(const var_a<TKrBlockMemData*>& d, const TKrURL& u, std::size_t limit)
            : TKrURLMemStream(d, u, krCreate), left(limit) {}
        // The block stream's Write goes through WriteAll: count here, once.
        bool WriteAll(const void* buf, streamsize_t n) override {
            if (n > left) {
                AddState(stWriteError);
                return false;
            }
            left -= n;
            return TKrBlockMemStream::WriteAll(buf, n);
        }
        streamsize_t Write(const void* buf, streamsize_t n) override {
            return WriteAll(buf, n) ? n : invalid_value;
        }
    };

    static TKrURL Mem(const TKrURL& u) { return TKrURL::FromString("mem" + u.std_str().substr(4)); }
    var_a<TKrURLStream*> OpenURL(const TKrURL& u, krOpenMode mode, krShareMode sh,
                                 std::size_t size) override {
        auto s = TKrURLMemHandler::OpenURL(Mem(u), mode, sh, size);
        if (!s || mode == krOpenRead) return s;
        return new_a<TStream>(dynamic_cast<TKrURLMemStream&>(*s).GetData(), u, limit);
    }
    var_a<TKrURLStream*> OpenResourceMeta(const TKrURL& u, krOpenMode mode, krShareMode sh) override {
        return noMeta && mode != krOpenRead ? nullptr : TKrURLMemHandler::OpenResourceMeta(Mem(u), mode, sh);
    }
    bool DeleteResource(const TKrURL& u) override { return TKrURLMemHandler::DeleteResource(Mem(u)); }
    bool IsResource(const TKrURL& u) override { return TKrURLMemHandler::IsResource(Mem(u)); }
    bool ResourceMetaExists(const TKrURL& u) override { return TKrURLMemHandler::ResourceMetaExists(Mem(u)); }
};

class KrURL : public ::testing::Test {
protected:
    void SetUp() override {
        Init_KrStd();
        ASSERT_FALSE(dir.path.empty());
    }
    void TearDown() override { Deinit_KrStd(); }
    TKrURL File(const std::string& name) const { return TKrURL::FromFile(TKrPath(dir / name)); }

    KrFsTest::TScratchDir dir;
};

TEST(KrURLText, ValidityAndSchemes) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"", true},          {"file:///tmp/a", true},  {"File:/x", false},  {"file:", false},
        {"file:a|b", true},  {"file:a?b", false},      {":x", true},        {"nocolon", false},
        {"a1:x", false},     {"mem:a\tb", false},      {"mem:a\\b", false}, {"mem:<", false},
        {"mem:a:b/c", true}, {"x:\x7f\xc3\xa9", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TKrURLManager::IsValidURL(std::string(c.text)), c.valid) << c.text;
        EXPECT_EQ(ThrownText([&] { TKrURL u(c.text); }) == "<no exception>", c.valid) << c.text;
    }
    EXPECT_EQ(ThrownText([] { TKrURL u("file:"); }), "@TKrURL::Init(): Not a valid URL: \"file:\"");
    EXPECT_TRUE(TKrURLManager::IsValidResNamePart("a b.c"));
    for (const char* bad : {"a/b", "a|b", "a*", "\x01"})
        EXPECT_FALSE(TKrURLManager::IsValidResNamePart(bad)) << bad;

    EXPECT_EQ(TKrURLManager::GetScheme(TKrURL("mem:///x")), "mem");
    EXPECT_EQ(TKrURLManager::GetScheme(TKrURL()), "");
    EXPECT_EQ(TKrURLManager::GetScheme(TKrURL(":x")), "");
    EXPECT_EQ(ThrownText([] { TKrURLManager::GetScheme(TKrURL::FromString("x")); }),
              "@TKrURLManager::GetScheme(): Invalid URL");
}

TEST(KrURLText, PathParts) {
    const struct {
        const char *url, *path, *nameExt, *name, *pathName, *ext;
    } cases[] = {
        {"mem:///a/b.c.txt", "mem:///a/", "b.c.txt", "b.c", "mem:///a/b.c", ".txt"},
        {"mem:///a.d/b", "mem:///a.d/", "b", "b", "mem:///a.d/b", ""},
        {"mem:///a/", "mem:///a/", "", "", "mem:///a/", ""},
        {"x:.rc", "", "x:.rc", "x:", "x:", ".rc"},
        {"", "", "", "", "", ""},
    };
    for (const auto& c : cases) {
        const TKrURL u = TKrURL::FromString(c.url);
        EXPECT_EQ(KrExtractURLPath(u).std_str(), c.path) << c.url;
        EXPECT_EQ(KrExtractURLNameExt(u), c.nameExt) << c.url;
        EXPECT_EQ(KrExtractURLNameOnly(u), c.name) << c.url;
        EXPECT_EQ(KrExtractURLPathNameOnly(u).std_str(), c.pathName) << c.url;
        EXPECT_EQ(KrExtractURLExt(u), c.ext) << c.url;
    }
    EXPECT_EQ(KrIncludeTrailingSlash(TKrURL("mem:///a")).std_str(), "mem:///a/");
    EXPECT_EQ(KrIncludeTrailingSlash(TKrURL("mem:///a/")).std_str(), "mem:///a/");
    EXPECT_EQ(KrExcludeTrailingSlash(TKrURL("mem:///a//")).std_str(), "mem:///a/");
    EXPECT_EQ(KrURLcmpi_Ansi(TKrURL("mem:///ABC"), TKrURL("mem:///abc")), 0);
    EXPECT_LT(KrURLcmpi_Ansi(TKrURL("mem:///a"), TKrURL("mem:///B")), 0);
}

TEST_F(KrURL, UnknownSchemesAndFileURLs) {
    const TKrURL zip("zip:///a");
    EXPECT_FALSE(M().GetURLHandler(zip));
    EXPECT_EQ(ThrownText([&] { M().OpenURL(zip, krOpenRead); }), "@Unsupported URL scheme zip:///a");
    EXPECT_EQ(ThrownText([&] { M().CreateURL("zip", "/a"); }), "@Invalid scheme \"zip\"");
    EXPECT_EQ(ThrownText([&] { M().RegisterSchemeHandler("mem", nullptr); }),
              "@Scheme \"mem\" already registered");
    EXPECT_EQ(ThrownText([&] { M().UnregisterSchemeHandler("zip"); }),
              "@TKrURLManager::UnregisterSchemeHandler(): Scheme \"zip\" don't registered");

    const TKrURL f = File("a b.txt");
    EXPECT_EQ(f.std_str(), "file:///" + dir / "a b.txt");
    EXPECT_EQ(f.ToFile(), dir / "a b.txt");
    EXPECT_EQ(TKrURL("file:///").ToFile(), "");
    EXPECT_EQ(TKrURL("mem:///a").ToFile(), "");
    EXPECT_EQ(M().URL2Path(TKrURL("mem:///a/b")), "/a/b");
    EXPECT_EQ(ThrownText([&] { M().URL2Path(TKrURL("mem:a")); }),
              "@TKrURLMemHandler::URL2Path(): Invalid URL \"mem:a\"");
    EXPECT_FALSE(M().OpenURL(File("missing"), krOpenRead));
    EXPECT_EQ(KrURLFilescmpi_Ansi(f, TKrURL::FromFile(TKrPath(dir / "A B.TXT"))), 0);
}

TEST_F(KrURL, MemTree) {
    const TKrURL c("mem:///a/b/c");
    EXPECT_FALSE(M().OpenURL(c, krCreate)) << "opening creates no folders";
    ASSERT_TRUE(M().CreateFolder(TKrURL("mem:///a/b")));
    WriteAll(c, "xyz", "m");
    EXPECT_FALSE(M().OpenURL(c, krCreateNew));
    EXPECT_FALSE(M().OpenURL(TKrURL("mem:///a/b/"), krCreate)) << "a final slash names no resource";
    EXPECT_FALSE(M().OpenURL(TKrURL("mem:///a/b"), krOpenRead)) << "a folder is no file";
    EXPECT_FALSE(M().OpenURL(TKrURL("mem:///a/b/c/d"), krCreate)) << "a file is no folder";
    EXPECT_FALSE(M().CreateFolder(c));
    EXPECT_EQ(
        std::make_tuple(M().IsFolder(TKrURL("mem:///a/b")), M().IsResource(c), M().ResourceMetaExists(c)),
        std::make_tuple(true, true, true));
    EXPECT_EQ(M().OpenURLE(c, krCreate, krShareDefault, 2)->getSize(), 2u) << "krCreate resizes";

    auto& mem = TKrURLMemHandler::Global();
    mem.CopyFolder(TKrURL("mem:///a/b"), "b2");
    WriteAll(c, "changed");
    EXPECT_EQ(ReadAll(TKrURL("mem:///a/b2/c")), "xy");
    EXPECT_EQ(ReadAll(TKrURL("mem:///a/b2/c"), true), "m");
    EXPECT_EQ(mem.List(TKrURL("mem:///a/")), (std::vector<std::string>{"b/", "b2/"}));
    EXPECT_EQ(ThrownText([&] { mem.CopyFolder(TKrURL("mem:///a/b"), "b2"); }),
              "@TKrURLMemHandler::CopyFolder(): Invalid name");
    EXPECT_EQ(ThrownText([&] { mem.CopyFolder(TKrURL("mem:///a/b/c"), "x"); }),
              "@TKrURLMemHandler::CopyFolder(): Folder not found");

    EXPECT_TRUE(M().DeleteResource(c));
    EXPECT_FALSE(M().ResourceExists(c));
    EXPECT_TRUE(mem.List(TKrURL("mem:///a/b/")).empty()) << "the companion goes along";
    EXPECT_TRUE(M().DeleteFolder(TKrURL("mem:///a"), true));
    EXPECT_FALSE(M().ResourceExists(TKrURL("mem:///a/b2/c")));
    EXPECT_EQ(ThrownText([&] { M().CopyResource(TKrURL("mem:///x"), TKrURL("mem:///y")); }),
              "@TKrURLMemHandler::CopyResource(): TODO");
}

TEST_F(KrURL, CopyAndMoveAcrossSchemesKeepBytesAndCompanions) {
    ASSERT_TRUE(M().CreateFolder(TKrURL("mem:///d")));
    const std::string data = KrFsTest::RandomBytes(70000, 1);
    const struct {
        bool fromMem, move, withMeta;
    } cases[] = {{true, false, true}, {true, true, true}, {false, false, true}, {false, true, false}};
    int n = 0;
    for (const auto& c : cases) {
        const std::string tag = std::to_string(n++);
        const TKrURL mem("mem:///d/r" + tag + ".bin"), file = File("r" + tag + ".bin");
        const TKrURL &from = c.fromMem ? mem : file, &to = c.fromMem ? file : mem;
        WriteAll(from, data, c.withMeta ? "meta " + tag : "");
        const bool ok = c.move ? M().RenMovResource(from, to) : M().CopyResource(from, to);
        ASSERT_TRUE(ok) << tag;
        EXPECT_EQ(ReadAll(to), data) << tag;
        EXPECT_EQ(M().ResourceMetaExists(to), c.withMeta) << tag;
        if (c.withMeta) {
            EXPECT_EQ(ReadAll(to, true), "meta " + tag) << tag;
        }
        EXPECT_EQ(M().IsResource(from), !c.move) << tag;
        EXPECT_FALSE(c.move && M().ResourceMetaExists(from)) << tag;
        EXPECT_TRUE(M().ContentCheck(from.std_str() == to.std_str() ? to : (c.move ? to : from), to)) << tag;
    }
    // A copy without a companion replaces the target's old one, within a scheme and across.
    for (const TKrURL& from : {TKrURL("mem:///d/plain"), File("plain")}) {
        WriteAll(from, "plain");
        WriteAll(File("target"), "old", "old meta");
        WriteAll(TKrURL("mem:///d/target"), "old", "old meta");
        for (const TKrURL& to : {File("target"), TKrURL("mem:///d/target")}) {
            if (TKrURLManager::GetScheme(from) == "mem" && TKrURLManager::GetScheme(to) == "mem") continue;
            ASSERT_TRUE(M().CopyResource(from, to)) << to.std_str();
            EXPECT_EQ(std::make_pair(ReadAll(to), M().ResourceMetaExists(to)),
                      std::make_pair(std::string("plain"), false))
                << from.std_str() << " -> " << to.std_str();
        }
    }
    // Within the file scheme the handler moves the companion along with the file.
    ASSERT_TRUE(M().RenMovResource(File("r0.bin"), File("moved.bin")));
    EXPECT_EQ(std::make_pair(ReadAll(File("moved.bin"), true), M().ResourceExists(File("r0.bin.meta"))),
              std::make_pair(std::string("meta 0"), false));
}

TEST_F(KrURL, FailedMoveAcrossSchemesLeavesTheSource) {
    auto failing = new_a<TFailingHandler>();
    failing->Init();
    M().RegisterSchemeHandler("fail", failing);
    ASSERT_TRUE(M().CreateFolder(TKrURL("mem:///s")));
    const TKrURL src("mem:///s/x"), dst("fail:///x");
    const std::string data = KrFsTest::RandomBytes(300000, 1);
    WriteAll(src, data, "companion");
    const struct {
        std::size_t limit;
        bool noMeta;
    } cases[] = {{1000, false}, {0, false}, {~std::size_t(0), true}};
    for (const auto& c : cases) {
        failing->limit = c.limit;
        failing->noMeta = c.noMeta;
        EXPECT_FALSE(M().RenMovResource(src, dst)) << c.limit;
        EXPECT_EQ(ReadAll(src), data);
        EXPECT_EQ(ReadAll(src, true), "companion");
        EXPECT_FALSE(failing->IsResource(dst)) << "no half-written target stays behind";
    }
    failing->noMeta = false;
    EXPECT_TRUE(M().RenMovResource(src, dst));
    EXPECT_FALSE(M().ResourceExists(src));
    EXPECT_EQ(ReadAll(dst), data);
    M().UnregisterSchemeHandler("fail");
}

TEST_F(KrURL, FileHandlerCompanionsLabelsAndBackups) {
    const TKrURL r = File("res.dat");
    dir.Write("res.dat.meta", "stale");
    WriteAll(r, "fresh");
    EXPECT_FALSE(M().ResourceMetaExists(r)) << "a companion without its file is dropped on open";

    TKrResourceLabel a, b;
    ASSERT_TRUE(M().GetResourceLabel(r, &a));
    EXPECT_EQ(a.size, 5u);
    ASSERT_TRUE(M().CopyResource(r, File("copy.dat")));
    ASSERT_TRUE(M().GetResourceLabel(File("copy.dat"), &b));
    EXPECT_TRUE(a.WeakCheck(b) && a.ContentCheck(b)) << "a copy keeps size, time and content";
    EXPECT_FALSE(M().GetResourceLabelWeak(TKrURL::FromFile(TKrPath(dir.path)), &b))
        << "a folder has no label";

    for (const char* old : {"res.2001-01-01.00-00-00.dat", "res.2002-01-01.00-00-00.dat",
                            "res.2003-01-01.00-00-00.dat", "other.2000-01-01.00-00-00.dat"})
        dir.Write(std::string("backup/") + old, "old");
    BackupURL(r, 3);
    EXPECT_FALSE(M().ResourceExists(r));
    EXPECT_FALSE(KrFileExists(dir / "backup/res.2001-01-01.00-00-00.dat"));
    std::size_t count = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "backup"))
        count += e.path().filename().string().rfind("res.", 0) == 0;
    EXPECT_EQ(count, 3u);
    EXPECT_TRUE(KrFileExists(dir / "backup/other.2000-01-01.00-00-00.dat"));
    BackupURL(File("copy.dat"), 0);
    EXPECT_FALSE(M().ResourceExists(File("copy.dat")));
}

TEST_F(KrURL, UrlsAndLabelsInSettings) {
    const TKrURL u("mem:///settings.xini");
    TKrResourceLabel label;
    label.size = 1234567890123ull;
    label.timestamp = TKrDateTime(132000000001230000ll);
    label.partCrc = 0xDEADBEEF;
    {
        auto w = GetURLXIniWriter(u);
        XIniSaveSE(w.get(), "url", TKrURL("file:///x/y"));
        XIniSaveE(w.get(), label);
        w->WriteSE("bad", std::string("Bad:url"));
    }
    auto r = GetURLXIniReader(u);
    TKrURL back;
    XIniLoadE(r.get(), r->FindFE("url", 0), back);
    TKrResourceLabel read;
    XIniLoadE(r.get(), read);
    EXPECT_EQ(back.std_str(), "file:///x/y");
    EXPECT_TRUE(read == label);
    EXPECT_NE(ThrownText([&] { XIniLoadE(r.get(), r->FindFE("bad", 0), back); }), "<no exception>");
}

TEST(KrURLStartup, RegistersMemAndTearDownRemovesIt) {
    EXPECT_FALSE(M().IsSchemeRegistered("mem"));
    Init_KrStd();
    EXPECT_TRUE(M().IsSchemeRegistered("mem") && M().IsSchemeRegistered("file"));
    WriteAll(TKrURL("mem:///left"), "x");
    Deinit_KrStd();
    EXPECT_FALSE(M().IsSchemeRegistered("mem") || M().IsSchemeRegistered("file"));
    Init_KrStd();
    EXPECT_FALSE(M().ResourceExists(TKrURL("mem:///left"))) << "a new start-up begins with an empty tree";
    Deinit_KrStd();

    // A start-up that fails at the "mem" step undoes the file scheme too, and can be retried.
    KrModuleInternal::InjectStartupFault("mem scheme");
    EXPECT_THROW(Init_KrStd(), TKrMessage);
    EXPECT_FALSE(M().IsSchemeRegistered("file"));
    Init_KrStd();
    EXPECT_TRUE(M().IsSchemeRegistered("mem"));
    Deinit_KrStd();
}

} // namespace

TEST(KrURLTool, CopyStatAndFailures) {
    const std::string krtool = KrFsTest::Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    KrFsTest::TScratchDir d;
    d.Write("a.txt", "hello");
    d.Write("a.txt.meta", "m");
    int status = -1;
    KrFsTest::RunShell(d.path, krtool + "url copy a.txt b.txt", &status);
    EXPECT_EQ(status, 0);
    const std::string out = KrFsTest::RunShell(d.path, krtool + "url stat b.txt", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("size\t5\n"), std::string::npos) << out;
    EXPECT_NE(out.find("meta\tyes\n"), std::string::npos) << out;
    KrFsTest::RunShell(d.path, krtool + "url move b.txt no/such/c.txt 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(KrFileExists(d / "b.txt"));
    KrFsTest::RunShell(d.path, krtool + "url copy a.txt 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
}
