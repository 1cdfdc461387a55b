#include "agent_core.h"
#include "agent_fakes.h"
#include "agent_protocol.h"
#include "diag.h"

#include <gtest/gtest.h>

using namespace qelt;
using namespace qelt::testing;
using Entries = std::vector<std::string>;

namespace {

const Entries kProgress{"progress to 77 (1, 25)", "progress to 77 (1, 50)", "progress to 77 (1, 75)",
                        "progress to 77 (1, 100)", "progress to 77 (0, 0)"};

Entries Join(std::initializer_list<Entries> parts)
{
    Entries all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct RequestFixture : ::testing::Test {
    Journal journal;
    FakeHost host{journal};
    FakePeers peers{journal};
    FakeSettings settings{journal};
    FakeLink link{journal};
    RequestHandler handler{link, settings, peers, host};

    // What the window's message loop does meanwhile: each time the job timer fires, the clock has
    // moved on by its pause and the job goes on.
    void RunJobs()
    {
        for (int guard = 0; host.jobPause && guard < 100000; ++guard) {
            host.now += *host.jobPause;
            EXPECT_TRUE(handler.OnTimer(TIMER_JOB_STEP));
        }
        EXPECT_TRUE(handler.Idle());
    }
};

TEST_F(RequestFixture, ReloadReadsTheFilesAndNothingElse)
{
    DiagCapture capture;
    EXPECT_EQ(handler.OnProcessAPMessage(AP_RELOAD_SETTINGS, 0), 1);
    EXPECT_EQ(journal.entries, (Entries{"settings load"}));
    EXPECT_TRUE(handler.Idle());
    EXPECT_TRUE(capture.Contains(L"OnProcessAPMessage\n"));
}

// The window thread only starts a job: every pause is a timer, none is slept.
TEST_F(RequestFixture, DownloadAndResetReturnAtOnceAndReportProgressBetweenTimerTicks)
{
    for (auto [request, name] : {std::pair{AP_DOWNLOAD_PROFILE, "download"}, std::pair{AP_RESET_PROFILE, "reset"}}) {
        for (int profile : {0, 3, 5}) {
            journal.entries.clear();
            host.jobPauses.clear();
            char job[32];
            std::snprintf(job, sizeof job, "link %s %d", name, profile);
            EXPECT_EQ(handler.OnProcessAPMessage(request, profile), 1);
            EXPECT_EQ(journal.entries, (Entries{job, kProgress[0]})) << job;
            EXPECT_FALSE(handler.Idle());
            RunJobs();
            EXPECT_EQ(journal.entries, Join({{job}, kProgress})) << job;
            EXPECT_EQ(host.jobPauses, (std::vector<unsigned>{500, 500, 500, 500})) << job;
        }
    }
}

TEST_F(RequestFixture, JobWaitsForTheLoadingWindowOnTheTimerAndGivesUpAfterTenSeconds)
{
    peers.loadingLookupsBeforeFound = 1000000;
    for (unsigned request : {AP_DOWNLOAD_PROFILE, AP_RESET_PROFILE}) {
        journal.entries.clear();
        peers.loadingLookups = 0;
        const uint64_t start = host.now;
        DiagCapture capture;
        EXPECT_EQ(handler.OnProcessAPMessage(request, 1), 1);
        EXPECT_EQ(host.jobPause, 10u);
        RunJobs();
        EXPECT_TRUE(journal.entries.empty());
        EXPECT_GE(host.now - start, 10000u);
        EXPECT_LE(host.now - start, 10010u);
        EXPECT_EQ(peers.loadingLookups, 1001);
        EXPECT_TRUE(capture.Contains(L"no \"DLGLoading\" window appeared, request " + std::to_wstring(request) +
                                     L" for profile 1 skipped"));
    }
}

TEST_F(RequestFixture, JobStartsOnceTheLoadingWindowAppears)
{
    peers.loadingLookupsBeforeFound = 30;
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 2);
    EXPECT_TRUE(journal.entries.empty());
    RunJobs();
    EXPECT_EQ(journal.entries, Join({{"link download 2"}, kProgress}));
    EXPECT_EQ(peers.loadingLookups, 31);
}

// Requests wait in the order they came; only a repeat of the last one waiting adds nothing, so an
// apply, a profile switch and an apply again keep their meaning in order.
TEST_F(RequestFixture, RequestsWaitInOrderAndOnlyARepeatOfTheLastWaitingIsDropped)
{
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 2);
    DiagCapture capture;
    for (auto [request, profile] : {std::pair{AP_RELOAD_SETTINGS, 0}, std::pair{AP_DOWNLOAD_PROFILE, 2},
                                    std::pair{AP_DOWNLOAD_PROFILE, 2}, std::pair{AP_DOWNLOAD_PROFILE, 4},
                                    std::pair{AP_RELOAD_SETTINGS, 0}, std::pair{AP_DOWNLOAD_PROFILE, 2}})
        EXPECT_EQ(handler.OnProcessAPMessage(request, profile), 1);
    EXPECT_EQ(journal.entries, (Entries{"link download 2", kProgress[0]}));
    EXPECT_TRUE(capture.Contains(L"request 1 for profile 2 is already waiting"));
    EXPECT_FALSE(capture.Contains(L"request 0 for profile 0 is already waiting"));

    RunJobs();
    EXPECT_EQ(journal.entries, Join({{"link download 2"}, kProgress, {"settings load", "link download 2"}, kProgress,
                                     {"link download 4"}, kProgress, {"settings load", "link download 2"}, kProgress}));
}

TEST_F(RequestFixture, RequestIdenticalToTheRunningOneIsQueued)
{
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 2);
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 2);
    RunJobs();
    EXPECT_EQ(journal.entries, Join({{"link download 2"}, kProgress, {"link download 2"}, kProgress}));
}

// A user clicking P1, P3, P5, P3 while a download runs: the keyboard and the agent end on P3. A
// set-profile request replaces the one still waiting, in its place.
TEST_F(RequestFixture, QuickProfileClicksDuringADownloadEndOnTheLastProfileAskedFor)
{
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 1);
    for (int profile : {0, 2, 4, 2})
        handler.OnProcessAPMessage(AP_SET_PROFILE, profile);
    EXPECT_EQ(settings.current, 2);
    RunJobs();
    EXPECT_EQ(journal.entries, Join({{"link download 1"}, {kProgress[0]}, {"set current 0", "set current 2",
                                     "set current 4", "set current 2"}, Entries(kProgress.begin() + 1, kProgress.end()),
                                     {"link set current 2"}}));

    journal.entries.clear();
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 1);
    handler.OnProcessAPMessage(AP_SET_PROFILE, 0);
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 3);
    handler.OnProcessAPMessage(AP_SET_PROFILE, 4);
    RunJobs();
    EXPECT_EQ(journal.entries, Join({{"link download 1", kProgress[0], "set current 0", "set current 4"},
                                     Entries(kProgress.begin() + 1, kProgress.end()),
                                     {"link set current 4", "link download 3"}, kProgress}));
    EXPECT_EQ(settings.current, 4);
}

// The agent's current profile changes when the request is taken, before its device requests and
// whatever waits before them: a launch key or a lock meanwhile uses the profile the editor wrote.
TEST_F(RequestFixture, SetProfileMakesItCurrentForTheAgentWhenTakenThenOnTheDevice)
{
    EXPECT_EQ(handler.OnProcessAPMessage(AP_SET_PROFILE, 5), 1);
    EXPECT_EQ(handler.OnProcessAPMessage(AP_SET_PROFILE, 0), 1);
    EXPECT_EQ(settings.current, 0);
    RunJobs();
    EXPECT_EQ(journal.entries, (Entries{"set current 5", "link set current 5", "set current 0", "link set current 0"}));
}

// What waits for the running job runs right after its last step, before the requests that wait;
// it may drop them.
TEST_F(RequestFixture, ActionsAfterTheRunningJobComeBeforeTheWaitingRequests)
{
    int ran = 0;
    handler.AfterRunningJob([&] { ++ran; });  // idle: at once
    EXPECT_EQ(ran, 1);

    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 1);
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 2);
    handler.AfterRunningJob([&] { journal.Add("action"); });
    EXPECT_EQ(journal.entries, (Entries{"link download 1", kProgress[0]}));
    RunJobs();
    EXPECT_EQ(journal.entries, Join({{"link download 1"}, kProgress, {"action", "link download 2"}, kProgress}));

    journal.entries.clear();
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 1);
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 2);
    handler.OnProcessAPMessage(AP_SET_PROFILE, 2);
    DiagCapture capture;
    handler.AfterRunningJob([&] { handler.DropWaiting(L"device gone"); });
    RunJobs();
    EXPECT_EQ(journal.entries, Join({{"link download 1", kProgress[0], "set current 2"},
                                     Entries(kProgress.begin() + 1, kProgress.end())}));
    EXPECT_TRUE(capture.Contains(L"OnProcessAPMessage: device gone, 2 waiting request(s) dropped\n"));
}

TEST_F(RequestFixture, FailedDownloadTellsTheDisplayBeforeItEnds)
{
    link.downloadFails = true;
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 2);
    RunJobs();
    EXPECT_EQ(journal.entries, Join({{"link download 2"}, Entries(kProgress.begin(), kProgress.end() - 1),
                                     {"osd Profile 3 not updated", kProgress.back()}}));
}

TEST_F(RequestFixture, ShutDownFinishesTheRunningJobAndDropsTheWaitingOnes)
{
    handler.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 1);
    handler.OnProcessAPMessage(AP_SET_PROFILE, 3);
    ASSERT_TRUE(host.jobPause);
    host.now += *host.jobPause;
    handler.OnTimer(TIMER_JOB_STEP);
    journal.entries.clear();
    DiagCapture capture;
    handler.FinishForShutDown();
    EXPECT_TRUE(handler.Idle());
    EXPECT_FALSE(host.jobPause);
    EXPECT_EQ(journal.entries, (Entries{"pause 500", "progress to 77 (1, 75)", "pause 500", "progress to 77 (1, 100)",
                                        "pause 500", "progress to 77 (0, 0)"}));
    EXPECT_TRUE(capture.Contains(L"1 waiting request(s) dropped"));
}

TEST_F(RequestFixture, ShutDownWhileWaitingForTheLoadingWindowGivesUpAtOnce)
{
    peers.loadingLookupsBeforeFound = 1000000;
    handler.OnProcessAPMessage(AP_RESET_PROFILE, 1);
    DiagCapture capture;
    handler.FinishForShutDown();
    EXPECT_TRUE(handler.Idle());
    EXPECT_EQ(journal.entries, (Entries{"pause 10"}));  // the look-up's pause that was running; no second one
    EXPECT_TRUE(capture.Contains(L"no \"DLGLoading\" window appeared"));
}

TEST_F(RequestFixture, ProfileIndexOutsideTheSixProfilesIsIgnoredAndLoggedWhole)
{
    struct Case {
        intptr_t profile;
        const wchar_t* logged;
    };
    const Case cases[] = {{-1, L"-1"}, {6, L"6"}, {0x7FFFFFFF, L"2147483647"},
                          {static_cast<intptr_t>(0x100000002LL), L"4294967298"}};
    for (unsigned request : {AP_DOWNLOAD_PROFILE, AP_RESET_PROFILE, AP_SET_PROFILE}) {
        for (const Case& c : cases) {
            journal.entries.clear();
            DiagCapture capture;
            EXPECT_EQ(handler.OnProcessAPMessage(request, c.profile), 1);
            EXPECT_TRUE(handler.Idle());
            EXPECT_TRUE(journal.entries.empty()) << request << " " << c.profile;
            EXPECT_TRUE(capture.Contains(L"request " + std::to_wstring(request) + L" with profile index " + c.logged +
                                         L" ignored"))
                << request << " " << c.profile;
        }
    }
}

TEST_F(RequestFixture, UnknownRequestsDoNothing)
{
    for (uintptr_t request : {uintptr_t(4), uintptr_t(0x7EA), ~uintptr_t(0)}) {
        EXPECT_EQ(handler.OnProcessAPMessage(request, 1), 1);
        EXPECT_TRUE(journal.entries.empty());
        EXPECT_TRUE(handler.Idle());
    }
}

TEST_F(RequestFixture, OtherTimersAreNotTheJobs)
{
    EXPECT_FALSE(handler.OnTimer(TIMER_VOLUME_UP));
    EXPECT_FALSE(handler.OnTimer(1));
}

} // namespace
