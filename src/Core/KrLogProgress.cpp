// The console progress window: a show counter and root handlers over fresh console forms.
#include "Core/KrLogProgress.h"
#include "Core/KrBaseProgress.h"
#include "Core/KrCommonProgressImpl.h"

namespace {

/// A form and its root handler in one allocation, so one var_a keeps both.
struct TFormAndRoot {
    explicit TFormAndRoot(var_a<TKrConsoleProgressForm*> f)
        : form(std::move(f)), root(form.get(), 0, 0, nullptr, KrProgressTickMs(), 0.0, 1.0, 3) {}
    var_a<TKrConsoleProgressForm*> form;
    TKrCommonProgressImpl<TKrConsoleProgressForm> root;
};

class TKrConsoleLogProgress final : public TKrLogProgress {
public:
    void HookLog() override {}
    void UnhookLog() override {}
    void ClearMessages() override {}
    bool HaveImportantMessages() override { return false; }
    void ModalShow() override { ++m_shown; }
    void ModalHide() override { --m_shown; }
    bool Visible() override { return m_shown != 0; }
    var_a<TKrProgressHandler*> CreateProgress() override {
        var_a<TFormAndRoot*> both = new_a<TFormAndRoot>(GetConsoleProgressForm());
        return var_a<TKrProgressHandler*>(both.item(), &both->root);
    }
    void WaitOK(bool) override {}
    void SetProgressControl(TKrProgressControl*) override {}

private:
    int m_shown = 0;
};

} // namespace

TKrLogProgress::~TKrLogProgress() = default;

var_a<TKrLogProgress*> KrConsoleLogProgress() {
    return new_a<TKrConsoleLogProgress>();
}

var_a<TKrConsoleProgressForm*> GetConsoleProgressForm() {
    return new_a<TKrConsoleProgressForm>();
}
