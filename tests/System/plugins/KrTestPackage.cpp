// A plug-in package for the package tests; its build definitions choose its name and behaviour:
// KRTEST_PKG (base name), KRTEST_PKG_NO_INIT, KRTEST_PKG_NO_DEINIT, KRTEST_PKG_THROWS, and
// KRTEST_PKG_LOADS (a package file beside this one, kept loaded persistently while it is up).
#include "Core/KrMessage.h"
#include "System/KrPersistentModules.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>

#define KRTEST_CAT2(a, b) a##b
#define KRTEST_CAT(a, b) KRTEST_CAT2(a, b)
#define KRTEST_STR2(a) #a
#define KRTEST_STR(a) KRTEST_STR2(a)
#define KRTEST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
// Appends "<event> <package>" to the file the test names, so the order across packages shows.
void Record(const char* event) {
    const char* log = std::getenv("KRSTD_TEST_PKG_LOG");
    if (std::FILE* f = log ? std::fopen(log, "a") : nullptr) {
        std::fprintf(f, "%s %s\n", event, KRTEST_STR(KRTEST_PKG));
        std::fclose(f);
    }
}

#ifdef KRTEST_PKG_LOADS
TKrLibraryHandle g_inner;

std::string OwnFolder() {
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&Record), &info);
    const std::string path = info.dli_fname ? info.dli_fname : "";
    return path.substr(0, path.rfind('/') + 1);
}
#endif
} // namespace

#ifndef KRTEST_PKG_NO_INIT
KRTEST_EXPORT void KRTEST_CAT(Init_, KRTEST_PKG)() {
    Record("init");
#ifdef KRTEST_PKG_THROWS
    throw TKrMessage("@refused to start");
#endif
#ifdef KRTEST_PKG_LOADS
    g_inner = KrLoadPersistentPackage(OwnFolder() + KRTEST_PKG_LOADS);
#endif
}
#endif

#ifndef KRTEST_PKG_NO_DEINIT
KRTEST_EXPORT void KRTEST_CAT(Deinit_, KRTEST_PKG)() {
    Record("deinit");
#ifdef KRTEST_PKG_LOADS
    KrUnloadPersistentPackage(g_inner);
    g_inner.reset();
#endif
}
#endif
