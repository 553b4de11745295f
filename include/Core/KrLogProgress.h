// TKrLogProgress: the progress window interface, and the console implementation of it.
#pragma once

#include "Core/KrConsoleProgressForm.h"
#include "Core/KrExport.h"
#include "Core/KrProgressHandler.h"
#include "Core/KrVarA.h"

class TKrProgressControl;

/// A progress window: shows the progress of handlers it creates and, when hooked, the log.
class KRSTD_API TKrLogProgress {
public:
    virtual ~TKrLogProgress();
    /// Starts showing log records.
    virtual void HookLog() = 0;
    virtual void UnhookLog() = 0;
    virtual void ClearMessages() = 0;
    /// True when records were shown that the user should read before the window goes.
    virtual bool HaveImportantMessages() = 0;
    virtual void ModalShow() = 0;
    virtual void ModalHide() = 0;
    virtual bool Visible() = 0;
    /// A root handler (level 0, range 0..1) over a new form; the value keeps both alive.
    virtual var_a<TKrProgressHandler*> CreateProgress() = 0;
    /// Lets the user read the window; `wait` asks to wait for the user's confirmation.
    virtual void WaitOK(bool wait) = 0;
    virtual void SetProgressControl(TKrProgressControl* control) = 0;
};

/// The console window: progress goes only to the log ("Progress" records of levels with a log
/// level of at most 3); hooks, messages and waiting do nothing. Show and hide are counted:
/// Visible() is true while more shows than hides were made. A new window on every call.
KRSTD_API var_a<TKrLogProgress*> KrConsoleLogProgress();

/// A new console form on every call.
KRSTD_API var_a<TKrConsoleProgressForm*> GetConsoleProgressForm();
