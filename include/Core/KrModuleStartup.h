// The library's exported entry points that start and stop its services, and what they ran.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrModule.h"

#include <string>
#include <vector>

/// Starts the library's services on the first call; later calls only count.
KRSTD_EXTERN_C KRSTD_API void Init_KrStd();
/// Stops them when the last matching Init_KrStd is undone; unmatched calls are ignored.
KRSTD_EXTERN_C KRSTD_API void Deinit_KrStd();

/// Every start-up step name, in start-up order; steps whose service this build does not carry
/// yet are marked with a trailing " (slot)".
KRSTD_API std::vector<std::string> KrGetStartupSteps();
/// Names of the start-up steps that ran and have not been torn down, in start-up order.
KRSTD_API std::vector<std::string> KrGetStartedServices();
