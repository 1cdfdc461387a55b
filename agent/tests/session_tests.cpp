#include "agent_core.h"
#include "agent_fakes.h"
#include "agent_protocol.h"
#include "diag.h"

#include <gtest/gtest.h>

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
    SessionMonitor session{link, status, host};
};

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

TEST_F(SessionFixture, FailedReopenLeavesTheIconHidden)
{
    link.openSucceeds = false;
    session.OnSessionChange(kConnect);
    session.OnTimer(TIMER_REOPEN);
    EXPECT_EQ(journal.entries, Join({kReopenPause, kReopenEnds, {"link open -> 0"}}));
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
    session.OnDeviceChange();  // open now: diagnostics only
    EXPECT_TRUE(journal.entries.empty());

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
    EXPECT_EQ(journal.entries, Join({kReopenPause, kReopenEnds, {"link open -> 0"}, kReopenPause, kReopenEnds,
                                     {"link open -> 0"}}));
}

TEST_F(SessionFixture, OtherTimersAreNotTheReopen)
{
    EXPECT_FALSE(session.OnTimer(TIMER_JOB_STEP));
    EXPECT_FALSE(session.OnTimer(TIMER_VOLUME_UP));
    EXPECT_TRUE(journal.entries.empty());
}

} // namespace
