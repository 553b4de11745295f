// Fault injection into module start-up, for the library's own tests.
#pragma once

#include "Core/KrExport.h"

namespace KrModuleInternal {
/// Makes the step named `step` throw on its next start-up (null: no fault). For failure tests.
KRSTD_TEST_API void InjectStartupFault(const char* step);
} // namespace KrModuleInternal
