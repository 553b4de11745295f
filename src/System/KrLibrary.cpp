// Dynamic libraries through QLibrary, with the library's own error messages.
#include "System/KrLibrary.h"

#include "Core/KrExceptions.h"
#include "Core/KrModule.h"
#include "System/KrPath.h"

#include <QFileInfo>
#include <QLibrary>

#include <unistd.h>

TKrLibraryHandle KrLoadLibrary(const std::string& name, std::string* error) {
    try {
        auto library = std::make_shared<QLibrary>(QString::fromUtf8(name.data(), int(name.size())));
        if (library->load()) return library;
        if (error) *error = library->errorString().toStdString();
    } catch (...) {
        if (error) *error = KrGetExceptionReason().std_str();
    }
    return TKrLibraryHandle();
}

TKrLibraryHandle KrLoadLibraryE(const std::string& name) {
    std::string error;
    TKrLibraryHandle library = KrLoadLibrary(name, &error);
    if (!library) throw KrMsg_helper("Err_LoadPackage_pkg_sysmsg") << name << error;
    return library;
}

void KrFreeLibrary(const TKrLibraryHandle& handle) {
    if (handle && handle->isLoaded()) handle->unload();
}

void* KrGetProcAddress(const TKrLibraryHandle& handle, const std::string& symbol) {
    if (!handle || !handle->isLoaded()) return nullptr;
    return reinterpret_cast<void*>(handle->resolve(symbol.c_str()));
}

void* KrGetProcAddressE(const TKrLibraryHandle& handle, const std::string& symbol) {
    if (!handle) throw TKrMessage("@KrGetProcAddressE got nullptr as a parameter");
    const bool loaded = handle->isLoaded();
    if (loaded) {
        if (void* address = reinterpret_cast<void*>(handle->resolve(symbol.c_str()))) return address;
    }
    const std::string reason = KrModule_Initializer::instance().get_resource_string(
        loaded ? "global.Err_NoFunc" : "global.Err_NoModule");
    throw KrMsg_helper("Err_GetProcAddress_fnname_dllname_msg")
        << symbol << handle->fileName().toStdString() << reason;
}

TKrPath KrGetExecutableFileName() {
    // The link names the file even when the program was started through a relative path or a
    // symbolic link, and it needs no QCoreApplication.
    std::string target(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", target.data(), target.size());
    target.resize(n > 0 ? std::size_t(n) : 0);
    return TKrPath(target);
}

TKrPath KrGetExecutableFolder() {
    return KrGetExecutableFileName().path();
}
