// The download exchange: every order of the agent's answers, the timers and the owner's effects,
// in one journal so the order across the port and the owner shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "diag.h"
#include "download_exchange.h"
#include "effect_journal.h"

using namespace qelt;
using Entries = std::vector<std::string>;

namespace {

using Journal = qelt::testing::EffectJournal;

const char* TimerName(unsigned timer)
{
    switch (timer) {
    case TIMER_SECOND_REQUEST:
        return "pause";
    case TIMER_AGENT_SILENT:
        return "silence";
    case TIMER_AGENT_ALIVE:
        return "alive";
    default:
        return "other";
    }
}

const char* OutcomeName(ExchangeOutcome outcome)
{
    switch (outcome) {
    case ExchangeOutcome::Finished:
        return "finished";
    case ExchangeOutcome::NoKeyboard:
        return "no keyboard";
    case ExchangeOutcome::AgentGone:
        return "agent gone";
    case ExchangeOutcome::NoAnswer:
        return "no answer";
    case ExchangeOutcome::Abandoned:
        return "abandoned";
    }
    return "?";
}

// Stopping timers is bookkeeping the end always does: kept apart from the journal (stopped).
struct FakePort : ExchangePort {
    explicit FakePort(Journal& journal) : journal(journal) {}
    bool ConnectAgent() override
    {
        journal.Add("connect");
        return agentRunning;
    }
    bool AgentAlive() override { return agentRunning; }
    bool PostToAgent(ApRequest request, int profile) override
    {
        journal.Add("post %d %d", int(request), profile);
        return agentRunning;
    }
    void StartTimer(unsigned timer, unsigned ms) override { journal.Add("timer %s %u", TimerName(timer), ms); }
    void StopTimer(unsigned timer) override { stopped.push_back(TimerName(timer)); }

    Journal& journal;
    bool agentRunning = true;
    std::vector<std::string> stopped;
};

struct FakeOwner : ExchangeOwner {
    explicit FakeOwner(Journal& journal) : journal(journal) {}
    void WarnNoKeyboard() override { journal.Add("warn no keyboard"); }
    void ShowProgress(int barValue, bool inRange) override { journal.Add("bar %d%s", barValue, inRange ? "" : " (out of range)"); }
    void Ended(ExchangeOutcome outcome) override
    {
        journal.Add("end %s", OutcomeName(outcome));
        ++endings;
    }

    Journal& journal;
    int endings = 0;
};

struct ExchangeFixture : ::testing::Test {
    Journal journal;
    FakePort port{journal};
    FakeOwner owner{journal};
    DownloadExchange exchange{port, owner, 7000};

    // Starts a download of profile 3 and lets the pause pass: the job request is out.
    void StartAndPostJob()
    {
        exchange.Start(JobRequest{AP_DOWNLOAD_PROFILE, 3}, true);
        EXPECT_TRUE(exchange.OnTimer(TIMER_SECOND_REQUEST));
        journal.entries.clear();
    }
};

TEST_F(ExchangeFixture, DownloadAndResetPostTheReloadThenTheJobAfterThePauseAndFollowTheProgress)
{
    for (auto [request, started] : {std::pair{AP_DOWNLOAD_PROFILE, L"Start to write data!\n"},
                                    std::pair{AP_RESET_PROFILE, L"Start to reset data!\n"}}) {
        Journal j;
        FakePort p{j};
        FakeOwner o{j};
        DownloadExchange e{p, o, 7000};
        DiagCapture capture;
        e.Start(JobRequest{request, 4}, true);
        EXPECT_EQ(j.entries, (Entries{"connect", "post 0 0", "timer pause 500", "timer alive 250"}));
        EXPECT_TRUE(capture.Contains(started));
        EXPECT_TRUE(e.OnTimer(TIMER_SECOND_REQUEST));
        for (int percent : {25, 50, 75, 100})
            e.OnProgress(LOADING_STEP, percent);
        e.OnProgress(LOADING_DONE, 0);
        char job[16];
        std::snprintf(job, sizeof job, "post %d 4", int(request));
        EXPECT_EQ(j.entries, (Entries{"connect", "post 0 0", "timer pause 500", "timer alive 250", job,
                                      "timer silence 7000", "bar 25", "timer silence 7000", "bar 50",
                                      "timer silence 7000", "bar 75", "timer silence 7000", "bar 100",
                                      "timer silence 7000", "end finished"}));
        EXPECT_TRUE(e.Ended());
        EXPECT_EQ(o.endings, 1);
        EXPECT_EQ(p.stopped, (std::vector<std::string>{"pause", "pause", "silence", "alive"}));
    }
}

TEST_F(ExchangeFixture, ProgressOutsideOneToHundredPutsTheBarAtTheStartAndOtherKindsDoNothing)
{
    StartAndPostJob();
    exchange.OnProgress(LOADING_STEP, 0);
    exchange.OnProgress(LOADING_STEP, 101);
    exchange.OnProgress(2, 50);
    EXPECT_EQ(journal.entries, (Entries{"bar 1 (out of range)", "timer silence 7000", "bar 1 (out of range)",
                                        "timer silence 7000"}));
    EXPECT_FALSE(exchange.Ended());
}

// The end comes from the agent even before the job was requested, and nothing counts after it.
TEST_F(ExchangeFixture, TheEndIsTakenInEveryStageAndOnlyOnce)
{
    exchange.OnProgress(LOADING_STEP, 40);  // before the start: shown, no time limit yet
    exchange.OnProgress(LOADING_DONE, 0);
    exchange.OnProgress(LOADING_DONE, 0);
    exchange.OnProgress(LOADING_STEP, 60);
    exchange.Start(JobRequest{AP_DOWNLOAD_PROFILE, 1}, true);
    EXPECT_FALSE(exchange.OnTimer(TIMER_JOB_DOWNLOAD));
    EXPECT_TRUE(exchange.OnTimer(TIMER_SECOND_REQUEST));
    EXPECT_EQ(journal.entries, (Entries{"bar 40", "end finished"}));
    EXPECT_EQ(owner.endings, 1);
}

TEST_F(ExchangeFixture, TheTimeLimitEndsTheWaitAndStartsAgainWithEveryReport)
{
    StartAndPostJob();
    exchange.OnProgress(LOADING_STEP, 25);
    DiagCapture capture;
    EXPECT_TRUE(exchange.OnTimer(TIMER_AGENT_SILENT));
    EXPECT_EQ(journal.entries, (Entries{"bar 25", "timer silence 7000", "end no answer"}));
    EXPECT_TRUE(capture.Contains(L"ERROR: download of profile 3 ended: no answer from the agent within 7 s\n"));
}

// An agent that ends mid-job is noticed at the next look, whichever stage the exchange is in.
TEST_F(ExchangeFixture, AnAgentThatEndsIsNoticedBeforeAndAfterTheJobRequest)
{
    for (bool jobPosted : {false, true}) {
        Journal j;
        FakePort p{j};
        FakeOwner o{j};
        DownloadExchange e{p, o};
        e.Start(JobRequest{AP_RESET_PROFILE, 2}, true);
        if (jobPosted)
            e.OnTimer(TIMER_SECOND_REQUEST);
        EXPECT_TRUE(e.OnTimer(TIMER_AGENT_ALIVE));
        EXPECT_FALSE(e.Ended()) << "the agent is still there";
        p.agentRunning = false;
        DiagCapture capture;
        EXPECT_TRUE(e.OnTimer(TIMER_AGENT_ALIVE));
        EXPECT_EQ(j.entries.back(), "end agent gone");
        EXPECT_TRUE(capture.Contains(L"the agent ended before it had finished\n"));
        e.OnTimer(TIMER_SECOND_REQUEST);  // a tick already queued posts nothing any more
        EXPECT_EQ(j.entries.back(), "end agent gone");
        EXPECT_EQ(o.endings, 1);
    }
}

TEST_F(ExchangeFixture, MissingAgentEndsAtOnceOrWhenTheJobCannotBePosted)
{
    port.agentRunning = false;
    DiagCapture capture;
    exchange.Start(JobRequest{AP_DOWNLOAD_PROFILE, 0}, true);
    EXPECT_EQ(journal.entries, (Entries{"connect", "end agent gone"}));
    EXPECT_TRUE(capture.Contains(L"ERROR: download of profile 0 ended: the agent's window is missing\n"));

    Journal j;
    FakePort p{j};
    FakeOwner o{j};
    DownloadExchange e{p, o};
    e.Start(JobRequest{AP_DOWNLOAD_PROFILE, 1}, true);
    p.agentRunning = false;
    e.OnTimer(TIMER_SECOND_REQUEST);
    EXPECT_EQ(j.entries, (Entries{"connect", "post 0 0", "timer pause 500", "timer alive 250", "post 1 1",
                                  "end agent gone"}));
}

// Without a keyboard the owner warns first; the requests still go out, the pause held by a timer
// (never by the window's thread), and nothing waits for the agent's report.
TEST_F(ExchangeFixture, WithoutKeyboardTheWarningComesFirstAndTheRequestsStillGoOut)
{
    DiagCapture capture;
    exchange.Start(JobRequest{AP_RESET_PROFILE, 2}, false);
    EXPECT_EQ(journal.entries, (Entries{"warn no keyboard", "connect", "post 0 0", "timer pause 500"}));
    EXPECT_TRUE(capture.Contains(L"Start to reset data!\n"));
    EXPECT_FALSE(exchange.Ended());
    exchange.OnTimer(TIMER_SECOND_REQUEST);
    EXPECT_EQ(journal.entries, (Entries{"warn no keyboard", "connect", "post 0 0", "timer pause 500", "post 2 2",
                                        "end no keyboard"}));

    Journal j;
    FakePort p{j};
    p.agentRunning = false;
    FakeOwner o{j};
    DownloadExchange e{p, o};
    e.Start(JobRequest{AP_DOWNLOAD_PROFILE, 2}, false);
    EXPECT_EQ(j.entries, (Entries{"warn no keyboard", "connect", "end no keyboard"}));
}

TEST_F(ExchangeFixture, AbandonEndsOnceAndStopsEveryTimer)
{
    StartAndPostJob();
    port.stopped.clear();
    exchange.Abandon();
    exchange.Abandon();
    exchange.OnTimer(TIMER_AGENT_SILENT);
    EXPECT_EQ(journal.entries, (Entries{"end abandoned"}));
    EXPECT_EQ(port.stopped, (std::vector<std::string>{"pause", "silence", "alive", "silence"}));
}

TEST_F(ExchangeFixture, ASecondStartIsIgnored)
{
    StartAndPostJob();
    exchange.Start(JobRequest{AP_RESET_PROFILE, 4}, true);
    EXPECT_TRUE(journal.entries.empty());
}

} // namespace
