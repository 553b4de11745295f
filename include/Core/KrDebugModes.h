// Module debug modes: a process-wide store of named integer switches behind an installable handler.
#pragma once

#include "Core/KrExport.h"

/// Keeps the modes. The built-in handler is a map from name to mode; a client may install its own.
class KRSTD_API TKrMagicFeaturesHandlers {
public:
    virtual int GetMode(const char* name, int def) = 0;
    /// Stores `mode` under `name`, or forgets the name when `mode` equals `def`.
    virtual void SetMode(const char* name, int mode, int def) = 0;

protected:
    ~TKrMagicFeaturesHandlers() = default;
};

/// Installs `h` (null: the built-in handler) and returns the handler it replaces.
KRSTD_API TKrMagicFeaturesHandlers* KrMagicFeaturesSetHandlers(TKrMagicFeaturesHandlers* h);

// A null or empty name stands for "Global".
KRSTD_API int KrModuleDebugMode(const char* name);
KRSTD_API int KrModuleDebugMode(const char* name, int def);
KRSTD_API void KrSetModuleDebugMode(const char* name, int mode);
KRSTD_API void KrSetModuleDebugMode(const char* name, int mode, int def);
/// Always false on this platform.
KRSTD_API bool KrMagicKeyDown();
