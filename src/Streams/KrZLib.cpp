// Reference-counted start-up check of the system zlib.
#include "Streams/KrZLib.h"
#include "Core/KrMessage.h"

#include <atomic>
#include <zlib.h>

namespace {
std::atomic<int> g_users{0};
}

void Init_KrZLib() {
    // zlib keeps no global state; what can go wrong is a library of another major version.
    const char* runtime = zlibVersion();
    if (!runtime || runtime[0] != ZLIB_VERSION[0])
        throw TKrMessage("@Init_KrZLib(): zlib %1% found, %2% expected.")
            << (runtime ? runtime : "?") << ZLIB_VERSION;
    g_users.fetch_add(1);
}

void Deinit_KrZLib() {
    int users = g_users.load();
    while (users > 0 && !g_users.compare_exchange_weak(users, users - 1)) {
    }
}

int KrZLibInitCount() {
    return g_users.load();
}
