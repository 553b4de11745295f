// The package protocol: a plug-in library's Init_<base name> and Deinit_<base name> entry points.
#pragma once

#include "System/KrLibrary.h"

#include <string>

/// The base name a package's entry points carry: the file name without folder and without
/// everything from its first dot ("abc.def.so" gives "abc").
KRSTD_API std::string KrPackageBaseName(const TKrLibraryHandle& handle);

/// Resolves Init_<base> and Deinit_<base> (both must exist; a missing one throws as
/// KrGetProcAddressE does) and calls Init_<base>. Its exceptions propagate.
KRSTD_API void KrInitializePackage(const TKrLibraryHandle& handle);
/// Resolves and calls Deinit_<base>; failures of either propagate.
KRSTD_API void KrFinalizePackage(const TKrLibraryHandle& handle);
