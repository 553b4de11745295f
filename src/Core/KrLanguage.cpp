// Language-text lookup. No language tables are loaded by this build yet, so every lookup misses
// and identifier messages format to empty texts; literal "@" texts are unaffected.
#include "Core/KrLanguage.h"

bool LoadResString(const std::string&, const std::string&, const std::string** out) {
    if (out) *out = nullptr;
    return false;
}

std::string LoadResString(const std::string& module, const std::string& id) {
    const std::string* text = nullptr;
    return LoadResString(module, id, &text) && text ? *text : std::string();
}
