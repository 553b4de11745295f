// Mapped file ranges that read as zeros, instead of killing the process, when the file shrinks.
#include "XIni/KrMapGuard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace KrXIniInternal {

namespace {

// Few documents are mapped at once; a fixed table keeps the signal handler free of locks.
constexpr int kSlots = 64;

struct TSlot {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> damaged{false};
    std::atomic<bool> taken{false};
};

TSlot g_slots[kSlots];
struct sigaction g_previous {};
std::once_flag g_installed;

void OnBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (TSlot& slot : g_slots) {
        const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        if (address < begin || address >= slot.end.load(std::memory_order_acquire)) continue;
        // Only the faulting page is replaced: pages already copied on write keep their bytes.
        const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        void* at = reinterpret_cast<void*>(address / page * page);
        if (mmap(at, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED) {
            slot.damaged.store(true, std::memory_order_release);
            return; // the access is retried and now reads zeros
        }
        break;
    }
    if ((g_previous.sa_flags & SA_SIGINFO) && g_previous.sa_sigaction) {
        g_previous.sa_sigaction(signal, info, context);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
    } else {
        // Back to what was there; returning repeats the fault, which then takes its usual course.
        sigaction(SIGBUS, &g_previous, nullptr);
    }
}

void Install() {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &g_previous);
}

} // namespace

int KrMapGuardAdd(void* begin, std::size_t length) noexcept {
    try {
        std::call_once(g_installed, Install);
    } catch (...) {
        return -1;
    }
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!g_slots[i].taken.compare_exchange_strong(expected, true)) continue;
        const auto from = reinterpret_cast<std::uintptr_t>(begin);
        g_slots[i].damaged.store(false);
        g_slots[i].end.store(from + length, std::memory_order_release);
        g_slots[i].begin.store(from, std::memory_order_release);
        return i;
    }
    return -1;
}

void KrMapGuardRemove(int slot) noexcept {
    if (slot < 0 || slot >= kSlots) return;
    g_slots[slot].begin.store(0, std::memory_order_release);
    g_slots[slot].end.store(0, std::memory_order_release);
    g_slots[slot].taken.store(false, std::memory_order_release);
}

bool KrMapGuardDamaged(int slot) noexcept {
    return slot >= 0 && slot < kSlots && g_slots[slot].damaged.load(std::memory_order_acquire);
}

} // namespace KrXIniInternal
