// The module object of libKrStd and its exported, reference-counted entry points.
#pragma once

#include "Core/KrExport.h"

#include <cstdint>
#include <memory>
#include <string>

/// Brings the library's process-wide services up on the first Init_KrStd and down on the last
/// matching Deinit_KrStd. One instance per process (instance()), alive until exit.
/// init/deinit take no lock: clients serialise them (in practice the main thread does both).
class KRSTD_API KrModule_Initializer {
public:
    static KrModule_Initializer& instance();

    /// Counts the call; the first one (count 0) runs the start-up (defined with the start-up
    /// sequence, see Core/KrModuleStartup.h). A start-up failure is
    /// undone, propagates, and leaves the count at 0 so that the next call retries.
    void init();
    /// Undoes one init; the last one runs the tear-down. Without an outstanding init: nothing.
    void deinit() noexcept;

    /// The text of `id` in this module's language texts, or "" / `def` when there is none.
    std::string get_resource_string(const std::string& id) const;
    std::string get_resource_string(const std::string& id, const std::string& def) const;

    /// Fills the path fields from the library's full path: directory up to and including the
    /// last "/" or "\\", file name after it, extension after the file name's last "." (empty
    /// when there is no dot or the dot is last).
    void set_path(const std::string& fullPath);

    std::uint64_t ref_count() const noexcept { return m_refCount; }
    const std::string& module_name() const noexcept { return m_moduleName; }
    const std::string& full_path() const noexcept { return m_fullPath; }
    const std::string& directory() const noexcept { return m_directory; }
    const std::string& file_name() const noexcept { return m_fileName; }
    const std::string& extension() const noexcept { return m_extension; }
    /// True exactly while the global services are up.
    bool services_up() const noexcept { return m_services != nullptr; }

    struct TServicesMarker {};

private:
    KrModule_Initializer() = default;
    KrModule_Initializer(const KrModule_Initializer&) = delete;
    KrModule_Initializer& operator=(const KrModule_Initializer&) = delete;

    std::uint64_t m_refCount = 0;
    std::string m_moduleName = "KrStd";
    std::string m_fullPath;
    std::string m_directory;
    std::string m_fileName;
    std::string m_extension = "so";
    std::unique_ptr<TServicesMarker> m_services;
};
