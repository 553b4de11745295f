// Services that higher layers lend the module object at start-up.
#pragma once

#include <string>

namespace KrModuleHooks {
/// Finds the text `id` of `module`: true and *text set when there is one.
using TResourceLookup = bool (*)(const std::string& module, const std::string& id, const std::string** text);
/// Installs the lookup behind KrModule_Initializer::get_resource_string (null: texts are empty).
void SetResourceLookup(TResourceLookup lookup) noexcept;
} // namespace KrModuleHooks
