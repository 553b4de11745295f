// The package protocol: resolving and calling a package's Init_ and Deinit_ entry points.
#include "System/KrPackage.h"

#include <QFileInfo>
#include <QLibrary>

namespace {
using TEntryPoint = void (*)();

TEntryPoint Resolve(const TKrLibraryHandle& handle, const char* prefix) {
    return reinterpret_cast<TEntryPoint>(KrGetProcAddressE(handle, prefix + KrPackageBaseName(handle)));
}
} // namespace

std::string KrPackageBaseName(const TKrLibraryHandle& handle) {
    if (!handle) return std::string();
    return QFileInfo(handle->fileName()).baseName().toStdString();
}

void KrInitializePackage(const TKrLibraryHandle& handle) {
    TEntryPoint init = Resolve(handle, "Init_");
    (void)Resolve(handle, "Deinit_"); // a package that cannot be finalised is not started
    init();
}

void KrFinalizePackage(const TKrLibraryHandle& handle) {
    Resolve(handle, "Deinit_")();
}
