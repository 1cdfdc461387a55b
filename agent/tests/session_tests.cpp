#include "agent_core.h"
#include "agent_fakes.h"
#include "agent_protocol.h"
#include "diag.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qelt;
using namespace qelt::testing;
using Entries = std::vector<std::string>;

namespace {

constexpr unsigned kConnect = 1, kDisconnect = 2, kRemoteConnect = 3, kLogon = 5, kLock = 7, kUnlock = 8;

const Entries kHide{"tray remove", "editor close", "pause 100", "set status 0", "write config profile=0 status=0"};
const Entries kShow{"tray add QELT", "settings load", "set status 1", "write config profile=0 status=1"};

Entries Join(std::initializer_list<Entries> parts)
{
    Entries all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Entries kReopenPause{"timer start 10015 2000"};
const Entries kReopenEnds{"timer stop 10015"};

struct SessionFixture : ::testing::Test {
    Journal journal;
    FakeHost host{journal};
    FakePeers peers{journal};
    FakeTray tray{journal};
    FakeSettings settings{journal};
    FakeLink link{journal};
    DeviceStatus status{tray, settings, peers, host};
    RequestHandler requests{link, settings, peers, host};
    EventActions events{host, peers, settings, status, requests, link};
    SessionMonitor session{link, status, host, events, requests};

    // The window's loop while a job runs: each job timer tick after its pause.
    void RunJobs()
    {
        for (int guard = 0; host.jobPause && guard < 100000; ++guard) {
            host.now += *host.jobPause;
            requests.OnTimer(TIMER_JOB_STEP);
        }
    }
    // The re-open timer fires after its pause.
    void ReopenTimerFires(unsigned pauseMs)
    {
        host.now += pauseMs;
        EXPECT_TRUE(session.OnTimer(TIMER_REOPEN));
    }
};

const Entries kProgress{"progress to 77 (1, 25)", "progress to 77 (1, 50)", "progress to 77 (1, 75)",
                        "progress to 77 (1, 100)", "progress to 77 (0, 0)"};

// The pause before a re-open is the window's timer, not a sleep of its thread.
TEST_F(SessionFixture, LockClosesAndUnlockReopensAfterThePause)
{
    link.open = true;
    session.OnSessionChange(kLock);
    EXPECT_TRUE(session.SessionInactive());
    EXPECT_EQ(journal.entries, Join({{"link close"}, kHide}));
    journal.entries.clear();
    DiagCapture capture;
    session.OnSessionChange(kUnlock);
    EXPECT_EQ(journal.entries, kReopenPause);
    EXPECT_TRUE(session.SessionInactive());
    journal.entries.clear();
    EXPECT_TRUE(session.OnTimer(TIMER_REOPEN));
    EXPECT_FALSE(session.SessionInactive());
    EXPECT_EQ(journal.entries, Join({kReopenEnds, {"link open -> 1"}, kShow}));
    EXPECT_TRUE(capture.Contains(L"WTS_CONSOLE_CONNECT:Open USB Success!"));
}

TEST_F(SessionFixture, LockDuringTheReopenPauseCancelsTheReopen)
{
    session.OnSessionChange(kLock);
    session.OnSessionChange(kUnlock);
    journal.entries.clear();
    session.OnSessionChange(kLock);
    EXPECT_EQ(journal.entries, Join({kReopenEnds, kHide}));
    EXPECT_TRUE(session.SessionInactive());
    EXPECT_FALSE(link.open);
}

TEST_F(SessionFixture, ClosingAnAlreadyClosedDeviceStillHidesTheIcon)
{
    session.OnSessionChange(kDisconnect);
    EXPECT_EQ(journal.entries, kHide);
}

// A failed open leaves the icon hidden and tries again with back-off while the session is active.
TEST_F(SessionFixture, FailedReopenLeavesTheIconHiddenAndTriesAgainLater)
{
    link.openSucceeds = false;
    session.OnSessionChange(kConnect);
    session.OnTimer(TIMER_REOPEN);
    EXPECT_EQ(journal.entries, Join({kReopenPause, kReopenEnds, {"link open -> 0", "timer start 10015 4000"}}));
}

TEST_F(SessionFixture, OtherSessionEventsDoNothing)
{
    for (unsigned event : {kRemoteConnect, 4u, kLogon, 6u, 9u, 0u})
        session.OnSessionChange(event);
    EXPECT_TRUE(journal.entries.empty());
}

TEST_F(SessionFixture, OlderWindowsReopensAtOnceAndIgnoresLock)
{
    host.version = 5u;
    session.OnSessionChange(kLock);
    session.OnSessionChange(kUnlock);
    EXPECT_TRUE(journal.entries.empty());
    session.OnSessionChange(kConnect);
    EXPECT_EQ(journal.entries, Join({{"link open -> 1"}, kShow}));
}

TEST_F(SessionFixture, UnknownWindowsVersionIsTakenAsCurrent)
{
    host.version = std::nullopt;
    DiagCapture capture;
    session.OnSessionChange(kLock);
    EXPECT_EQ(journal.entries, kHide);
    EXPECT_TRUE(session.SessionInactive());
}

TEST_F(SessionFixture, DeviceChangeOpensOnlyAClosedDeviceInAnActiveSession)
{
    DiagCapture capture;
    session.OnDeviceChange();
    EXPECT_EQ(journal.entries, kReopenPause);
    session.OnTimer(TIMER_REOPEN);
    EXPECT_EQ(journal.entries, Join({kReopenPause, kReopenEnds, {"link open -> 1"}, kShow}));
    EXPECT_TRUE(capture.Contains(L"Device Change g_hDevice != NULL OpenUSBDriver()\n"));

    journal.entries.clear();
    session.OnDeviceChange();  // open now: the handle is checked, nothing else
    EXPECT_EQ(journal.entries, (Entries{"link check -> 1"}));

    session.OnSessionChange(kLock);
    journal.entries.clear();
    session.OnDeviceChange();  // locked: diagnostics only
    EXPECT_TRUE(journal.entries.empty());
    EXPECT_TRUE(capture.Contains(L"Device Change g_hDevice != NULL\n"));
}

TEST_F(SessionFixture, BurstOfDeviceChangesMakesOneAttemptAfterTheLast)
{
    session.OnDeviceChange();
    session.OnDeviceChange();
    session.OnDeviceChange();
    EXPECT_EQ(journal.entries, Join({kReopenPause, kReopenPause, kReopenPause}));
    journal.entries.clear();
    session.OnTimer(TIMER_REOPEN);
    EXPECT_EQ(journal.entries, Join({kReopenEnds, {"link open -> 1"}, kShow}));
}

TEST_F(SessionFixture, DeviceChangeWithFailedOpenKeepsTryingOnTheNextOne)
{
    link.openSucceeds = false;
    session.OnDeviceChange();
    session.OnTimer(TIMER_REOPEN);
    session.OnDeviceChange();
    session.OnTimer(TIMER_REOPEN);
    EXPECT_EQ(journal.entries, Join({kReopenPause, kReopenEnds, {"link open -> 0"}, kReopenPause, kReopenPause,
                                     kReopenEnds, {"link open -> 0"}, kReopenPause}));
}

// The control device may appear a while after the notifications: an attempt every 2 s for 30 s
// after the last one, then the back-off.
TEST_F(SessionFixture, NotificationsWhileClosedKeepTryingEveryTwoSecondsForThirtySeconds)
{
    link.openSucceeds = false;
    session.OnDeviceChange();
    for (int attempt = 1; attempt < 15; ++attempt) {
        journal.entries.clear();
        ReopenTimerFires(2000);
        EXPECT_EQ(journal.entries, Join({kReopenEnds, {"link open -> 0"}, kReopenPause})) << attempt;
    }
    journal.entries.clear();
    ReopenTimerFires(2000);  // 30 s after the notification
    EXPECT_EQ(journal.entries, Join({kReopenEnds, {"link open -> 0", "timer start 10015 4000"}}));
    link.openSucceeds = true;
    journal.entries.clear();
    ReopenTimerFires(4000);
    EXPECT_EQ(journal.entries, Join({kReopenEnds, {"link open -> 1"}, kShow}));
}

// A device-change notification or a resume with the device open checks the handle; a failed check
// closes the device as a disconnect does, tries again 2 s later and then backs off to a minute.
TEST_F(SessionFixture, LostDeviceIsClosedAndLookedForWithBackOff)
{
    link.open = true;
    link.checkSucceeds = false;
    link.openSucceeds = false;
    DiagCapture capture;
    session.OnDeviceChange();
    EXPECT_EQ(journal.entries, Join({{"link check -> 0", "link close"}, kHide, kReopenPause}));
    EXPECT_FALSE(session.SessionInactive());
    EXPECT_TRUE(capture.Contains(L"device check failed"));

    std::vector<std::string> pauses;
    unsigned pause = 2000;
    for (int attempt = 0; attempt < 7; ++attempt) {
        journal.entries.clear();
        ReopenTimerFires(pause);
        ASSERT_EQ(journal.entries.size(), 3u);
        EXPECT_EQ(journal.entries[1], "link open -> 0");
        pauses.push_back(journal.entries[2]);
        pause = static_cast<unsigned>(std::stoul(journal.entries[2].substr(std::string("timer start 10015 ").size())));
    }
    EXPECT_EQ(pauses, (std::vector<std::string>{"timer start 10015 4000", "timer start 10015 8000",
                                                 "timer start 10015 16000", "timer start 10015 32000",
                                                 "timer start 10015 60000", "timer start 10015 60000",
                                                 "timer start 10015 60000"}));
    // A device arrival meanwhile tries 2 s later instead of waiting out the minute.
    journal.entries.clear();
    link.openSucceeds = true;
    session.OnDeviceChange();
    EXPECT_EQ(journal.entries, kReopenPause);
    ReopenTimerFires(2000);
    EXPECT_EQ(journal.entries, Join({kReopenPause, kReopenEnds, {"link open -> 1"}, kShow}));
}

TEST_F(SessionFixture, ResumeChecksAnOpenDeviceAndLooksForAClosedOne)
{
    constexpr unsigned kSuspend = 4, kResumeSuspend = 7, kResumeAutomatic = 0x12, kPowerStatus = 0xA;
    link.open = true;
    for (unsigned event : {kSuspend, kPowerStatus})
        session.OnPowerBroadcast(event);
    EXPECT_TRUE(journal.entries.empty());
    for (unsigned event : {kResumeSuspend, kResumeAutomatic})
        session.OnPowerBroadcast(event);
    EXPECT_EQ(journal.entries, (Entries{"link check -> 1", "link check -> 1"}));

    journal.entries.clear();
    link.open = false;
    session.OnPowerBroadcast(kResumeAutomatic);
    EXPECT_EQ(journal.entries, kReopenPause);

    journal.entries.clear();
    session.OnSessionChange(kLock);
    journal.entries.clear();
    session.OnPowerBroadcast(kResumeAutomatic);  // locked: the unlock opens it
    EXPECT_TRUE(journal.entries.empty());
}

// The link saw an error meaning the handle is gone (a read or a request): the agent checks.
TEST_F(SessionFixture, GoneErrorFromTheLinkChecksTheDevice)
{
    link.open = true;
    session.OnDeviceSuspect();
    EXPECT_EQ(journal.entries, (Entries{"link check -> 1"}));
    link.open = false;
    journal.entries.clear();
    session.OnDeviceSuspect();
    EXPECT_TRUE(journal.entries.empty());
}

TEST_F(SessionFixture, StartWithoutTheDeviceKeepsLooking)
{
    link.openSucceeds = false;
    session.Start();
    EXPECT_EQ(journal.entries, Join({{"link open -> 0"}, kHide, {"timer start 10015 4000"}}));
    journal.entries.clear();
    link.openSucceeds = true;
    ReopenTimerFires(4000);
    EXPECT_EQ(journal.entries, Join({kReopenEnds, {"link open -> 1"}, kShow}));
}

TEST_F(SessionFixture, NoAttemptsWhileLocked)
{
    link.openSucceeds = false;
    session.Start();
    session.OnSessionChange(kLock);
    journal.entries.clear();
    EXPECT_TRUE(session.OnTimer(TIMER_REOPEN));  // a tick already queued
    EXPECT_EQ(journal.entries, kReopenEnds);
}

// A lock during a download: the job runs to its end, then the closing steps; the requests still
// waiting are dropped. The volume repeat and a pending keyboard notice stop at once.
TEST_F(SessionFixture, LockDuringADownloadClosesOnceItHasEnded)
{
    link.open = true;
    requests.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 1);
    requests.OnProcessAPMessage(AP_RESET_PROFILE, 2);
    events.ProcessFun(0xE900);
    events.ProcessFun(0x00BD);
    ASSERT_TRUE(host.jobPause);
    host.now += *host.jobPause;
    requests.OnTimer(TIMER_JOB_STEP);  // 50 %
    journal.entries.clear();
    DiagCapture capture;
    session.OnSessionChange(kLock);
    EXPECT_EQ(journal.entries, (Entries{"timer stop 10012", "timer stop 10016"}));
    EXPECT_TRUE(link.open);
    journal.entries.clear();
    RunJobs();
    EXPECT_EQ(journal.entries, Join({Entries(kProgress.begin() + 2, kProgress.end()), {"link close"}, kHide}));
    EXPECT_TRUE(capture.Contains(L"session locked or disconnected, 1 waiting request(s) dropped"));
    EXPECT_TRUE(requests.Idle());
}

// The re-open timer firing in the middle of a job: the device opens after the job.
TEST_F(SessionFixture, ReopenDuringAJobWaitsForItsEnd)
{
    session.OnDeviceChange();
    requests.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 1);
    journal.entries.clear();
    ReopenTimerFires(2000);
    EXPECT_EQ(journal.entries, kReopenEnds);
    EXPECT_FALSE(link.open);
    RunJobs();
    EXPECT_EQ(journal.entries, Join({kReopenEnds, Entries(kProgress.begin() + 1, kProgress.end()),
                                     {"link open -> 1"}, kShow}));
}

// A check asked for during a job runs once, after it.
TEST_F(SessionFixture, ChecksWaitForTheRunningJob)
{
    link.open = true;
    requests.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 1);
    session.OnDeviceChange();
    session.OnDeviceSuspect();
    journal.entries.clear();
    RunJobs();
    EXPECT_EQ(journal.entries, Join({Entries(kProgress.begin() + 1, kProgress.end()), {"link check -> 1"}}));
}

TEST_F(SessionFixture, ShutDownStopsTheVolumeRepeatAndFinishesTheJob)
{
    link.open = true;
    events.ProcessFun(0xEA00);
    requests.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 1);
    journal.entries.clear();
    session.ShutDown();
    ASSERT_FALSE(journal.entries.empty());
    EXPECT_EQ(journal.entries.front(), "timer stop 10013");
    EXPECT_EQ(journal.entries.back(), kProgress.back());
    EXPECT_TRUE(requests.Idle());
}

TEST_F(SessionFixture, OtherTimersAreNotTheReopen)
{
    EXPECT_FALSE(session.OnTimer(TIMER_JOB_STEP));
    EXPECT_FALSE(session.OnTimer(TIMER_VOLUME_UP));
    EXPECT_TRUE(journal.entries.empty());
}

} // namespace

namespace {

// The editor found no Config.config to read the status from: the agent writes what it knows (the
// keyboard usable or not) and answers it, so the editor neither warns falsely nor goes on without
// a keyboard. The answer is never the plain protocol answer an older agent gives.
TEST_F(SessionFixture, DeviceStatusQuestionIsAnsweredAndWrittenFromWhatTheAgentKnows)
{
    for (const bool shown : {true, false}) {
        status.StartTrayIcon(shown);
        journal.entries.clear();
        DiagCapture capture;
        const long answer = status.WriteForEditor();
        EXPECT_EQ(DeviceStatusOfAnswer(answer), std::optional<int>(shown ? 1 : 0)) << shown;
        EXPECT_NE(answer, PROTOCOL_ANSWER) << shown;
        EXPECT_EQ(journal.entries, (Entries{shown ? "write DEVICEPSTATS=1" : "write DEVICEPSTATS=0"})) << shown;
        EXPECT_TRUE(capture.Contains(shown ? L"The editor asks for the device status: 1\n"
                                           : L"The editor asks for the device status: 0\n"));
    }
    EXPECT_EQ(DeviceStatusOfAnswer(PROTOCOL_ANSWER), std::nullopt) << "an agent that does not know the request";
    EXPECT_EQ(DeviceStatusOfAnswer(0), std::nullopt) << "a stand-in that answers 0";
}

} // namespace
