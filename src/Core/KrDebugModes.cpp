// The built-in debug-mode handler and the free functions that reach the installed one.
#include "Core/KrDebugModes.h"

#include <map>
#include <mutex>
#include <string>

namespace {
class TBuiltInModes final : public TKrMagicFeaturesHandlers {
public:
    int GetMode(const char* name, int def) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_modes.find(name);
        return it == m_modes.end() ? def : it->second;
    }
    void SetMode(const char* name, int mode, int def) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (mode != def)
            m_modes[name] = mode;
        else
            m_modes.erase(name);
    }

private:
    std::mutex m_mutex;
    std::map<std::string, int> m_modes;
};

TBuiltInModes& BuiltIn() {
    static TBuiltInModes modes;
    return modes;
}
TKrMagicFeaturesHandlers*& Installed() {
    static TKrMagicFeaturesHandlers* handler = &BuiltIn();
    return handler;
}
const char* Key(const char* name) {
    return name && *name ? name : "Global";
}
} // namespace

TKrMagicFeaturesHandlers* KrMagicFeaturesSetHandlers(TKrMagicFeaturesHandlers* h) {
    TKrMagicFeaturesHandlers* previous = Installed();
    Installed() = h ? h : &BuiltIn();
    return previous;
}

int KrModuleDebugMode(const char* name) {
    return Installed()->GetMode(Key(name), 0);
}
int KrModuleDebugMode(const char* name, int def) {
    return Installed()->GetMode(Key(name), def);
}
void KrSetModuleDebugMode(const char* name, int mode) {
    Installed()->SetMode(Key(name), mode, 0);
}
void KrSetModuleDebugMode(const char* name, int mode, int def) {
    Installed()->SetMode(Key(name), mode, def);
}
bool KrMagicKeyDown() {
    return false;
}
