// The process-wide store of persistent packages and the package load/unload pair built on it.
#include "System/KrPersistentModules.h"

#include "Core/KrLog.h"
#include "System/KrPackage.h"

#include <QLibrary>

#include <stdexcept>

namespace {
const char* const kLogSource = "KrPackageUtils";

void LogError(const char* text) noexcept {
    try {
        KrLogWriteError(kLogSource, text);
    } catch (...) {
    }
}
} // namespace

TPersistentModules& TPersistentModules::Instance() {
    static TPersistentModules store;
    return store;
}

const std::size_t* TPersistentModules::find(const TKrLibraryHandle& handle) const {
    auto it = m_byObject.find(handle.get());
    return it == m_byObject.end() ? nullptr : &it->second;
}

TKrLibraryHandle TPersistentModules::loadLibraryE(const std::string& name) {
    auto it = m_byName.find(name);
    const std::size_t index = it != m_byName.end() ? it->second : add(name, KrLoadLibraryE(name));
    TEntry& entry = m_entries[index];
    ++entry.lockCount;
    return entry.library;
}

std::size_t TPersistentModules::add(const std::string& name, const TKrLibraryHandle& handle) {
    const std::size_t index = m_entries.size();
    m_entries.push_back(TEntry{handle, 0});
    m_byName[name] = index;
    m_byObject[handle.get()] = index;
    return index;
}

void TPersistentModules::addLibraryE(const std::string& name, const TKrLibraryHandle& handle) {
    if (m_byName.count(name))
        throw std::runtime_error("@TPersistentModules::addLibraryE: Library already exists");
    ++m_entries[add(name, handle)].lockCount;
}

int TPersistentModules::addLibrary(const std::string& name, const TKrLibraryHandle& handle) {
    try {
        addLibraryE(name, handle);
        return 1;
    } catch (...) {
        LogError("@Internal error: Trying to add ordinary package as persistent one.");
        return 0;
    }
}

void TPersistentModules::freeLibrary(const TKrLibraryHandle& handle) {
    if (!handle) return;
    if (const std::size_t* index = find(handle)) {
        TEntry& entry = m_entries[*index];
        if (entry.lockCount > 0)
            --entry.lockCount;
        else
            LogError("@Internal error: Trying to unload persistent package with LockCount=0.");
        return;
    }
    LogError("@Internal error: Trying to unload ordinary package as persistent one.");
    KrFreeLibrary(handle);
}

void TPersistentModules::Finalize() {
    // A library still locked has a client that never released it and may still run its code
    // (or have handed out its function pointers), so it is only let go of, never unloaded.
    for (TEntry& entry : m_entries)
        if (entry.lockCount == 0) KrFreeLibrary(entry.library);
    m_entries.clear();
    m_byName.clear();
    m_byObject.clear();
}

std::int64_t TPersistentModules::lockCount(const TKrLibraryHandle& handle) const {
    const std::size_t* index = handle ? find(handle) : nullptr;
    return index ? std::int64_t(m_entries[*index].lockCount) : -1;
}

TKrLibraryHandle KrLoadPersistentPackage(const std::string& name) {
    TPersistentModules& store = TPersistentModules::Instance();
    TKrLibraryHandle handle = store.loadLibraryE(name);
    try {
        KrInitializePackage(handle);
    } catch (...) {
        store.freeLibrary(handle);
        throw;
    }
    return handle;
}

void KrUnloadPersistentPackage(const TKrLibraryHandle& handle) {
    KrFinalizePackage(handle);
    TPersistentModules::Instance().freeLibrary(handle);
}

void InitializePersistentModuleStorage() {
    (void)TPersistentModules::Instance();
}

// Part of the no-throw tear-down: a failure here ends the process rather than leaving the store
// half emptied.
void FinalizePersistentModuleStorage() noexcept {
    TPersistentModules::Instance().Finalize();
}
