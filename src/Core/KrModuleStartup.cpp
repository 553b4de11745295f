// Module start-up and tear-down of libKrStd: the one place that calls every layer's initialiser.
#include "Core/KrModuleStartup.h"
#include "Core/KrLanguageInternal.h"
#include "Core/KrLog.h"
#include "Core/KrMessage.h"
#include "Core/KrModuleInternal.h"
#include "Core/KrTimer.h"
#include "Math/Transforms/Kr2DTransform.h"
#include "Output/KrElevationPalette.h"
#include "Streams/KrURLManager.h"
#include "Streams/KrURLMemHandler.h"
#include "Streams/KrZLib.h"
#include "System/KrPersistentModules.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <exception>

namespace {

/// One service of the start-up sequence. `up` runs at start-up; `down` (noexcept) at tear-down,
/// in reverse order. A step with neither is a slot for a service this build does not carry yet.
struct TServiceStep {
    const char* name;
    void (*up)();
    void (*down)() noexcept;
};

void StartTimer() {
    (void)KrTimerBaseInstant();
}
void LogFinalize() noexcept {
    KrLogFinalize();
}
void URLManagerDeInit() noexcept {
    TKrURLManager::DeInit();
}
// The process-wide memory tree lives in a static handler; the registry holds it non-owning.
void RegisterMemScheme() {
    TKrURLMemHandler& mem = TKrURLMemHandler::Global();
    mem.Init();
    TKrURLManager::Instance().RegisterSchemeHandler("mem", static_a_legacy<TKrURLHandler>(&mem));
}
void UnregisterMemScheme() noexcept {
    TKrURLManager& manager = TKrURLManager::Instance();
    if (manager.IsSchemeRegistered("mem")) manager.UnregisterSchemeHandler("mem");
    TKrURLMemHandler::Global().Clear();
}

// The start-up order; the tear-down walks it backwards.
const TServiceStep kServices[] = {
    {"monotonic timer", &StartTimer, nullptr},
    {"persistent modules", &InitializePersistentModuleStorage, &FinalizePersistentModuleStorage},
    {"transform serializers", &U_InitTransforms_Initialize, &U_InitTransforms_Finalize},
    {"log", &KrLogInitialize, &LogFinalize},
    {"URL manager", &TKrURLManager::Init, &URLManagerDeInit},
    {"mem scheme", &RegisterMemScheme, &UnregisterMemScheme},
    // installs the text lookup of messages; nothing to undo: the chain stays until the next
    // language change
    {"default language", &KrLanguageInternal::StartUp, nullptr},
    {"elevation palettes", &TKrElevationPalette::Initialize, &TKrElevationPalette::Uninitialize},
};
constexpr std::size_t kServiceCount = sizeof(kServices) / sizeof(kServices[0]);

std::size_t g_started = 0;             // steps of kServices that are up
const char* g_injectedFault = nullptr; // test hook: a step that fails once

void RunStep(const TServiceStep& step) {
    if (g_injectedFault && std::strcmp(g_injectedFault, step.name) == 0) {
        g_injectedFault = nullptr;
        throw TKrMessage("@Init_KrStd(): injected failure in start-up step \"%1%\".") << step.name;
    }
    if (step.up) step.up();
}

void TearDownServices() noexcept {
    while (g_started > 0) {
        const TServiceStep& step = kServices[--g_started];
        if (step.down) step.down();
    }
}

std::string LibraryPath() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&Init_KrStd), &info) && info.dli_fname) return info.dli_fname;
    return std::string();
}

} // namespace

void KrModule_Initializer::init() {
    if (m_refCount != 0) {
        ++m_refCount;
        return;
    }
    Init_KrZLib();
    try {
        set_path(LibraryPath());
        auto marker = std::make_unique<TServicesMarker>();
        for (; g_started < kServiceCount; ++g_started)
            RunStep(kServices[g_started]);
        m_services = std::move(marker);
    } catch (...) {
        // Leave nothing half-started, so that the next Init_KrStd retries the whole start-up.
        TearDownServices();
        Deinit_KrZLib();
        throw;
    }
    m_refCount = 1;
}

void KrModule_Initializer::deinit() noexcept {
    if (m_refCount == 0) return;
    if (--m_refCount != 0) return;
    if (m_services) {
        TearDownServices();
        m_services.reset();
    }
    Deinit_KrZLib();
}

void Init_KrStd() {
    KrModule_Initializer::instance().init();
}

void Deinit_KrStd() {
    KrModule_Initializer::instance().deinit();
}

std::vector<std::string> KrGetStartedServices() {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < g_started; ++i)
        names.emplace_back(kServices[i].name);
    return names;
}
std::vector<std::string> KrGetStartupSteps() {
    std::vector<std::string> names;
    for (const TServiceStep& s : kServices)
        names.push_back(std::string(s.name) + (s.up || s.down ? "" : " (slot)"));
    return names;
}
void KrModuleInternal::InjectStartupFault(const char* step) {
    g_injectedFault = step;
}
