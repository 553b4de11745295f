// Progress reporting: range mapping, throttling, breaks, threads, splitting and callbacks.
#include "Core/KrBaseProgress.h"
#include "Core/KrCallbackProgress.h"
#include "Core/KrIterationsProgress.h"
#include "Core/KrMTProgress.h"
#include "Core/KrMessage.h"
#include "Core/KrProgress.h"
#include "Core/KrProgressSplitter.h"
#include "Core/KrThreadProgress.h"
#include "KrRecordingProgress.h"
#include "KrThrownText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <tuple>
#include <thread>
#include <vector>

namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

using TRecorder = krtest::TRecordingProgress;

TEST(TBaseProgress, SubRangesMapIntoTheParentAndClamp) {
    TRecorder root;
    auto sub = root.SubProgress(0.5, 0.75, 3, 3);
    sub->SetPosNB(0.5);
    EXPECT_DOUBLE_EQ(root.GetPos(), 0.625);
    sub->SetPosNB(2.0);
    EXPECT_DOUBLE_EQ(root.GetPos(), 1.0);
    auto inner = sub->SubProgress(0.0, 0.5, 3, 3);
    inner->SetPosNB(1.0);
    EXPECT_DOUBLE_EQ(root.GetPos(), 0.625);

    TBaseProgress reversed(&root, 0.8, 0.2); // no range: the parent stays at from
    reversed.SetPosNB(0.5);
    EXPECT_DOUBLE_EQ(root.GetPos(), 0.8);
}

TEST(TBaseProgress, MoveIsThrottledButAlwaysAdvances) {
    TRecorder root;
    TBaseProgress p(&root, 0, 1);
    EXPECT_TRUE(p.MoveNB(0.1, false)); // first report is never held back
    EXPECT_FALSE(p.MoveNB(0.1, false));
    EXPECT_DOUBLE_EQ(p.GetPos(), 0.2);
    EXPECT_EQ(root.positions.size(), 1u);
    EXPECT_TRUE(p.MoveNB(0.1, true));
    EXPECT_NEAR(root.positions.back(), 0.3, 1e-12);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_TRUE(p.Timeout());
    EXPECT_TRUE(p.MoveNB(5, false));
    EXPECT_DOUBLE_EQ(p.GetPos(), 1.0);
}

TEST(TBaseProgress, StartStopStateErrorsAndForwarding) {
    TRecorder root;
    TBaseProgress p(&root, 0, 1);
    EXPECT_THAT([&] { p.Stop(); },
                ThrowsMessage<TKrMessage>(StrEq("@TMTSubProgress::Stop: Progress Already stopped!")));
    p.Start();
    EXPECT_THAT([&] { p.Start(); },
                ThrowsMessage<TKrMessage>(StrEq("@TBaseProgress::Start: Progress Already started!")));
    EXPECT_THROW(p.StartIndefinite(), TKrMessage);
    p.Tick();
    p.ThreadTick();
    p.CheckBreak();
    EXPECT_EQ(std::make_tuple(root.ticks, root.threadTicks.load(), root.checks), std::make_tuple(1, 1, 1));
    root.breakWanted = true;
    EXPECT_TRUE(p.UserBreak());
    EXPECT_THROW(p.CheckBreak(), TKrMessage);
    p.Stop();
    EXPECT_DOUBLE_EQ(root.positions.back(), 1.0);
    EXPECT_FALSE(p.IsStarted());
}

TEST(TKrProgress, ScopedStartStopAndNeutralWithoutHandler) {
    TRecorder root;
    {
        TKrProgress scoped(&root, true);
        EXPECT_TRUE(root.IsStarted());
        EXPECT_TRUE(scoped.StartedHere());
    }
    EXPECT_FALSE(root.IsStarted());

    TKrProgress none;
    none.Start();
    none.SetPosNB(0.5);
    EXPECT_FALSE(none.IsStarted() || none.UserBreak() || none.GetOptions() || none.KrInterface());
    EXPECT_EQ(none.GetMessage(), "");
    EXPECT_FALSE(none.SubProgress(0, 1) || none.SubProgressIf(true, 0, 1));

    TKrProgress lazy(&root, false);
    auto same = lazy.SubProgressIf(false, 0.2, 0.4);
    EXPECT_EQ(std::make_pair(same.get(), same.use_count()),
              std::make_pair(static_cast<TKrProgressHandler*>(&root), 0L)); // not owned
    EXPECT_FALSE(root.IsStarted());
    auto sub = lazy.SubProgressIf(true, 0.2, 0.4);
    EXPECT_TRUE(root.IsStarted()); // started on demand
    sub->SetPosNB(0.5);
    EXPECT_DOUBLE_EQ(root.GetPos(), 0.3);
    lazy.release_callback();
    EXPECT_FALSE(root.IsStarted());
}

TEST(TKrProgressVar, OwnsAndStopsItsHandler) {
    auto handler = new_a<TBaseProgress>();
    {
        TKrProgressVar v(handler, true);
        EXPECT_EQ(handler.use_count(), 2);
        EXPECT_TRUE(handler->IsStarted());
        v.SetHandlerV(new_a<TBaseProgress>());
        EXPECT_FALSE(handler->IsStarted());
        v.Start();
    }
    EXPECT_EQ(handler.use_count(), 1);
}

TEST(TKrStepProgress, ReportsCountOverTotalAndTicksEveryStep) {
    TRecorder root;
    TKrStepProgress steps(&root);
    steps.Start(4);
    EXPECT_TRUE(root.IsStarted());
    steps.Next(); // first report goes through
    steps.Next(); // throttled: tick only
    steps.NextEvent();
    EXPECT_EQ(std::make_pair(root.ticks, root.checks), std::make_pair(3, 2));
    EXPECT_EQ(root.positions, (std::vector<double>{0.25, 0.75}));
    steps.Stop();
    EXPECT_FALSE(root.IsStarted());

    TKrStepProgress nothing(nullptr);
    nothing.Start(3);
    nothing.Next();
    EXPECT_EQ(nothing.Count(), 1u);
}

TEST(CreateFastProgress, MapsWithoutStartingTheTarget) {
    TRecorder root;
    EXPECT_FALSE(CreateFastProgress(nullptr, 0, 1));
    auto fast = CreateFastProgress(&root, 0.2, 0.6);
    fast->Start();
    EXPECT_FALSE(root.IsStarted());
    EXPECT_DOUBLE_EQ(root.positions.front(), 0.2);
    fast->SetPosNB(0.5);
    EXPECT_DOUBLE_EQ(root.GetPos(), 0.4);
    auto owned = new_a<TRecorder>();
    auto fastV = CreateFastProgressV(owned, 0, 0.5);
    owned.reset(); // the fast progress keeps the target alive
    fastV->SetPosNB(1.0);
    EXPECT_DOUBLE_EQ(fastV->GetPos(), 1.0);
}

TEST(TKrThreadProgressHandler, BreakIsThrownOnceByCheckBreakAndAlwaysByUserBreakE) {
    TKrThreadProgressHandler root;
    root.Start();
    auto sub = root.SubProgress(0.5, 1.0, 3, 3);
    sub->SetPosNB(0.5);
    EXPECT_DOUBLE_EQ(root.GetPos(), 0.75);
    EXPECT_NO_THROW(sub->CheckBreak());
    root.SetUserBreak();
    EXPECT_THAT([&] { sub->CheckBreak(); },
                ThrowsMessage<TKrThreadProgressHandler::TBreakException>(StrEq("User break")));
    EXPECT_NO_THROW(sub->CheckBreak());
    EXPECT_NO_THROW(root.Tick());
    EXPECT_THROW(sub->UserBreakE(), TKrThreadProgressHandler::TBreakException);
    EXPECT_THROW(root.UserBreakE(), TKrThreadProgressHandler::TBreakException);
    EXPECT_THROW(root.StartIndefinite(), TKrMessage);
    root.Start(); // a new run clears the break
    EXPECT_FALSE(root.UserBreak());
    root.Stop();
    EXPECT_DOUBLE_EQ(root.GetPos(), 1.0);
    EXPECT_FALSE(root.IsStarted());
}

TEST(TKrThreadProgressHandler, ControllerReadsWhileWorkerReportsAndCancels) {
    TKrThreadProgressHandler root;
    root.Start();
    std::atomic<bool> cancelled{false};
    std::thread worker([&] {
        auto sub = root.SubProgress(0.0, 1.0, 3, 3);
        try {
            for (int i = 0;; ++i) {
                sub->SetPosNB((i % 1000) / 1000.0);
                sub->SetMessage("step");
                sub->Tick();
            }
        } catch (const TKrThreadProgressHandler::TBreakException&) {
            cancelled = true;
        }
    });
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(root.GetPos() >= 0.0 && root.GetPos() <= 1.0);
    root.SetUserBreak();
    worker.join();
    EXPECT_TRUE(cancelled);
}

TEST(TMTProgress, TwoWorkersBringTheTargetToOneThroughTheOwner) {
    auto target = new_a<TRecorder>();
    TMTProgress mt(target);
    EXPECT_FALSE(mt.SubProgress(0, 0.5, 3, 3)); // not started yet
    mt.Start();
    EXPECT_TRUE(target->IsStarted());
    {
        auto a = mt.SubProgress(0.0, 0.5, 3, 3);
        auto b = mt.SubProgress(0.5, 1.0, 3, 3);
        EXPECT_EQ(mt.SubProgressCount(), 2u);
        auto work = [](var_a<TKrProgressHandler*> p) {
            for (int i = 0; i < 1000; ++i)
                p->MoveNB(0.001, false);
            p->SetPosNB(1.0);
        };
        std::thread t1(work, a), t2(work, b);
        t1.join();
        t2.join();
        EXPECT_GT(target->threadTicks, 0); // workers only tick the target
        EXPECT_LT(target->GetPos(), 1.0);
    }
    EXPECT_EQ(mt.SubProgressCount(), 0u);
    mt.MoveNB(0.0, true); // the owner applies what the workers sent
    EXPECT_NEAR(target->GetPos(), 1.0, 1e-9);
}

TEST(TMTProgress, WorkersSeeTheTargetsBreakAsAMessage) {
    auto target = new_a<TRecorder>();
    TMTProgress mt(target);
    mt.Start();
    target->breakWanted = true;
    std::string seen;
    std::thread worker([&] { seen = krtest::ThrownText([&] { mt.CheckBreak(); }); });
    worker.join();
    EXPECT_EQ(seen, "Break");
    EXPECT_THROW(mt.CheckBreak(), TKrMessage); // the owner gets the target's own exception
}

TEST(TKrProgressSplitter, FansOutAndAsksThePrimary) {
    auto first = new_a<TRecorder>(), second = new_a<TRecorder>();
    TKrProgressSplitter split;
    split.push_back(first);
    split.push_back(var_a<TKrProgressHandler*>());
    split.push_back(second);
    EXPECT_EQ(split.size(), 2u);
    split.Start();
    EXPECT_TRUE(first->IsStarted() && second->IsStarted());
    split.SetPosNB(0.4);
    EXPECT_EQ(std::make_pair(first->GetPos(), second->GetPos()), std::make_pair(0.4, 0.4));

    auto child = split.SubProgress(0.5, 1.0, 3, 3);
    child->SetPosNB(0.5);
    EXPECT_DOUBLE_EQ(split.GetPos(), 0.75);
    EXPECT_DOUBLE_EQ(second->GetPos(), 0.75); // through the handlers' own sub-progresses
    second->breakWanted = true;
    EXPECT_TRUE(split.UserBreak());
    split.SetMessage("m");
    EXPECT_EQ(split.GetMessage(), "m");
    split.Stop();
    EXPECT_FALSE(first->IsStarted() || second->IsStarted());
}

TEST(CallbackProgress, PositionsRangesAndUnknowns) {
    struct TLast : KrProgress::CallbackDouble::TBase {
        std::vector<double> seen;
        void SetPos(double p) override { seen.push_back(p); }
        using TBase::SetPos;
    } root;
    root.SetPos(5.0, 0.0);
    root.SetPos(std::int64_t(5), std::int64_t(0));
    root.SetPos(1.0, 4.0);
    EXPECT_EQ(root.seen, (std::vector<double>{-1, -1, 0.25}));

    root.seen.clear();
    KrProgress::TKrProgressStepRg steps(&root, 0.5, 1.0);
    {
        KrProgress::CallbackStep::TStarter start(&steps, 4);
        steps.Step();
        steps.Step(3);
    }
    EXPECT_EQ(root.seen, (std::vector<double>{0.5, 0.625, 1.0, 1.0}));
    KrProgress::TKrProgressNull null; // a starter on the null handler does nothing
    KrProgress::CallbackDouble::TStarter s(&null);
}

TEST(TIterationFormProgress, LogarithmicPositionAndIterationBreak) {
    // Linear off the logarithm's domain (the third).
    using P = IKrIterationsProgress;
    EXPECT_EQ((std::vector<double>{P::LogFnValueToPos(100, 10, 1), P::LogFnValueToPos(100, 1000, 1),
                                   P::LogFnValueToPos(10, 0, -10), P::LogFnValueToPos(1, 1, 1)}),
              (std::vector<double>{0.5, 0.0, 0.5, 0.0}));

    TRecorder root;
    TIterationFormProgress form(&root);
    TKrProgressHandler& handler = form;
    IKrIterationsProgress* it = handler.KrInterface()->GetInterface<IKrIterationsProgress>();
    ASSERT_EQ(it, static_cast<IKrIterationsProgress*>(&form));
    it->Start(1000.0);
    it->Next(10.0, 0.1);
    EXPECT_DOUBLE_EQ(form.GetPos(), 0.5);
    it->Next(100.0, 0.1); // a worse value does not move the position back
    EXPECT_DOUBLE_EQ(form.GetPos(), 0.5);
    form.SetIterationBreak();
    EXPECT_TRUE(it->IterationBreak());
    it->ResetIterationBreak();
    it->Stop();
    EXPECT_FALSE(it->IterationBreak());
    EXPECT_EQ(form.Iterations(), 2);
}

} // namespace
