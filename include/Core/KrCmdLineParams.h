// TKrCmdLineParams: named options of the process's own command line.
#pragma once

#include "Core/KrExport.h"

#include <string>
#include <vector>

/// Reads the command line the process was started with (from /proc/self/cmdline).
/// An option "--name" takes its value as "--name=value" or as the following argument.
class KRSTD_API TKrCmdLineParams {
public:
    /// The process's arguments, program name first.
    static std::vector<std::string> arguments();
    /// True when `name` (with its leading dashes, e.g. "--qt_logging_level") is present; its value
    /// (empty when none follows) is stored in `value` when given.
    static bool get(const std::string& name, std::string* value = nullptr);
    /// The same over a given argument list (program name first).
    static bool get(const std::vector<std::string>& args, const std::string& name, std::string* value);
};
