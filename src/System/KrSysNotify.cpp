// Message boxes through zenity or the console, the console speaker, and power requests.
#include "System/KrSysNotify.h"

#include "Core/KrLog.h"
#include "Core/KrSysLog.h"
#include "System/KrProcess.h"
#include "System/KrSysTime.h"

#include <QStandardPaths>
#include <QString>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <linux/kd.h>
#include <sys/ioctl.h>
#include <sys/reboot.h>
#include <unistd.h>

namespace {
std::atomic<TKrSysMsgDialogHook> g_dialogHook{&KrDefaultSysMsgDialog};
std::atomic<TKrPowerHook> g_powerHook{&KrPowerLogRequest};

const char* RequestName(TKrPowerRequest request) {
    return request == TE_KrPowerRequest::prHibernate ? "hibernate" : "power off";
}
} // namespace

TKrSysMsgDialogHook KrSetSysMsgDialogHook(TKrSysMsgDialogHook hook) {
    return g_dialogHook.exchange(hook ? hook : &KrDefaultSysMsgDialog);
}

void KrDisplaySysMsgDialog(const std::string& text, const std::string& title, bool isError) {
    try {
        g_dialogHook.load()(text, title, isError);
    } catch (...) {
    }
}

void KrDefaultSysMsgDialog(const std::string& text, const std::string& title, bool isError) {
    const QString zenity = QStandardPaths::findExecutable(QStringLiteral("zenity"));
    if (!zenity.isEmpty()) {
        const std::vector<std::string> args = {isError ? "--error" : "--info", "--text=" + text,
                                               "--title=" + title, "--width=700", "--height=300"};
        // zenity ends with 1 when the box is closed by its window button: not a failure here.
        KrExecSyncProcess(TKrPath(zenity), args, TKrPath(), 0);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
    if (isError) KrSysLogError(title.empty() ? text : title + ": " + text, title);
}

void KrBeep(unsigned frequencyHz, unsigned durationMs) {
    if (frequencyHz == 0) return;
    const int fd = ::open("/dev/console", O_WRONLY | O_CLOEXEC);
    if (fd < 0) return;
    // The speaker's timer runs at 1193180 Hz; the argument is its divisor (0 stops the tone).
    (void)::ioctl(fd, KIOCSOUND, static_cast<unsigned long>(1193180 / frequencyHz));
    KrSleep(durationMs);
    (void)::ioctl(fd, KIOCSOUND, 0UL);
    ::close(fd);
}

TKrPowerHook KrSetPowerHook(TKrPowerHook hook) {
    return g_powerHook.exchange(hook ? hook : &KrPowerLogRequest);
}

void KrPower_SoftOff() {
    g_powerHook.load()(TE_KrPowerRequest::prSoftOff);
}

void KrPower_Hibernate() {
    g_powerHook.load()(TE_KrPowerRequest::prHibernate);
}

void KrPowerLogRequest(TKrPowerRequest request) {
    ::sync();
    const std::string text = std::string("Request to ") + RequestName(request) +
                             " the machine (not carried out: no power hook installed).";
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    try {
        KrLogWriteWarning("KrSysNotify", text);
    } catch (...) {
    }
}

void KrPowerKernelRequest(TKrPowerRequest request) {
    // Succeeds only for set-user-id programs owned by root; otherwise the kernel's own check
    // refuses the request below.
    [[maybe_unused]] const int becameRoot = ::setuid(0);
    ::sync();
    ::reboot(request == TE_KrPowerRequest::prHibernate ? RB_SW_SUSPEND : RB_POWER_OFF);
}
