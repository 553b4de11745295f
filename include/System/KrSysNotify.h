// Last-resort notifications without a GUI of our own: a message box, a console beep, powering off.
#pragma once

#include "Core/KrExport.h"

#include <string>

/// Shows a message box and returns when it is closed. Failures are ignored.
using TKrSysMsgDialogHook = void (*)(const std::string& text, const std::string& title, bool isError);

/// Installs the hook KrDisplaySysMsgDialog calls and returns the previous one; null reinstalls
/// KrDefaultSysMsgDialog. Meant to be set at start-up (no lock).
KRSTD_API TKrSysMsgDialogHook KrSetSysMsgDialogHook(TKrSysMsgDialogHook hook);
/// Shows `text` under `title` as an error or an information through the installed hook.
KRSTD_API void KrDisplaySysMsgDialog(const std::string& text, const std::string& title, bool isError);
/// The built-in hook: runs the desktop's `zenity` (--error or --info, --text=, --title=,
/// --width=700, --height=300) and waits for it when it is on the PATH; otherwise writes
/// "title: text" to standard error, and errors to the system log as well.
KRSTD_API void KrDefaultSysMsgDialog(const std::string& text, const std::string& title, bool isError);

/// Sounds the console speaker at `frequencyHz` for `durationMs` (blocking). Returns at once when
/// the console device cannot be opened for writing or the frequency is 0.
KRSTD_API void KrBeep(unsigned frequencyHz, unsigned durationMs);

namespace TE_KrPowerRequest {
enum TKrPowerRequest : int { prSoftOff = 0, prHibernate = 1 };
} // namespace TE_KrPowerRequest
using TKrPowerRequest = TE_KrPowerRequest::TKrPowerRequest;

/// Carries out a power request; returns only when it failed or was not carried out.
using TKrPowerHook = void (*)(TKrPowerRequest request);
/// Installs the hook the power functions call and returns the previous one; null reinstalls
/// KrPowerLogRequest. An application allowed to power the machine off installs
/// KrPowerKernelRequest.
KRSTD_API TKrPowerHook KrSetPowerHook(TKrPowerHook hook);
/// Powers the machine off, respectively suspends it to disk, through the installed hook.
KRSTD_API void KrPower_SoftOff();
KRSTD_API void KrPower_Hibernate();
/// The built-in hook: flushes the file systems and reports the request on standard error and in
/// the log instead of carrying it out, so that a library call never takes a shared machine down.
KRSTD_API void KrPowerLogRequest(TKrPowerRequest request);
/// The real request: becomes the superuser where the program may (set-user-id installs), flushes
/// the file systems and asks the kernel to power off or suspend to disk. Does not return when
/// the kernel complies.
KRSTD_API void KrPowerKernelRequest(TKrPowerRequest request);
