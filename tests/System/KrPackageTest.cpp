// Packages: loading failures and their messages, the Init_/Deinit_ protocol on real plug-ins, and
// the persistent store's lock counts, log entries and unloading across Deinit_KrStd.
#include "Core/KrLog.h"
#include "Core/KrModuleStartup.h"
#include "Streams/KrStringStream.h"
#include "System/KrPackage.h"
#include "System/KrPersistentModules.h"
#include "System/KrFsTestUtils.h"
#include "KrThrownText.h"

#include <QLibrary>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace {
using KrFsTest::ReadFile;
const auto Thrown = krtest::ThrownText<std::exception>;

// Whether the file is mapped into this process (asking does not load it).
bool IsMapped(const std::string& path) {
    void* h = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}

/// The library up, the log in a string, and the test packages copied to a fresh folder (a
/// relocated install; fresh copies also keep each test's libraries apart).
class KrPackages : public ::testing::Test {
protected:
    void SetUp() override {
        Init_KrStd();
        KrLogSetLogV(m_log);
        for (const auto& e : std::filesystem::directory_iterator(KRSTD_TEST_PACKAGE_DIR))
            std::filesystem::copy_file(e.path(), m_dir / e.path().filename().string());
        setenv("KRSTD_TEST_PKG_LOG", Events().c_str(), 1);
    }
    void TearDown() override {
        unsetenv("KRSTD_TEST_PKG_LOG");
        Deinit_KrStd();
    }
    std::string Pkg(const std::string& file) const { return m_dir / file; }
    std::string Events() const { return m_dir / "events.txt"; }

    KrFsTest::TScratchDir m_dir;
    var_a<TKrStringStream*> m_log = new_a<TKrStringStream>();
};

TEST_F(KrPackages, LoadAndResolveFailuresSayWhatAndWhy) {
    std::string error;
    EXPECT_FALSE(KrLoadLibrary(Pkg("missing.so"), &error));
    EXPECT_NE(error.find("missing.so"), std::string::npos) << error;
    const std::string junk = m_dir.Write("junk.so", "not a shared library\n");
    EXPECT_FALSE(KrLoadLibrary(junk, &error));
    EXPECT_EQ(Thrown([&] { KrLoadLibraryE(junk); }), "Could not load the package " + junk + ": " + error);

    TKrLibraryHandle good = KrLoadLibraryE(Pkg("KrTestPkgGood.v1.so"));
    EXPECT_NE(KrGetProcAddress(good, "Init_KrTestPkgGood"), nullptr);
    EXPECT_EQ(KrGetProcAddress(good, "Init_Nothing"), nullptr);
    EXPECT_EQ(Thrown([&] { KrGetProcAddressE(good, "Init_Nothing"); }),
              "Could not find the function Init_Nothing in " + Pkg("KrTestPkgGood.v1.so") +
                  ": the library does not export it");
    KrFreeLibrary(good);
    EXPECT_FALSE(IsMapped(Pkg("KrTestPkgGood.v1.so")));
    EXPECT_EQ(KrGetProcAddress(good, "Init_KrTestPkgGood"), nullptr);
    EXPECT_NE(
        Thrown([&] { KrGetProcAddressE(good, "Init_KrTestPkgGood"); }).find(": the library is not loaded"),
        std::string::npos);
    EXPECT_EQ(Thrown([] { KrGetProcAddressE(TKrLibraryHandle(), "x"); }),
              "@KrGetProcAddressE got nullptr as a parameter");
}

TEST_F(KrPackages, ProtocolNeedsBothEntryPointsNamedAfterTheFileBaseName) {
    TKrLibraryHandle good = KrLoadLibraryE(Pkg("KrTestPkgGood.v1.so"));
    EXPECT_EQ(KrPackageBaseName(good), "KrTestPkgGood");
    KrInitializePackage(good);
    KrFinalizePackage(good);

    TKrLibraryHandle noInit = KrLoadLibraryE(Pkg("KrTestPkgNoInit.so"));
    EXPECT_NE(Thrown([&] { KrInitializePackage(noInit); }).find("function Init_KrTestPkgNoInit"),
              std::string::npos);
    TKrLibraryHandle noDeinit = KrLoadLibraryE(Pkg("KrTestPkgNoDeinit.so"));
    EXPECT_NE(Thrown([&] { KrInitializePackage(noDeinit); }).find("function Deinit_KrTestPkgNoDeinit"),
              std::string::npos);
    // Only the complete package ran, and a package missing its finaliser was never started.
    EXPECT_EQ(ReadFile(Events()), "init KrTestPkgGood\ndeinit KrTestPkgGood\n");
}

TEST_F(KrPackages, StoreCountsLocksAndLogsMisuse) {
    TPersistentModules& store = TPersistentModules::Instance();
    const std::string path = Pkg("KrTestPkgGood.v1.so");
    TKrLibraryHandle a = store.loadLibraryE(path);
    TKrLibraryHandle b = store.loadLibraryE(path);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(store.lockCount(a), 2);
    store.freeLibrary(a);
    store.freeLibrary(a);
    EXPECT_EQ(store.lockCount(a), 0);
    EXPECT_TRUE(IsMapped(path)); // released, not unloaded
    EXPECT_EQ(m_log->str(), "");
    store.freeLibrary(a);
    EXPECT_NE(m_log->str().find("\tE3\tKrPackageUtils\t@Internal error: Trying to unload persistent package "
                                "with LockCount=0.\n"),
              std::string::npos)
        << m_log->str();

    EXPECT_THROW(store.addLibraryE(path, a), std::runtime_error);
    EXPECT_EQ(store.addLibrary(path, a), 0);
    EXPECT_NE(m_log->str().find("Trying to add ordinary package as persistent one."), std::string::npos);

    const std::string other = Pkg("KrTestPkgNoInit.so");
    TKrLibraryHandle ordinary = KrLoadLibraryE(other);
    store.freeLibrary(ordinary);
    EXPECT_NE(m_log->str().find("Trying to unload ordinary package as persistent one."), std::string::npos);
    EXPECT_FALSE(IsMapped(other));
    EXPECT_EQ(store.lockCount(ordinary), -1);
}

TEST_F(KrPackages, ThrowingInitialiserReleasesItsLock) {
    EXPECT_EQ(Thrown([&] { KrLoadPersistentPackage(Pkg("KrTestPkgThrows.so")); }), "@refused to start");
    TKrLibraryHandle h = TPersistentModules::Instance().loadLibraryE(Pkg("KrTestPkgThrows.so"));
    EXPECT_EQ(TPersistentModules::Instance().lockCount(h), 1); // the failed load left none behind
    TPersistentModules::Instance().freeLibrary(h);
}

TEST_F(KrPackages, NestedPackagesFinaliseInOrderAndLockedOnesOutliveTheLibrary) {
    TPersistentModules& store = TPersistentModules::Instance();
    TKrLibraryHandle outer = KrLoadPersistentPackage(Pkg("KrTestPkgOuter.so"));
    TKrLibraryHandle inner = store.loadLibraryE(Pkg("KrTestPkgGood.v1.so")); // the one Outer loaded
    EXPECT_EQ(std::make_pair(store.lockCount(outer), store.lockCount(inner)), std::make_pair(1L, 2L));
    KrUnloadPersistentPackage(outer);
    EXPECT_EQ(ReadFile(Events()), "init KrTestPkgOuter\ninit KrTestPkgGood\n"
                                  "deinit KrTestPkgOuter\ndeinit KrTestPkgGood\n");
    EXPECT_EQ(std::make_pair(store.lockCount(outer), store.lockCount(inner)), std::make_pair(0L, 1L));
    EXPECT_TRUE(IsMapped(Pkg("KrTestPkgOuter.so")));

    // Tearing the library down unloads what nobody holds and keeps what is still locked.
    Deinit_KrStd();
    EXPECT_EQ(store.size(), 0u);
    EXPECT_FALSE(IsMapped(Pkg("KrTestPkgOuter.so")));
    EXPECT_TRUE(IsMapped(Pkg("KrTestPkgGood.v1.so")));
    Init_KrStd();
}

} // namespace
