#include "agent_core.h"
#include "agent_fakes.h"
#include "agent_protocol.h"
#include "diag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

using namespace qelt;
using namespace qelt::testing;
using Entries = std::vector<std::string>;

namespace {

struct EventFixture : ::testing::Test {
    Journal journal;
    FakeHost host{journal};
    FakePeers peers{journal};
    FakeTray tray{journal};
    FakeSettings settings{journal};
    FakeLink link{journal};
    DeviceStatus status{tray, settings, peers, host};
    RequestHandler requests{link, settings, peers, host};
    EventActions events{host, peers, settings, status, requests, link};
    EventFixture() { link.open = true; }
};

std::string WordName(uint16_t word)
{
    char name[16];
    std::snprintf(name, sizeof name, "Word%04X", word);
    return name;
}

struct WordCase {
    uint16_t word;
    const wchar_t* diagnostic;  // besides "ProcessFun(%x)"; null for none
    Entries effects;
};

void PrintTo(const WordCase& c, std::ostream* out) { *out << WordName(c.word); }

class MediaKeys : public EventFixture, public ::testing::WithParamInterface<WordCase> {};

TEST_P(MediaKeys, WordGivesItsKeyTapAndDiagnostic)
{
    const WordCase& c = GetParam();
    DiagCapture capture;
    events.ProcessFun(c.word);
    EXPECT_EQ(journal.entries, c.effects);
    wchar_t header[32];
    std::swprintf(header, 32, L"ProcessFun(%x)\n", c.word);
    const auto lines = capture.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), header);
    if (c.diagnostic)
        EXPECT_TRUE(capture.Contains(c.diagnostic));
    else
        EXPECT_EQ(lines.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Words, MediaKeys,
    ::testing::Values(
        WordCase{0xB500, L"Next Track\n", {"tap B0 ext=1"}},
        WordCase{0xB600, L"Previous Track\n", {"tap B1 ext=1"}},
        WordCase{0xB700, L"Stop\n", {"tap B2 ext=1"}},
        WordCase{0xCD00, L"Windows Media Player \n", {"tap B3 ext=1"}},
        WordCase{0xE200, L"Mute\n", {"tap AD ext=0"}},
        WordCase{0xE900, L"VolumeCtrl up\n", {"tap AF ext=0", "timer start 10012 100"}},
        WordCase{0xEA00, L"VolumeCtrl down\n", {"tap AE ext=0", "timer start 10013 100"}},
        WordCase{0x0000, nullptr, {"timer stop 10012", "timer stop 10013"}},
        // Neighbours of real words and the high byte of a media word alone do nothing.
        WordCase{0x01F0, nullptr, {}}, WordCase{0x01F6, nullptr, {}}, WordCase{0xFD00, nullptr, {}},
        WordCase{0xFD0B, nullptr, {}}, WordCase{0x00B5, nullptr, {}}, WordCase{0xB501, nullptr, {}},
        WordCase{0xFFFF, nullptr, {}}),
    [](const ::testing::TestParamInfo<WordCase>& info) { return WordName(info.param.word); });

TEST_F(EventFixture, VolumeTimerTicksTapAgainOnlyForTheirOwnTimers)
{
    EXPECT_TRUE(events.OnTimer(TIMER_VOLUME_UP));
    EXPECT_TRUE(events.OnTimer(TIMER_VOLUME_DOWN));
    EXPECT_FALSE(events.OnTimer(1));
    EXPECT_FALSE(events.OnTimer(TIMER_JOB_STEP));
    EXPECT_FALSE(events.OnTimer(TIMER_REOPEN));
    EXPECT_EQ(journal.entries, (Entries{"tap AF ext=0", "tap AE ext=0"}));
}

TEST_F(EventFixture, UpThenDownWithoutReleaseRunsBothTimersUntilTheRelease)
{
    events.ProcessFun(0xE900);
    events.ProcessFun(0xEA00);
    events.ProcessFun(0x0000);
    EXPECT_EQ(journal.entries, (Entries{"tap AF ext=0", "timer start 10012 100", "tap AE ext=0",
                                        "timer start 10013 100", "timer stop 10012", "timer stop 10013"}));
}

struct ProfileKeyCase {
    uint16_t word;
    Entries effects;
};

void PrintTo(const ProfileKeyCase& c, std::ostream* out) { *out << WordName(c.word); }

class ProfileKeys : public EventFixture, public ::testing::WithParamInterface<ProfileKeyCase> {};

TEST_P(ProfileKeys, SwitchWritesAnnouncesAndShowsInTheKeyboardsOrder)
{
    settings.status = 1;
    DiagCapture capture;
    events.ProcessFun(GetParam().word);
    EXPECT_EQ(journal.entries, GetParam().effects);
    EXPECT_TRUE(capture.Contains(L"ControlProfile(BYTE lParam,int nProfileIndex)"));
    EXPECT_TRUE(capture.Contains(L"control profile............."));
}

Entries SwitchTo(int p, bool pcModeFirst)
{
    char set[32], write[64], editor[32], osd[32];
    std::snprintf(set, sizeof set, "set current %d", p);
    std::snprintf(write, sizeof write, "write config profile=%d status=1", p);
    std::snprintf(editor, sizeof editor, "editor profile %d", p);
    std::snprintf(osd, sizeof osd, "osd Profile %d", p + 1);
    Entries switched{set, write, editor, osd};
    if (pcModeFirst)
        switched.insert(switched.begin(), "write PC_MODE=0");
    else
        switched.push_back("write PC_MODE=0");
    return switched;
}

INSTANTIATE_TEST_SUITE_P(Words, ProfileKeys,
                         ::testing::Values(ProfileKeyCase{0x01F1, SwitchTo(0, true)},
                                           ProfileKeyCase{0x01F2, SwitchTo(1, true)},
                                           ProfileKeyCase{0x01F3, SwitchTo(2, true)},
                                           ProfileKeyCase{0x01F4, SwitchTo(3, false)},
                                           ProfileKeyCase{0x01F5, SwitchTo(4, false)}),
                         [](const ::testing::TestParamInfo<ProfileKeyCase>& info) { return WordName(info.param.word); });

TEST_F(EventFixture, LaunchKeysStartTheSlotProgramOfTheCurrentProfile)
{
    settings.current = 2;
    settings.Launch(2, 0, L"C:\\first.exe");
    settings.Launch(2, 4, L"C:\\fifth.exe");
    settings.Launch(2, 9, L"C:\\tenth.exe");
    settings.Launch(1, 4, L"C:\\other profile.exe");
    DiagCapture capture;
    events.ProcessFun(0xFD01);
    events.ProcessFun(0xFD05);
    events.ProcessFun(0xFD0A);
    EXPECT_EQ(journal.entries, (Entries{"start C:\\first.exe", "start C:\\fifth.exe", "start C:\\tenth.exe"}));
    EXPECT_TRUE(capture.Contains(L"LaunchAPP"));
}

TEST_F(EventFixture, LaunchKeyFollowsAProfileKeySwitch)
{
    settings.current = 0;
    settings.Launch(0, 1, L"C:\\zero.exe");
    settings.Launch(3, 1, L"C:\\three.exe");
    events.ProcessFun(0x01F4);
    journal.entries.clear();
    events.ProcessFun(0xFD02);
    EXPECT_EQ(journal.entries, (Entries{"start C:\\three.exe"}));
}

// A slot the file changed from launch to another function keeps its old "APP Path" in the
// records, and the keyboard may still send the launch word of its old table.
TEST_F(EventFixture, LaunchKeyOfASlotThatIsNoLongerALaunchStartsNothing)
{
    settings.current = 1;
    for (uint8_t function : {uint8_t(32), uint8_t(1), uint8_t(17), uint8_t(0), uint8_t(0xFF)}) {
        journal.entries.clear();
        settings.functions[{1, 3}] = function;
        settings.paths[{1, 3}] = L"C:\\old program.exe";
        DiagCapture capture;
        events.ProcessFun(0xFD04);
        EXPECT_TRUE(journal.entries.empty()) << int(function);
        EXPECT_TRUE(capture.Contains(L"slot 3 of profile 1 has function " + std::to_wstring(function) +
                                     L", not a program launch"))
            << int(function);
    }
}

TEST_F(EventFixture, LaunchKeyWithoutACurrentProfileStartsNothing)
{
    for (int current : {-1, 6, 255}) {
        settings.current = current;
        settings.Launch(current, 0, L"C:\\never.exe");
        DiagCapture capture;
        events.ProcessFun(0xFD01);
        EXPECT_TRUE(journal.entries.empty()) << current;
        EXPECT_TRUE(capture.Contains(L"no current profile")) << current;
    }
}

// The notice's pause is the window's timer, so other key events go on meanwhile.
TEST_F(EventFixture, DeviceNoticesShowOrHideTheIconAfterTheirPause)
{
    events.ProcessFun(0x00BE);
    events.ProcessFun(0xE200);
    EXPECT_EQ(journal.entries, (Entries{"timer start 10016 2000", "tap AD ext=0"}));
    journal.entries.clear();
    EXPECT_TRUE(events.OnTimer(TIMER_DEVICE_NOTICE));
    EXPECT_EQ(journal.entries, (Entries{"timer stop 10016", "tray remove", "editor close", "pause 100",
                                        "set status 0", "write config profile=0 status=0"}));
    journal.entries.clear();
    events.ProcessFun(0x00BD);
    EXPECT_TRUE(events.OnTimer(TIMER_DEVICE_NOTICE));
    EXPECT_EQ(journal.entries, (Entries{"timer start 10016 1000", "timer stop 10016", "tray add QELT", "settings load",
                                        "set status 1", "write config profile=0 status=1"}));
}

TEST_F(EventFixture, NewerDeviceNoticeReplacesAPendingOne)
{
    events.ProcessFun(0x00BE);
    events.ProcessFun(0x00BD);
    journal.entries.clear();
    events.OnTimer(TIMER_DEVICE_NOTICE);
    EXPECT_EQ(journal.entries, (Entries{"timer stop 10016", "tray add QELT", "settings load", "set status 1",
                                        "write config profile=0 status=1"}));
}

TEST_F(EventFixture, ShowingTheIconLoadsBeforeItWritesAndSaysSo)
{
    DiagCapture capture;
    status.StartTrayIcon(true);
    EXPECT_TRUE(capture.Contains(L"show icon and write device existing\n"));
    status.StartTrayIcon(false);
    EXPECT_TRUE(capture.Contains(L"Hide icon and write device NULL\n"));
}

// The keyboard went away: it sends no release word, so a held volume key stops at once.
TEST_F(EventFixture, KeyboardAwayStopsTheVolumeRepeat)
{
    events.ProcessFun(0xE900);
    events.ProcessFun(0xEA00);
    journal.entries.clear();
    events.ProcessFun(0x00BE);
    EXPECT_EQ(journal.entries, (Entries{"timer stop 10012", "timer stop 10013", "timer start 10016 2000"}));
}

// A volume word read just before the device closed and acted on after: one tap, no repeat.
TEST_F(EventFixture, VolumeKeyAfterTheDeviceClosedTapsOnceWithoutRepeat)
{
    link.open = false;
    events.ProcessFun(0xE900);
    EXPECT_EQ(journal.entries, (Entries{"tap AF ext=0"}));
}

TEST_F(EventFixture, StoppingDeviceActivityEndsVolumeRepeatAndDropsAPendingNotice)
{
    events.ProcessFun(0xE900);
    events.ProcessFun(0x00BD);
    journal.entries.clear();
    events.StopDeviceActivity();
    EXPECT_EQ(journal.entries, (Entries{"timer stop 10012", "timer stop 10016"}));
    journal.entries.clear();
    EXPECT_TRUE(events.OnTimer(TIMER_DEVICE_NOTICE));  // a tick already queued
    EXPECT_EQ(journal.entries, (Entries{"timer stop 10016"}));
    events.StopDeviceActivity();  // nothing left to stop
    EXPECT_EQ(journal.entries, (Entries{"timer stop 10016"}));
}

// A notice read before the device closed, acted on after: the icon stays hidden and DEVICEPSTATS
// is not written for a closed device.
TEST_F(EventFixture, NoticeForAClosedDeviceChangesNothing)
{
    events.ProcessFun(0x00BD);
    link.open = false;
    journal.entries.clear();
    DiagCapture capture;
    events.OnTimer(TIMER_DEVICE_NOTICE);
    EXPECT_EQ(journal.entries, (Entries{"timer stop 10016"}));
    EXPECT_TRUE(capture.Contains(L"keyboard notice dropped, the device is closed"));
}

// The keyboard's away notice hides the icon only once a running download has ended.
TEST_F(EventFixture, AwayNoticeDuringADownloadWaitsForItsEnd)
{
    requests.OnProcessAPMessage(AP_DOWNLOAD_PROFILE, 1);
    events.ProcessFun(0x00BE);
    journal.entries.clear();
    events.OnTimer(TIMER_DEVICE_NOTICE);
    EXPECT_EQ(journal.entries, (Entries{"timer stop 10016"}));
    for (int guard = 0; host.jobPause && guard < 100; ++guard)
        requests.OnTimer(TIMER_JOB_STEP);
    EXPECT_EQ(journal.entries.back(), "write config profile=0 status=0");
    const auto done = std::find(journal.entries.begin(), journal.entries.end(), "progress to 77 (0, 0)");
    const auto hidden = std::find(journal.entries.begin(), journal.entries.end(), "tray remove");
    EXPECT_LT(done, hidden);
}

} // namespace
