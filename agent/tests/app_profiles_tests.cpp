// The program profiles inside the agent: front-window changes, profile keys, the editor's and
// qeltctl's requests, rule reloads and session or keyboard changes, with the journal of what
// reached the configuration, the editor, the display and the keyboard.
#include "agent_core.h"
#include "agent_fakes.h"
#include "agent_protocol.h"
#include "diag.h"
#include "profile_records.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace qelt;
using namespace qelt::testing;
using Entries = std::vector<std::string>;

namespace {

constexpr unsigned kSessionLock = 7;
constexpr unsigned kSessionUnlock = 8;
constexpr uint16_t kKeyboardAway = 0x00BE;

class FakeFrontWatch : public FrontWindowWatch {
public:
    explicit FakeFrontWatch(Journal& journal) : m_journal(journal) {}
    void Start() override { m_journal.Add("watch start"); }
    void Stop() override { m_journal.Add("watch stop"); }
    FrontWindow Query() override { return front; }
    FrontWindow front;

private:
    Journal& m_journal;
};

class FakeRulesStore : public AppRulesStore {
public:
    AppRules Read() override
    {
        ++reads;
        return rules;
    }
    AppRules rules;
    int reads = 0;
};

AppRules GameRules()
{
    AppRules rules;
    rules.AddOrReplace({L"game1.exe", L"", 1});  // profile 2
    rules.AddOrReplace({L"game2.exe", L"", 3});  // profile 4
    return rules;
}

const FrontWindow kGame1{L"C:\\Games\\game1.exe", L"Game One"};
const FrontWindow kGame2{L"C:\\Games\\game2.exe", L"Game Two"};
const FrontWindow kNotepad{L"C:\\windows\\notepad.exe", L"Untitled - Notepad"};

// What a profile change by the follower shows, then its request on the keyboard's queue.
Entries SwitchEntries(int profile)
{
    char current[32], config[64], editor[32], osd[32];
    std::snprintf(current, sizeof current, "set current %d", profile);
    std::snprintf(config, sizeof config, "write config profile=%d status=1", profile);
    std::snprintf(editor, sizeof editor, "editor profile %d", profile);
    std::snprintf(osd, sizeof osd, "osd Profile %d", profile + 1);
    return {current, config, editor, osd, current};
}

struct AppProfilesFixture : ::testing::Test {
    Journal journal;
    FakeHost host{journal};
    FakePeers peers{journal};
    FakeTray tray{journal};
    FakeSettings settings{journal};
    FakeLink link{journal};
    FakeFrontWatch watch{journal};
    FakeRulesStore store;
    DeviceStatus status{tray, settings, peers, host};
    RequestHandler requests{link, settings, peers, host};
    EventActions events{host, peers, settings, status, requests, link};
    SessionMonitor session{link, status, host, events, requests};
    AppProfiles apps{store, watch, settings, events, requests, status, session};

    AppProfilesFixture()
    {
        // Wired as the agent's window wires them.
        status.OnChange([this] { apps.Refresh(); });
        events.OnProfileKey([this](int profile) { apps.OnProfileKey(profile); });
        store.rules = GameRules();
    }

    void StartAgent()
    {
        session.Start();
        apps.Start();
    }

    void Front(const FrontWindow& front)
    {
        watch.front = front;
        apps.OnFrontChanged();
    }

    // The window's loop: job timer ticks until no job runs.
    void RunJobs()
    {
        for (int guard = 0; host.jobPause && guard < 1000; ++guard) {
            host.now += *host.jobPause;
            requests.OnTimer(TIMER_JOB_STEP);
        }
    }

    // The profiles the keyboard was asked to make current, in order.
    std::vector<int> KeyboardRequests() const
    {
        std::vector<int> sent;
        for (const std::string& entry : journal.entries)
            if (entry.rfind("link set current ", 0) == 0)
                sent.push_back(std::stoi(entry.substr(17)));
        return sent;
    }

    // The journal from the first entry that starts with `prefix` on.
    Entries From(const std::string& prefix) const
    {
        auto first = std::find_if(journal.entries.begin(), journal.entries.end(),
                                  [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
        return Entries(first, journal.entries.end());
    }
};

TEST_F(AppProfilesFixture, RuledProgramsSwitchTheKeyboardAndOthersReturnToTheUsersProfile)
{
    settings.current = 2;  // the user's profile 3
    StartAgent();
    journal.entries.clear();

    Front(kGame1);
    Entries expected = SwitchEntries(1);
    expected.push_back("link set current 1");
    EXPECT_EQ(journal.entries, expected);
    RunJobs();

    Front(kGame2);
    RunJobs();
    Front(kNotepad);  // no rule: the user's profile, not game2's
    RunJobs();
    Front({kNotepad.program, L"notes.txt - Notepad"});  // a title change only
    Front(kGame1);
    RunJobs();
    EXPECT_EQ(KeyboardRequests(), (std::vector<int>{1, 3, 2, 1}));
    EXPECT_EQ(settings.current, 1);
}

TEST_F(AppProfilesFixture, ChangesDuringARunningRequestWaitAndTheNewestWins)
{
    StartAgent();
    Front(kGame1);                  // its request runs (pause pending)
    Front(kGame2);                  // waits
    Front(kNotepad);                // replaces game2's waiting request: back to profile 1
    Front(kGame2);                  // replaces it again
    RunJobs();
    EXPECT_EQ(KeyboardRequests(), (std::vector<int>{1, 3}));
    EXPECT_EQ(settings.current, 3);
}

TEST_F(AppProfilesFixture, NoRequestWhenTheRuledProfileIsAlreadyCurrent)
{
    settings.current = 1;  // game1's profile chosen by the user
    StartAgent();
    journal.entries.clear();
    Front(kGame1);
    Front(kNotepad);
    EXPECT_TRUE(journal.entries.empty());
}

TEST_F(AppProfilesFixture, AProfileKeyWhileARuledProgramIsInFrontWinsUntilTheProgramChanges)
{
    StartAgent();
    Front(kGame1);
    RunJobs();
    journal.entries.clear();
    events.ProcessFun(0x01F5);  // profile key 5: the keyboard switched itself, no request
    Front({kGame1.program, L"Game One - Menu"});
    RunJobs();
    EXPECT_TRUE(KeyboardRequests().empty());
    Front(kNotepad);  // the key's profile is the user's choice now: already current
    EXPECT_TRUE(KeyboardRequests().empty());
    Front(kGame1);    // the rule again
    RunJobs();
    EXPECT_EQ(KeyboardRequests(), (std::vector<int>{1}));
    journal.entries.clear();
    Front(kNotepad);  // back to the key's profile 5
    RunJobs();
    EXPECT_EQ(KeyboardRequests(), (std::vector<int>{4}));
}

TEST_F(AppProfilesFixture, SetProfileRequestsAreTheUsersChoiceUnlessTheyRestateTheCurrentProfile)
{
    StartAgent();
    Front(kGame1);  // profile 2 by its rule
    RunJobs();
    // The editor opening restates the current profile: not a choice, notepad returns to profile 1.
    apps.OnProcessAPMessage(AP_SET_PROFILE, 1);
    RunJobs();
    Front(kNotepad);
    RunJobs();
    // qeltctl profile 3 while notepad is in front: the profile to return to from now on.
    apps.OnProcessAPMessage(AP_SET_PROFILE, 2);
    RunJobs();
    Front(kGame2);
    RunJobs();
    Front(kNotepad);
    RunJobs();
    Front(kGame2);
    RunJobs();
    // Chosen in the editor while game2 is in front: it wins over game2's rule.
    apps.OnProcessAPMessage(AP_SET_PROFILE, 0);
    RunJobs();
    Front({kGame2.program, L"Game Two - Level 2"});
    RunJobs();
    EXPECT_EQ(KeyboardRequests(), (std::vector<int>{1, 1, 0, 2, 3, 2, 3, 0}));
    // Out-of-range requests are no choice and change nothing.
    journal.entries.clear();
    apps.OnProcessAPMessage(AP_SET_PROFILE, 9);
    apps.OnProcessAPMessage(AP_SET_PROFILE, -1);
    Front(kNotepad);
    EXPECT_TRUE(KeyboardRequests().empty());
}

// PC mode is the user's last choice: game1 in front takes its rule's profile, then notepad (no
// rule) returns to PC mode as choosing PC mode makes it current: the configuration and the editor
// follow, the display shows no "Profile 6", PC_MODE is left alone, and the keyboard gets PC mode's
// request (number 0 on the wire). From there a rule switches as usual.
void ExpectReturnToPcMode(AppProfilesFixture& f)
{
    f.Front(kGame1);
    f.RunJobs();
    f.journal.entries.clear();
    f.Front(kNotepad);
    EXPECT_EQ(f.journal.entries, (Entries{"set current 5", "write config profile=5 status=1", "editor profile 5",
                                          "set current 5", "link set current 5"}));
    f.RunJobs();
    EXPECT_EQ(f.settings.current, PC_MODE_PROFILE);
    f.Front(kGame2);
    f.RunJobs();
    EXPECT_EQ(f.KeyboardRequests(), (std::vector<int>{5, 3}));
    EXPECT_EQ(f.settings.current, 3);
}

TEST_F(AppProfilesFixture, AReturnToPcModeCurrentAtStartDoesWhatChoosingPcModeDoes)
{
    settings.current = PC_MODE_PROFILE;
    watch.front = kNotepad;
    StartAgent();
    ExpectReturnToPcMode(*this);
}

TEST_F(AppProfilesFixture, AReturnToPcModeChosenByRequestDoesWhatChoosingPcModeDoes)
{
    watch.front = kNotepad;
    StartAgent();
    apps.OnProcessAPMessage(AP_SET_PROFILE, PC_MODE_PROFILE);  // qeltctl profile pc
    RunJobs();
    ExpectReturnToPcMode(*this);
}

TEST_F(AppProfilesFixture, TheWatchRunsOnlyWithRulesAnActiveSessionAndAnOpenKeyboard)
{
    store.rules = AppRules();
    StartAgent();
    EXPECT_EQ(From("watch"), Entries{});  // no rules: nothing watches the front window

    // qeltctl app add game1.exe 2 while game1 is in front.
    watch.front = kGame1;
    store.rules = GameRules();
    journal.entries.clear();
    EXPECT_EQ(apps.OnProcessAPMessage(AP_RELOAD_APP_PROFILES, 0), PROTOCOL_ANSWER);
    ASSERT_FALSE(journal.entries.empty());
    EXPECT_EQ(journal.entries.front(), "watch start");
    RunJobs();
    EXPECT_EQ(KeyboardRequests(), (std::vector<int>{1}));

    // Locked: the watch stops at once; unlocked: it starts again once the keyboard is open and
    // the window in front counts as new.
    journal.entries.clear();
    session.OnSessionChange(kSessionLock);
    apps.Refresh();
    EXPECT_EQ(journal.entries.back(), "watch stop");
    EXPECT_FALSE(apps.Watching());
    apps.OnFrontChanged();  // a poll tick queued before the stop
    settings.current = 0;   // meanwhile the editor made profile 1 current
    session.OnSessionChange(kSessionUnlock);
    apps.Refresh();
    EXPECT_FALSE(apps.Watching());  // the keyboard opens only after the reopen pause
    session.OnTimer(TIMER_REOPEN);
    EXPECT_TRUE(apps.Watching());
    RunJobs();
    EXPECT_EQ(KeyboardRequests(), (std::vector<int>{1}));

    // The keyboard goes away: no following until it is back.
    events.ProcessFun(kKeyboardAway);
    events.OnTimer(TIMER_DEVICE_NOTICE);
    EXPECT_FALSE(apps.Watching());

    // All rules removed: no watch even with the keyboard back.
    store.rules = AppRules();
    apps.OnProcessAPMessage(AP_RELOAD_APP_PROFILES, 0);
    events.ProcessFun(0x00BD);
    events.OnTimer(TIMER_DEVICE_NOTICE);
    EXPECT_FALSE(apps.Watching());
    EXPECT_EQ(store.reads, 3);
}

TEST_F(AppProfilesFixture, RemovingTheRuleOfTheProgramInFrontReturnsToTheUsersProfileAndStops)
{
    settings.current = 2;
    StartAgent();
    Front(kGame1);
    RunJobs();
    journal.entries.clear();
    store.rules = AppRules();
    apps.OnProcessAPMessage(AP_RELOAD_APP_PROFILES, 0);
    RunJobs();
    EXPECT_EQ(KeyboardRequests(), (std::vector<int>{2}));
    EXPECT_NE(std::find(journal.entries.begin(), journal.entries.end(), "watch stop"), journal.entries.end());
    EXPECT_FALSE(apps.Watching());
}

TEST_F(AppProfilesFixture, OtherRequestsPassThroughUnchanged)
{
    StartAgent();
    journal.entries.clear();
    EXPECT_EQ(apps.OnProcessAPMessage(AP_RELOAD_SETTINGS, 0), 1);
    EXPECT_EQ(journal.entries, (Entries{"settings load"}));
    EXPECT_EQ(store.reads, 1);
}

} // namespace
