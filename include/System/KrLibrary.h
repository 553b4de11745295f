// Dynamic libraries: loading by name, resolving symbols, unloading; the running program's file.
#pragma once

#include "Core/KrExport.h"

#include <memory>
#include <string>

class QLibrary;
class TKrPath;

/// A loaded (or once loaded) dynamic library. Copies share one library object; dropping the last
/// copy does not unload the library: only KrFreeLibrary does. Empty means nothing was loaded.
using TKrLibraryHandle = std::shared_ptr<QLibrary>;

/// Loads the library `name` (UTF-8; a bare name is searched the loader's way). On failure returns
/// an empty handle and stores the loader's text in `error` when given. Never throws.
KRSTD_API TKrLibraryHandle KrLoadLibrary(const std::string& name, std::string* error = nullptr);
/// The same; a failure throws "Err_LoadPackage_pkg_sysmsg" with the name and the loader's text.
KRSTD_API TKrLibraryHandle KrLoadLibraryE(const std::string& name);
/// Unloads the library when the handle holds one that is loaded; otherwise nothing. The library
/// stays mapped while other QLibrary objects of the same file keep it loaded.
KRSTD_API void KrFreeLibrary(const TKrLibraryHandle& handle);

/// The address of `symbol`, or null (empty handle, library not loaded, symbol missing).
KRSTD_API void* KrGetProcAddress(const TKrLibraryHandle& handle, const std::string& symbol);
/// The address of `symbol`. Throws "@KrGetProcAddressE got nullptr as a parameter" for an empty
/// handle and "Err_GetProcAddress_fnname_dllname_msg" (symbol, library file, reason) otherwise.
KRSTD_API void* KrGetProcAddressE(const TKrLibraryHandle& handle, const std::string& symbol);

/// The full path of the running program (its resolved /proc/self/exe link).
KRSTD_API TKrPath KrGetExecutableFileName();
/// The folder of the running program, with a trailing '/'.
KRSTD_API TKrPath KrGetExecutableFolder();
