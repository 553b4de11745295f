// The module object of libKrStd: reference count, the library's file, resource texts by id.
#include "Core/KrModule.h"
#include "Core/KrModuleHooks.h"

#include <atomic>

namespace {
// Installed by the language layer at start-up; until then identifier texts are empty.
std::atomic<KrModuleHooks::TResourceLookup> g_resourceLookup{nullptr};

const std::string* LookUp(const std::string& module, const std::string& id) {
    const KrModuleHooks::TResourceLookup lookup = g_resourceLookup.load(std::memory_order_acquire);
    const std::string* text = nullptr;
    return lookup && lookup(module, id, &text) ? text : nullptr;
}
} // namespace

void KrModuleHooks::SetResourceLookup(TResourceLookup lookup) noexcept {
    g_resourceLookup.store(lookup, std::memory_order_release);
}

KrModule_Initializer& KrModule_Initializer::instance() {
    static KrModule_Initializer module;
    return module;
}

void KrModule_Initializer::set_path(const std::string& fullPath) {
    m_fullPath = fullPath;
    std::size_t sep = fullPath.find_last_of("/\\");
    std::size_t p = sep == std::string::npos ? 0 : sep + 1;
    m_directory = fullPath.substr(0, p);
    m_fileName = fullPath.substr(p);
    std::size_t dot = m_fileName.rfind('.');
    m_extension =
        dot == std::string::npos || dot + 1 == m_fileName.size() ? std::string() : m_fileName.substr(dot + 1);
}

std::string KrModule_Initializer::get_resource_string(const std::string& id) const {
    const std::string* text = LookUp(m_moduleName, id);
    return text ? *text : std::string();
}

std::string KrModule_Initializer::get_resource_string(const std::string& id, const std::string& def) const {
    const std::string* text = LookUp(m_moduleName, id);
    return text ? *text : def;
}
