// Introspection of module start-up for the library's own tests and tools.
#pragma once

#include "Core/KrExport.h"

#include <string>
#include <vector>

namespace KrModuleInternal {
/// Names of the start-up steps that ran and have not been torn down, in start-up order.
KRSTD_API std::vector<std::string> StartedServices();
/// Every start-up step name, in start-up order; steps whose service this build lacks are marked
/// with a trailing " (slot)".
KRSTD_API std::vector<std::string> ServiceSteps();
/// Makes the step named `step` throw on its next start-up (null: no fault). For failure tests.
KRSTD_API void InjectStartupFault(const char* step);
} // namespace KrModuleInternal
