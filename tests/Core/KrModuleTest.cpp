// Module start-up and tear-down: counting, path split, failure retry, debug modes.
#include "Core/KrDebugModes.h"
#include "Core/KrMessage.h"
#include "Core/KrModuleStartup.h"
#include "Core/KrModuleInternal.h"
#include "Streams/KrZLib.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <tuple>

namespace {

KrModule_Initializer& Module() {
    return KrModule_Initializer::instance();
}

class KrModule : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Module().ref_count(), 0u) << "a previous test left the module up"; }
    void TearDown() override {
        while (Module().ref_count())
            Deinit_KrStd();
    }
};

TEST_F(KrModule, OnlyTheOuterInitAndDeinitMoveTheServices) {
    EXPECT_FALSE(Module().services_up());
    Init_KrStd();
    Init_KrStd();
    EXPECT_EQ(std::make_pair(Module().ref_count(), KrZLibInitCount()), std::make_pair(2ul, 1));
    const auto started = KrGetStartedServices();
    EXPECT_EQ(started.size(), KrGetStartupSteps().size());

    Deinit_KrStd();
    EXPECT_TRUE(Module().services_up());
    EXPECT_EQ(KrGetStartedServices(), started);

    Deinit_KrStd();
    EXPECT_EQ(std::make_tuple(Module().ref_count(), Module().services_up(), KrZLibInitCount()),
              std::make_tuple(0ul, false, 0));
    EXPECT_TRUE(KrGetStartedServices().empty());
    Deinit_KrStd(); // unmatched: ignored
    EXPECT_EQ(std::make_pair(Module().ref_count(), KrZLibInitCount()), std::make_pair(0ul, 0));
}

TEST_F(KrModule, PathFieldsNameTheLoadedLibraryAndSurviveTearDown) {
    Init_KrStd();
    Dl_info info;
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&Init_KrStd), &info), 0);
    EXPECT_EQ(Module().full_path(), info.dli_fname);
    EXPECT_EQ(Module().directory() + Module().file_name(), Module().full_path());
    EXPECT_EQ(Module().file_name().rfind("libKrStd.so", 0), 0u) << Module().file_name();
    EXPECT_EQ(Module().module_name(), "KrStd");
    Deinit_KrStd();
    EXPECT_FALSE(Module().full_path().empty());
}

TEST_F(KrModule, PathSplitRule) {
    struct Case {
        const char* path;
        const char* dir;
        const char* file;
        const char* ext;
    } cases[] = {
        {"/opt/kr/lib/libKrStd.so", "/opt/kr/lib/", "libKrStd.so", "so"},
        {"/opt/kr/lib/libKrStd", "/opt/kr/lib/", "libKrStd", ""},
        {"/opt/kr/lib/libKrStd.", "/opt/kr/lib/", "libKrStd.", ""},
        {"C:\\kr\\bin\\KrStd.dll", "C:\\kr\\bin\\", "KrStd.dll", "dll"},
        {"/a.b/file", "/a.b/", "file", ""},
        {"plain.so.1", "", "plain.so.1", "1"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        Module().set_path(c.path);
        EXPECT_EQ(Module().directory(), c.dir) << c.path;
        EXPECT_EQ(Module().file_name(), c.file) << c.path;
        EXPECT_EQ(Module().extension(), c.ext) << c.path;
    }
}

TEST_F(KrModule, FailedStartUpIsUndoneAndRetriedWhole) {
    const auto steps = KrGetStartupSteps();
    ASSERT_GE(steps.size(), 3u);
    std::string failing = steps[2].substr(0, steps[2].find(" (slot)"));
    KrModuleInternal::InjectStartupFault(failing.c_str());
    EXPECT_THROW(Init_KrStd(), TKrMessage);
    EXPECT_EQ(std::make_tuple(Module().ref_count(), Module().services_up(), KrZLibInitCount()),
              std::make_tuple(0ul, false, 0));
    EXPECT_TRUE(KrGetStartedServices().empty());

    Init_KrStd();
    EXPECT_EQ(std::make_pair(Module().ref_count(), Module().services_up()), std::make_pair(1ul, true));
    EXPECT_EQ(KrGetStartedServices().size(), steps.size());
}

TEST(KrDebugModes, BuiltInStoreAndInstalledHandler) {
    EXPECT_EQ(std::make_pair(KrModuleDebugMode("TestMode"), KrModuleDebugMode("TestMode", 5)),
              std::make_pair(0, 5));
    KrSetModuleDebugMode("TestMode", 3);
    EXPECT_EQ(KrModuleDebugMode("TestMode", 5), 3);
    KrSetModuleDebugMode("TestMode", 5, 5); // equal to the default: forgotten
    EXPECT_EQ(KrModuleDebugMode("TestMode", 9), 9);

    KrSetModuleDebugMode(nullptr, 4);
    EXPECT_EQ(std::make_pair(KrModuleDebugMode(""), KrModuleDebugMode("Global")), std::make_pair(4, 4));
    KrSetModuleDebugMode("", 0);
    EXPECT_EQ(KrModuleDebugMode("Global", -1), -1);

    struct TFixed : TKrMagicFeaturesHandlers {
        int GetMode(const char*, int) override { return 77; }
        void SetMode(const char*, int, int) override { ++sets; }
        int sets = 0;
    } fixed;
    TKrMagicFeaturesHandlers* builtIn = KrMagicFeaturesSetHandlers(&fixed);
    KrSetModuleDebugMode("X", 1);
    EXPECT_EQ(KrModuleDebugMode("X"), 77);
    EXPECT_EQ(fixed.sets, 1);
    EXPECT_EQ(KrMagicFeaturesSetHandlers(nullptr), &fixed);
    EXPECT_EQ(KrMagicFeaturesSetHandlers(nullptr), builtIn);
    EXPECT_FALSE(KrMagicKeyDown());
}

} // namespace
