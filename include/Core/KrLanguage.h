// Language-text lookup by module and identifier.
#pragma once

#include "Core/KrExport.h"

#include <string>

/// Looks `id` up in the texts of `module` for the current language chain. On success stores a
/// pointer to the cached text (valid until the next language change) and returns true.
KRSTD_API bool LoadResString(const std::string& module, const std::string& id, const std::string** out);
/// The text of `id` in `module`, or an empty string.
KRSTD_API std::string LoadResString(const std::string& module, const std::string& id);
