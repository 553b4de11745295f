// The process-wide store of persistent packages: loaded once, kept loaded until the store ends.
#pragma once

#include "System/KrLibrary.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

/// Libraries that stay loaded however often they are loaded and released: each entry counts its
/// locks, and releasing the last lock keeps the library loaded until Finalize. One instance per
/// process (Instance()). No lock of its own: the thread that manages the application's modules
/// uses it; only its creation is thread-safe.
class KRSTD_API TPersistentModules {
public:
    /// The process-wide store, created on first use.
    static TPersistentModules& Instance();

    /// Loads `name` with KrLoadLibraryE unless the store has it already, takes one lock on it and
    /// returns its handle (the same library object for every call with this name).
    TKrLibraryHandle loadLibraryE(const std::string& name);
    /// Appends an entry with no lock and records it by name and by library object; returns its
    /// index. Entries stay until Finalize, so indexes stay valid.
    std::size_t add(const std::string& name, const TKrLibraryHandle& handle);
    /// Stores an already loaded library under `name` with one lock. A name already present throws
    /// std::runtime_error "@TPersistentModules::addLibraryE: Library already exists".
    void addLibraryE(const std::string& name, const TKrLibraryHandle& handle);
    /// addLibraryE that logs a failure as an error of "KrPackageUtils" instead; 1 on success, 0 not.
    int addLibrary(const std::string& name, const TKrLibraryHandle& handle);
    /// Releases one lock; the library stays loaded. Releasing a library with no lock left is
    /// logged and ignored; a library the store does not know is logged and unloaded.
    void freeLibrary(const TKrLibraryHandle& handle);
    /// Unloads every stored library that has no lock left, lets go of the others without
    /// unloading them, and empties the store.
    void Finalize();

    /// The number of entries.
    std::size_t size() const noexcept { return m_entries.size(); }
    /// The locks held on the library of `handle`, or -1 when the store does not know it.
    std::int64_t lockCount(const TKrLibraryHandle& handle) const;

private:
    TPersistentModules() = default;
    TPersistentModules(const TPersistentModules&) = delete;
    TPersistentModules& operator=(const TPersistentModules&) = delete;
    const std::size_t* find(const TKrLibraryHandle& handle) const;

    struct TEntry {
        TKrLibraryHandle library;
        std::uint64_t lockCount;
    };
    std::vector<TEntry> m_entries;
    std::map<std::string, std::size_t> m_byName;
    std::map<const QLibrary*, std::size_t> m_byObject;
};

/// Loads `name` through the store and initialises it as a package. When the initialiser throws,
/// the lock is released again and the exception propagates.
KRSTD_API TKrLibraryHandle KrLoadPersistentPackage(const std::string& name);
/// Finalises the package and releases its lock (the library itself stays loaded).
KRSTD_API void KrUnloadPersistentPackage(const TKrLibraryHandle& handle);

/// Creates the store (module start-up).
KRSTD_API void InitializePersistentModuleStorage();
/// Finalize() on the store (module tear-down).
KRSTD_API void FinalizePersistentModuleStorage() noexcept;
