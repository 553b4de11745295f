// Console progress: the level form and its log records, the common handler's level lending and
// thresholds, the simple console progress, the progress window, and the terminal bar.
#include "Core/KrCmdProgress.h"
#include "Core/KrCommonProgressImpl.h"
#include "Core/KrConsoleProgressForm.h"
#include "Core/KrLog.h"
#include "Core/KrLogProgress.h"
#include "Core/KrMessage.h"
#include "Core/KrModuleStartup.h"
#include "Core/KrSimpleConsoleProgress.h"
#include "Streams/KrStringStream.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <thread>

namespace {

std::size_t Count(const std::string& text, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1))
        ++n;
    return n;
}

/// The library started (for the language texts) and the log captured in a string.
class ConsoleProgress : public ::testing::Test {
protected:
    void SetUp() override {
        Init_KrStd();
        KrLogSetLogV(m_log);
    }
    void TearDown() override {
        KrLogSetLogV(var_a<TKrStream*>());
        Deinit_KrStd();
    }
    std::string Log() const { return m_log->str(); }

    var_a<TKrStringStream*> m_log = new_a<TKrStringStream>();
};

using TConsoleImpl = TKrCommonProgressImpl<TKrConsoleProgressForm>;

var_a<TConsoleImpl*> Root(TKrConsoleProgressForm& form) {
    return new_a<TConsoleImpl>(&form, 0, 0, nullptr, KrProgressTickMs(), 0.0, 1.0, 3);
}

} // namespace

TEST_F(ConsoleProgress, LevelsLogStartAndEndOnlyUpToLogLevelThree) {
    TKrConsoleProgressForm form;
    form.SetMessage(0, "job");
    form.Start(0, 3, false);
    form.SetMessage(1, "quiet");
    form.Start(1, 4, false);
    form.End(1);
    EXPECT_EQ(Log().find("quiet"), std::string::npos);
    form.End(0);
    EXPECT_EQ(Count(Log(), "\tI3\tProgress\tProgress 0 started: job\n"), 1u) << Log();
    EXPECT_EQ(Count(Log(), "\tI3\tProgress\tProgress 0 finished: job (0:00:00.0)\n"), 1u) << Log();
    EXPECT_EQ(Count(Log(), "\n"), 4u); // two records

    // Starting a level drops those above it; ending one drops it and those above.
    form.SetMessage(3, "deep");
    EXPECT_EQ(form.GetInnermostProgressLevel(), 3u);
    form.Start(1, 5, false);
    EXPECT_EQ(form.GetInnermostProgressLevel(), 1u);
    EXPECT_EQ(form.GetMessage(7), "");
    EXPECT_EQ(form.Levels().size(), 2u); // asking did not create level 7
    form.End(0);
    EXPECT_TRUE(form.Levels().empty());
    EXPECT_EQ(form.GetInnermostProgressLevel(), 0u);
}

TEST(ConsoleProgressForm, ElapsedTimeRendering) {
    EXPECT_EQ(TKrConsoleProgressForm::FormatElapsed(3725.04), "1:02:05.0");
    EXPECT_EQ(TKrConsoleProgressForm::FormatElapsed(3599.96), "1:00:00.0");
    EXPECT_EQ(TKrConsoleProgressForm::FormatElapsed(0.05), "0:00:00.1");
    EXPECT_EQ(TKrConsoleProgressForm::FormatElapsed(999 * 3600.0 + 59 * 60 + 59.9), "999:59:59.9");
    EXPECT_EQ(TKrConsoleProgressForm::FormatElapsed(1000 * 3600.0), ">999:59:59.9");
}

TEST_F(ConsoleProgress, UserBreakThrowsTheBreakMessage) {
    TKrConsoleProgressForm form;
    auto root = Root(form);
    EXPECT_FALSE(root->UserBreak());
    root->UserBreakE();
    form.SetUserBreak(true);
    EXPECT_TRUE(root->UserBreak());
    try {
        root->UserBreakE();
        FAIL() << "no exception";
    } catch (const TKrMessage& m) {
        EXPECT_EQ(m.std_str(), "Cancelled by the user.");
    }
}

TEST_F(ConsoleProgress, UnstartedHandlerLendsItsLevelToTheFirstChild) {
    TKrConsoleProgressForm form;
    auto root = Root(form);
    {
        var_a<TKrProgressHandler*> child = root->SubProgress(0.0, 1.0, 3, 3);
        child->SetMessage("lent");
        child->Start();
        EXPECT_EQ(form.GetMessage(0), "lent");
        EXPECT_EQ(form.Levels().size(), 1u);
        child->SetPosNB(0.5);
        EXPECT_DOUBLE_EQ(form.GetPos(0), 0.5);
        child->Stop();
    }
    EXPECT_NE(Log().find("Progress 0 started: lent"), std::string::npos);
    EXPECT_EQ(root->GetMode(), 1);
    root->Stop(); // gives the level back to its owner
    EXPECT_EQ(root->GetMode(), 0);
    EXPECT_EQ(root->GetLevel(), 0u);

    TKrConsoleProgressForm used;
    auto written = Root(used);
    written->SetMessage("mine");
    try {
        written->SubProgress(0.0, 1.0, 3, 3);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(),
                     "@TKrCommonProgressImpl<T>::SubProgress(): SubProgress() called before Start(), "
                     "but the FForm has already been used.");
    }
}

TEST_F(ConsoleProgress, ChildThresholdsDecideWhatTheFormShows) {
    TKrConsoleProgressForm form;
    auto root = Root(form);
    root->SetMessage("root");
    root->Start();
    {
        // Level 4: no level of its own, but its positions move the parent.
        var_a<TKrProgressHandler*> hidden = root->SubProgress(0.5, 1.0, 4, 4);
        hidden->Start();
        hidden->SetMessage("invisible");
        hidden->SetPosNB(0.5);
        EXPECT_EQ(form.Levels().size(), 1u);
        EXPECT_DOUBLE_EQ(form.GetPos(0), 0.75);
        EXPECT_EQ(hidden->GetMessage(), "");
        hidden->Stop(); // within the update timeout: the end is not reported
        EXPECT_DOUBLE_EQ(form.GetPos(0), 0.75);
    }
    {
        // Level 5 makes a mode-2 child: its children show only when they are important (<= 1).
        var_a<TKrProgressHandler*> quiet = root->SubProgress(0.0, 1.0, 5, 5);
        quiet->Start();
        var_a<TKrProgressHandler*> ordinary = quiet->SubProgress(0.0, 1.0, 3, 3);
        ordinary->Start();
        EXPECT_EQ(form.Levels().size(), 1u);
        var_a<TKrProgressHandler*> important = quiet->SubProgress(0.0, 1.0, 1, 3);
        important->SetMessage("important");
        important->Start();
        EXPECT_EQ(form.Levels().size(), 2u);
        EXPECT_EQ(form.GetMessage(1), "important");
    }
    EXPECT_EQ(form.Levels().size(), 1u); // the important child ended its level when released
    {
        // The innermost child keeps every position where it is.
        root->SetPosNB(0.25);
        var_a<TKrProgressHandler*> inner = root->InnermostSubProgress(3, 3);
        inner->Start();
        inner->SetPosNB(0.9);
        EXPECT_DOUBLE_EQ(form.GetPos(0), 0.25);
        EXPECT_EQ(form.Levels().size(), 2u);
    }
}

TEST_F(ConsoleProgress, MoveWithinTheUpdateTimeoutOnlyAccumulates) {
    TKrConsoleProgressForm form;
    auto root = Root(form);
    root->Start();
    EXPECT_FALSE(root->MoveNB(0.1, false));
    EXPECT_FALSE(root->MoveNB(0.1, false));
    EXPECT_DOUBLE_EQ(form.GetPos(0), 0.0);
    EXPECT_DOUBLE_EQ(root->GetPos(), 0.2);
    EXPECT_TRUE(root->MoveNB(0.1, true));
    EXPECT_DOUBLE_EQ(form.GetPos(0), 0.30000000000000004);
    std::this_thread::sleep_for(std::chrono::milliseconds(110));
    EXPECT_TRUE(root->Timeout());
    EXPECT_TRUE(root->MoveNB(0.1, false));
    EXPECT_DOUBLE_EQ(form.GetPos(0), 0.4);
}

TEST(SimpleConsoleProgress, PrintsOneCharacterPerReport) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        TSimpleConsoleProgress p(out);
        p.Start();
        p.SetPosNB(0.0);
        p.SetPosNB(0.5);
        p.SetPosNB(1.0);
        p.SetPosNB(7.0);
        p.Tick();
        EXPECT_FALSE(p.MoveNB(0.1, false));
        var_a<TKrProgressHandler*> sub = p.SubProgress(0.0, 0.5, 3, 3);
        sub->SetPosNB(1.0); // reaches the parent as 0.5
        p.Stop();
    }
    std::rewind(out);
    char buf[16] = {};
    const std::size_t n = std::fread(buf, 1, sizeof buf, out);
    std::fclose(out);
    EXPECT_EQ(std::string(buf, n), "_\xB1\xDB\xDB*\xB1");
}

TEST_F(ConsoleProgress, ConsoleWindowCountsShowsAndKeepsFormWithRoot) {
    var_a<TKrLogProgress*> window = KrConsoleLogProgress();
    EXPECT_FALSE(window->Visible());
    window->ModalShow();
    window->ModalShow();
    window->ModalHide();
    EXPECT_TRUE(window->Visible());
    window->ModalHide();
    EXPECT_FALSE(window->Visible());
    EXPECT_FALSE(window->HaveImportantMessages());

    var_a<TKrProgressHandler*> root = window->CreateProgress();
    window.reset();
    root->SetMessage("window job");
    root->Start();
    var_a<TKrProgressHandler*> child = root->SubProgress(0.0, 0.5, 3, 3);
    child->SetMessage("step");
    child->Start();
    child.reset();
    root->Stop();
    EXPECT_EQ(Count(Log(), "Progress 0 started: window job"), 1u);
    EXPECT_EQ(Count(Log(), "Progress 1 finished: step ("), 1u);
    EXPECT_EQ(Count(Log(), "Progress 0 finished: window job ("), 1u);
}

TEST_F(ConsoleProgress, BatchOutputIsPlainLines) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        TKrCmdProgressImpl root(out);
        EXPECT_FALSE(root.IsInteractive());
        root.SetMessage("pack");
        root.Start();
        TKrCmdSubProgress sub(&root, 0.0, 0.5, 3, 3);
        sub.Handler()->SetMessage("first");
        sub.Handler()->Start();
        sub.Handler()->SetPosNB(0.5);
        root.PrintLine("note");
        sub.Handler()->Stop();
        root.Stop();
    }
    std::rewind(out);
    std::string text(4096, '\0');
    text.resize(std::fread(&text[0], 1, text.size(), out));
    std::fclose(out);
    EXPECT_EQ(text.find_first_of("\r\033"), std::string::npos);
    const std::regex lines(
        "pack\n  first\nnote\n  first: done \\(0:00:00\\.[0-9]\\)\npack: done \\(0:00:00\\.[0-9]\\)\n");
    EXPECT_TRUE(std::regex_match(text, lines)) << text;

    TKrCmdSubProgress none(nullptr, 0.0, 1.0);
    EXPECT_EQ(none.Handler(), nullptr);
    EXPECT_FALSE(none.UserBreak());
    none.UserBreakE();
    none.MakeBatch();
    MakeInteractive(static_cast<TKrCmdProgressImpl*>(nullptr));
    WaitOK(static_cast<TKrCmdSubProgress*>(nullptr), true);
}

TEST_F(ConsoleProgress, TerminalBarRedrawsInPlaceAndMessagesDoNotTearIt) {
    int master = -1, slave = -1;
    struct winsize ws {};
    ws.ws_col = 60;
    ws.ws_row = 20;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, &ws), 0);
    std::FILE* out = fdopen(slave, "w");
    ASSERT_NE(out, nullptr);
    {
        TKrCmdProgressImpl root(out);
        ASSERT_TRUE(root.IsInteractive());
        root.HookLog();
        root.SetMessage("pack");
        root.Start();
        TKrCmdSubProgress sub(&root, 0.0, 0.5, 3, 3);
        sub.Handler()->SetMessage("a rather long file name that cannot fit in sixty columns at all.dat");
        sub.Handler()->Start();
        sub.Handler()->SetPosNB(0.5);
        std::this_thread::sleep_for(std::chrono::milliseconds(110));
        sub.Handler()->SetPosNB(1.0);
        KrLogWriteWarning(std::string("disk almost full"));
        sub.Handler()->Stop();
        root.Stop();
    }
    std::fclose(out);
    std::string text;
    char buf[4096];
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(master);

    // Bars are drawn over each other with a carriage return and never wrap the 60 columns.
    EXPECT_NE(text.find("\r[------------------------]   0% pack"), std::string::npos) << text;
    EXPECT_NE(text.find("\r[######------------------]  25% pack > a rather"), std::string::npos) << text;
    EXPECT_NE(text.find("\r[############------------]  50% pack > a rather"), std::string::npos) << text;
    std::size_t start = 0;
    for (std::size_t cr; (cr = text.find('\r', start)) != std::string::npos; start = cr + 1) {
        const std::size_t end = text.find_first_of("\r\033", cr + 1);
        EXPECT_LT(text.substr(cr + 1, end - cr - 1).size(), 60u);
    }
    // The warning stands on a cleared line of its own, and the bar comes back after it.
    const std::size_t warning = text.find("\r\033[Kwarning: disk almost full\r\n\r[");
    EXPECT_NE(warning, std::string::npos) << text;
    // The last line is clean: the bar erased, then the summary.
    const std::string tail = text.substr(text.rfind("\r\033[K"));
    EXPECT_TRUE(std::regex_match(tail, std::regex("\r\033\\[Kpack: done \\(0:00:00\\.[0-9]\\)\r\n"))) << tail;
}
