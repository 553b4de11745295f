// GetBuildVerString: version, build number and edition of this library.
#include "Core/KrBuildVersion.h"

// The build system may pass the project version and a build number; the fallbacks are the
// version this source tree declares and build 0 (a developer build).
#ifndef KRSTD_VERSION_STRING
#define KRSTD_VERSION_STRING "0.1.0"
#endif
#ifndef KRSTD_BUILD_NUMBER
#define KRSTD_BUILD_NUMBER 0
#endif

#define KRSTD_STRINGIZE2(x) #x
#define KRSTD_STRINGIZE(x) KRSTD_STRINGIZE2(x)

namespace {

constexpr const char* EditionText() {
#if defined(__x86_64__)
    return "Linux-x86_64";
#elif defined(__aarch64__)
    return "Linux-aarch64";
#else
    return "Linux";
#endif
}

} // namespace

std::string GetBuildVerString(bool withBuild, bool withEdition) {
    std::string text = "KrStd " KRSTD_VERSION_STRING;
    if (withBuild) text += " build " KRSTD_STRINGIZE(KRSTD_BUILD_NUMBER);
    if (withEdition) {
        text += ' ';
        text += EditionText();
    }
    return text;
}
