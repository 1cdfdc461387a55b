// The editor's command rules: what each command does to the image, the files, the agent and the
// dialogs, and in which order. The files and the window are fakes that write one journal.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "diag.h"
#include "editor_session.h"
#include "effect_journal.h"
#include "function_names.h"

using namespace qelt;
using Entries = std::vector<std::string>;

namespace {

using Journal = qelt::testing::EffectJournal;

const char* WarningName(WarningKind kind)
{
    switch (kind) {
    case WARN_RESET_PROFILE:
        return "reset";
    case WARN_NO_DEVICE:
        return "no device";
    case WARN_UNSAVED_CHANGES:
        return "unsaved";
    case WARN_APPLY_PROFILE:
        return "apply";
    case WARN_MACRO_FULL:
        return "macro full";
    }
    return "?";
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// A save that stops at file, with "access denied" (a folder of that name, a read-only file).
FileWriteResult FailureAt(const std::wstring& file)
{
    FileWriteResult result;
    result.failedPath = file;
    result.nError = 5;
    return result;
}

bool Logged(const Journal& journal, const std::string& entry)
{
    return std::find(journal.entries.begin(), journal.entries.end(), entry) != journal.entries.end();
}

std::string Slots(const std::vector<int>& slots)
{
    std::string text;
    for (const int slot : slots)
        text += (text.empty() ? "" : ",") + std::to_string(slot);
    return text;
}

// Every save records the current profile it saves, so the order against the display shows.
struct FakeFiles : EditorFiles {
    FakeFiles(Journal& journal, ProfileArray& profiles) : journal(journal), profiles(profiles) {}
    int IndexOf(const PROFILE_CONFIG& profile) const { return int(&profile - &profiles[0]); }

    // The files hold profile 2 as the current one, with M1 bound to key 5.
    bool Load(KB_CONFIG& keyboard, ProfileArray& all) override
    {
        const bool zeroed = keyboard.CurrantProfile == 0 && keyboard.nDeviceStatus == 0 &&
                            all[2].TButton[0].MappingKey == UNASSIGNED;
        journal.Add(zeroed ? "load" : "load over an image not made ready");
        keyboard.CurrantProfile = currentLoaded;
        keyboard.nDeviceStatus = deviceInFile;
        all[2].TButton[0].MappingKey = 5;
        all[2].TButton[0].FunID = 1;
        return configurationInFile;
    }
    FileWriteResult SaveAll(const KB_CONFIG& keyboard, const ProfileArray&) override
    {
        journal.Add("save all (current %d)", keyboard.CurrantProfile);
        return saveFailsAt.empty() ? FileWriteResult{} : FailureAt(saveFailsAt);
    }
    FileWriteResult SaveSelection(const KB_CONFIG& keyboard, const ProfileArray&) override
    {
        journal.Add("save selection (current %d)", keyboard.CurrantProfile);
        return saveFailsAt.empty() ? FileWriteResult{} : FailureAt(saveFailsAt);
    }
    void ReadConfig(KB_CONFIG& keyboard) override
    {
        journal.Add("read config");
        keyboard.CurrantProfile = currentInFile;
    }
    void ReloadProfile(int profile, ProfileArray&) override { journal.Add("reload profile %d", profile); }
    void DeleteAndResetProfile(int profile, ProfileArray& all) override
    {
        journal.Add("delete and reset profile %d", profile);
        ResetProfile(all[profile]);
    }
    FileWriteResult ExportProfile(const std::wstring& path, const PROFILE_CONFIG& profile) override
    {
        journal.Add("export profile %d to %s", IndexOf(profile), Narrow(path).c_str());
        return exportFails ? FailureAt(path) : FileWriteResult{};
    }
    ProfileImport ImportProfile(const std::wstring& path, PROFILE_CONFIG& profile) override
    {
        journal.Add("import %s into profile %d", Narrow(path).c_str(), IndexOf(profile));
        if (!importFileExists)
            return ProfileImport{ProfileImport::Outcome::NoFile, {}};
        if (!importFileHoldsProfile)
            return ProfileImport{ProfileImport::Outcome::NotAProfile, {}};
        profile.TButton[0].MappingKey = 5;  // the imported file binds slot M1 to key 5
        profile.TButton[0].FunID = 1;
        return ProfileImport{ProfileImport::Outcome::Imported, importOverlongPathSlots};
    }

    Journal& journal;
    ProfileArray& profiles;
    int currentLoaded = 2;  // by Load
    int currentInFile = 4;  // by ReadConfig, after the agent's change
    int deviceInFile = 1;
    bool configurationInFile = true;
    std::wstring saveFailsAt;  // every save fails at this file
    bool exportFails = false;
    bool importFileExists = true;
    bool importFileHoldsProfile = true;
    std::vector<int> importOverlongPathSlots;
};

// Warnings are answered from a list (OK when it runs out); downloads finish unless told not to.
struct FakeHost : EditorHost {
    explicit FakeHost(Journal& journal) : journal(journal) {}
    bool AskWarning(WarningKind kind) override
    {
        journal.Add("warning %s", WarningName(kind));
        if (answers.empty())
            return true;
        const bool ok = answers.front();
        answers.pop_front();
        return ok;
    }
    bool RunDownload(DownloadMode mode, int profile, int deviceStatus) override
    {
        journal.Add("download %s profile %d (device %d)", mode == DOWNLOAD_RESET ? "reset" : "write", profile,
                    deviceStatus);
        // The dialog's save request, as the window passes it on; a failed save ends the dialog.
        if (saveRequest && !saveRequest())
            return false;
        return downloadFinishes;
    }
    void PostToAgent(ApRequest request, int profile) override { journal.Add("post %d %d", int(request), profile); }
    std::optional<int> AskAgentDeviceStatus() override
    {
        journal.Add("ask agent device status");
        return agentDeviceStatus;
    }
    void StartAgent() override { journal.Add("start agent"); }
    std::wstring AskProfilePath(ProfileFileQuestion question) override
    {
        journal.Add(question == ProfileFileQuestion::Export ? "ask export path" : "ask import path");
        return path;
    }
    void ShowState() override { journal.Add("show"); }
    void TellSaveFailed(const FileWriteResult& failure) override
    {
        journal.Add("tell not saved %s (%lu)", Narrow(failure.failedPath).c_str(), failure.nError);
    }
    void TellExportFailed(const FileWriteResult& failure) override
    {
        journal.Add("tell not exported %s (%lu)", Narrow(failure.failedPath).c_str(), failure.nError);
    }
    void TellImportRefused(const std::wstring& file) override
    {
        journal.Add("tell no profile in %s", Narrow(file).c_str());
    }
    void TellProgramsDropped(const std::wstring& file, const std::vector<int>& slots) override
    {
        journal.Add("tell programs dropped from %s: slots %s", Narrow(file).c_str(), Slots(slots).c_str());
    }

    Journal& journal;
    std::deque<bool> answers;
    bool downloadFinishes = true;
    std::function<bool()> saveRequest;  // set: the download dialog asks for the save
    std::optional<int> agentDeviceStatus = 1;
    std::wstring path = L"C:\\p.Config";
};

// An editor open on profile 1 with the keyboard present. Table tests call SetUp again per case.
struct EditorCommandFixture : ::testing::Test {
    KB_CONFIG keyboard{};
    std::unique_ptr<PROFILE_CONFIG[]> storage{new PROFILE_CONFIG[PROFILE_COUNT]()};
    ProfileArray& profiles = *reinterpret_cast<ProfileArray*>(storage.get());
    Journal journal;
    FakeFiles files{journal, profiles};
    FakeHost host{journal};
    std::unique_ptr<MainWindowState> state;
    std::unique_ptr<EditorSession> session;

    void SetUp() override
    {
        InitNewConfiguration(keyboard, profiles, ProgramRole::Editor);
        keyboard.CurrantProfile = 1;
        keyboard.nDeviceStatus = 1;
        state = std::make_unique<MainWindowState>(keyboard, profiles, TestNames());
        session = std::make_unique<EditorSession>(keyboard, profiles, *state, files, host);
        session->SelectProfile(1);
        journal.entries.clear();
        host.answers.clear();
        host.downloadFinishes = true;
        host.path = L"C:\\p.Config";
        host.saveRequest = nullptr;
        host.agentDeviceStatus = 1;
        files.importFileExists = true;
        files.importFileHoldsProfile = true;
        files.importOverlongPathSlots.clear();
        files.deviceInFile = 1;
        files.currentLoaded = 2;
        files.currentInFile = 4;
        files.configurationInFile = true;
        files.saveFailsAt.clear();
        files.exportFails = false;
    }
    // The download dialog asks the window for the save, as the real one does.
    void SaveOnDownloadRequest()
    {
        host.saveRequest = [this] { return session->OnDownloadReady(); };
    }
    // Slot M3 of profile p has a key but no function: an apply releases it.
    void BindUnusedSlot(int p)
    {
        profiles[p].TButton[2].MappingKey = 9;
        profiles[p].TButton[2].FunID = FUN_NONE;
    }
    bool UnusedSlotReleased(int p) const { return profiles[p].TButton[2].MappingKey == UNASSIGNED; }
};

// Opening: an agent without the keyboard ends the editor before anything is shown or written; a
// missing agent is started and assumed to find the keyboard.
TEST_F(EditorCommandFixture, OpeningLoadsShowsTellsTheAgentOrEndsWithoutTheKeyboard)
{
    const Entries shown{"load", "save selection (current 2)", "show", "post 3 2"};
    const struct {
        const char* name;
        bool agentRunning;
        int deviceInFile;
        bool opens;
        bool startsAgent;
    } cases[] = {
        {"agent with keyboard", true, 1, true, false},
        {"agent without keyboard", true, 0, false, false},
        {"no agent, no keyboard in the file", false, 0, true, true},
        {"no agent, keyboard in the file", false, 1, true, true},
    };
    for (const auto& c : cases) {
        SetUp();
        keyboard.CurrantProfile = 4;  // what the editor held before: the load starts from zero
        state->m_bEditorModified = true;
        files.deviceInFile = c.deviceInFile;
        EXPECT_EQ(session->Open(c.agentRunning), c.opens) << c.name;
        Entries expected{"load", "warning no device"};
        if (c.opens) {
            expected = shown;
            if (c.startsAgent)
                expected.push_back("start agent");
            expected.push_back("show");
        }
        EXPECT_EQ(journal.entries, expected) << c.name;
        EXPECT_FALSE(session->Modified()) << c.name;
        if (!c.opens)
            continue;
        EXPECT_EQ(keyboard.nDeviceStatus, 1) << c.name;
        EXPECT_TRUE(state->ProfileButtonSelected(2)) << c.name;
        EXPECT_EQ(state->Slot(0).strCaption, L"name2") << c.name << ": labels show the loaded functions";
    }
}

TEST_F(EditorCommandFixture, ProfileButtonAppliesOrDropsPendingEditsBeforeItSwitches)
{
    const Entries switched{"save selection (current 3)", "show", "post 3 3", "show"};
    const struct {
        const char* name;
        bool modified;
        bool answerOk;
        int device;
        bool downloadFinishes;
        Entries before;    // the journal up to the switch
        bool switches;     // CurrantProfile becomes 3
        bool modifiedAfter;
    } cases[] = {
        {"no edits", false, true, 1, true, {}, true, false},
        {"apply, finished", true, true, 1, true, {"warning unsaved", "download write profile 1 (device 1)"}, true, false},
        {"apply, the agent did not finish", true, true, 1, false,
         {"warning unsaved", "download write profile 1 (device 1)"}, false, true},
        {"apply, no keyboard", true, true, 0, true,
         {"warning unsaved", "save all (current 1)", "warning no device"}, false, true},
        {"drop", true, false, 1, true, {"warning unsaved", "reload profile 1"}, true, false},
    };
    for (const auto& c : cases) {
        SetUp();
        state->m_bEditorModified = c.modified;
        keyboard.nDeviceStatus = c.device;
        host.answers = {c.answerOk};
        host.downloadFinishes = c.downloadFinishes;
        BindUnusedSlot(1);
        session->OnProfileButton(3);
        Entries expected = c.before;
        if (c.switches)
            expected.insert(expected.end(), switched.begin(), switched.end());
        EXPECT_EQ(journal.entries, expected) << c.name;
        EXPECT_EQ(keyboard.CurrantProfile, c.switches ? 3 : 1) << c.name;
        EXPECT_EQ(session->Modified(), c.modifiedAfter) << c.name;
        // Only an apply releases the slots without a function.
        EXPECT_EQ(UnusedSlotReleased(1), c.modified && c.answerOk) << c.name;
        EXPECT_EQ(state->ProfileButtonSelected(3), c.switches) << c.name;
    }
}

TEST_F(EditorCommandFixture, ApplyAndApplyAndCloseDownloadTheProfileAndMakeItCurrent)
{
    const struct {
        const char* name;
        bool closeAfter;
        bool answerOk;
        int profile;
        int device;
        bool downloadFinishes;
        Entries journal;
        bool closes;
        bool modifiedAfter;
        bool released;
    } cases[] = {
        {"apply cancelled", false, false, 1, 1, true, {"warning apply"}, false, true, false},
        {"apply", false, true, 1, 1, true,
         {"warning apply", "download write profile 1 (device 1)", "post 3 1", "show"}, false, false, true},
        {"apply & close", true, true, 1, 1, true, {"download write profile 1 (device 1)", "post 3 1", "show"}, true,
         false, true},
        {"apply & close, the agent did not finish", true, true, 1, 1, false, {"download write profile 1 (device 1)"},
         false, true, true},
        {"apply & close, no keyboard", true, true, 1, 0, true, {"save all (current 1)", "warning no device"}, false,
         false, true},
        {"apply in PC mode: saved, nothing is sent", false, true, PC_MODE_PROFILE, 1, true,
         {"warning apply", "save all (current 5)"}, false, false, true},
        {"apply & close in PC mode: saved, the editor stays", true, true, PC_MODE_PROFILE, 1, true,
         {"save all (current 5)"}, false, false, true},
    };
    for (const auto& c : cases) {
        SetUp();
        keyboard.CurrantProfile = c.profile;
        keyboard.nDeviceStatus = c.device;
        state->m_bEditorModified = true;
        host.answers = {c.answerOk};
        host.downloadFinishes = c.downloadFinishes;
        BindUnusedSlot(c.profile);
        EXPECT_EQ(session->OnApply(c.closeAfter), c.closes) << c.name;
        EXPECT_EQ(journal.entries, c.journal) << c.name;
        EXPECT_EQ(session->Modified(), c.modifiedAfter) << c.name;
        EXPECT_EQ(UnusedSlotReleased(c.profile), c.released) << c.name;
    }
}

TEST_F(EditorCommandFixture, AppliedProfileShowsEverySlotAsApplied)
{
    profiles[1].TButton[0].MappingKey = 5;
    profiles[1].TButton[0].FunID = 1;
    state->SelectSlot(0, false);
    ASSERT_TRUE(state->Slot(0).bLabelEnabled);
    EXPECT_TRUE(session->OnApply(true));
    EXPECT_FALSE(state->Slot(0).bLabelEnabled);
}

TEST_F(EditorCommandFixture, ResetClearsTheProfileShowsItThenResetsTheKeyboard)
{
    const struct {
        const char* name;
        bool answerOk;
        int device;
        Entries journal;
    } cases[] = {
        {"cancelled", false, 1, {"warning reset"}},
        {"keyboard", true, 1,
         {"warning reset", "delete and reset profile 1", "show", "download reset profile 1 (device 1)"}},
        {"no keyboard", true, 0,
         {"warning reset", "delete and reset profile 1", "show", "save all (current 1)", "warning no device"}},
    };
    for (const auto& c : cases) {
        SetUp();
        profiles[1].TButton[4].MappingKey = 7;
        profiles[1].TButton[4].FunID = 2;
        keyboard.nDeviceStatus = c.device;
        host.answers = {c.answerOk};
        session->OnReset();
        EXPECT_EQ(journal.entries, c.journal) << c.name;
        EXPECT_EQ(profiles[1].TButton[4].MappingKey == UNASSIGNED, c.answerOk) << c.name;
    }
}

TEST_F(EditorCommandFixture, ExportWritesTheShownProfileToTheChosenFile)
{
    state->SelectSlot(2, false);
    session->OnExport();
    EXPECT_EQ(journal.entries, (Entries{"show", "ask export path", "export profile 1 to C:\\p.Config"}));
    EXPECT_EQ(state->SelectedSlot(), -1) << "no slot stays selected";

    SetUp();
    host.path.clear();
    session->OnExport();
    EXPECT_EQ(journal.entries, (Entries{"show", "ask export path"}));
}

TEST_F(EditorCommandFixture, ImportReadsTheFileIntoTheShownProfileAndMarksItModified)
{
    session->OnImport();
    EXPECT_EQ(journal.entries, (Entries{"show", "ask import path", "import C:\\p.Config into profile 1", "show"}));
    EXPECT_TRUE(session->Modified());
    EXPECT_EQ(state->Key(5).nLabelSlot, 0) << "the imported binding is shown";

    SetUp();
    host.path.clear();
    session->OnImport();
    EXPECT_EQ(journal.entries, (Entries{"show", "ask import path"}));
    EXPECT_FALSE(session->Modified());

    SetUp();
    files.importFileExists = false;
    DiagCapture capture;
    session->OnImport();
    EXPECT_EQ(journal.entries, (Entries{"show", "ask import path", "import C:\\p.Config into profile 1"}));
    EXPECT_FALSE(session->Modified());
    EXPECT_TRUE(capture.Contains(L"ERROR: profile file C:\\p.Config does not exist, nothing imported\n"));
}

// Opening without a Config.config to read: the record's device status is no one's, so a running
// agent is asked for its own; an agent that does not answer is not taken as "no keyboard".
TEST_F(EditorCommandFixture, OpeningANewConfigurationTakesTheDeviceStatusFromTheAgent)
{
    const struct {
        const char* name;
        bool configurationInFile;
        bool agentRunning;
        int deviceInFile;
        std::optional<int> agentAnswer;
        bool asks;
        bool opens;
        const wchar_t* diagnostic;
    } cases[] = {
        {"new configuration, agent with keyboard", false, true, 0, 1, true, true, nullptr},
        {"new configuration, agent without keyboard", false, true, 1, 0, true, false, nullptr},
        {"new configuration, agent silent", false, true, 0, std::nullopt, true, true,
         L"The agent did not report its device status: the keyboard is taken as present\n"},
        {"new configuration, no agent", false, false, 0, 0, false, true, nullptr},
        {"configuration read: the file's status counts", true, true, 0, 1, false, false, nullptr},
    };
    for (const auto& c : cases) {
        SetUp();
        files.configurationInFile = c.configurationInFile;
        files.deviceInFile = c.deviceInFile;
        host.agentDeviceStatus = c.agentAnswer;
        DiagCapture capture;
        EXPECT_EQ(session->Open(c.agentRunning), c.opens) << c.name;
        ASSERT_GE(journal.entries.size(), 2u) << c.name;
        EXPECT_EQ(journal.entries[1] == "ask agent device status", c.asks) << c.name;
        EXPECT_EQ(Logged(journal, "warning no device"), !c.opens) << c.name;
        if (c.opens) {
            EXPECT_EQ(keyboard.nDeviceStatus, 1) << c.name << ": the status the next save writes";
            // The status is learned before the first save, which writes it.
            EXPECT_EQ(journal.entries[c.asks ? 2 : 1], "save selection (current 2)") << c.name;
        } else {
            EXPECT_FALSE(Logged(journal, "save selection (current 2)")) << c.name << ": nothing is written";
        }
        if (c.diagnostic != nullptr) {
            EXPECT_TRUE(capture.Contains(c.diagnostic)) << c.name;
        }
    }
}

// A save that does not write every file: the user is told (the file and why), the download does
// not run (the agent would send the files as they were), and the edits stay pending.
TEST_F(EditorCommandFixture, AFailedSaveIsToldStopsTheDownloadAndKeepsTheEditsPending)
{
    const std::string told = "tell not saved C:\\Mivo\\Profile1 (5)";
    const struct {
        const char* name;
        int profile;
        int device;
        std::function<void(EditorSession&)> command;
        Entries journal;
        int currentAfter;
    } cases[] = {
        {"apply", 1, 1, [](EditorSession& s) { EXPECT_FALSE(s.OnApply(false)); },
         {"warning apply", "download write profile 1 (device 1)", "save all (current 1)", told}, 1},
        {"apply & close: the editor stays", 1, 1, [](EditorSession& s) { EXPECT_FALSE(s.OnApply(true)); },
         {"download write profile 1 (device 1)", "save all (current 1)", told}, 1},
        {"apply without the keyboard: no warning about it", 1, 0, [](EditorSession& s) { s.OnApply(false); },
         {"warning apply", "save all (current 1)", told}, 1},
        {"apply in PC mode", PC_MODE_PROFILE, 1, [](EditorSession& s) { s.OnApply(false); },
         {"warning apply", "save all (current 5)", told}, PC_MODE_PROFILE},
        {"profile button, apply first: the profile stays", 1, 1, [](EditorSession& s) { s.OnProfileButton(3); },
         {"warning unsaved", "download write profile 1 (device 1)", "save all (current 1)", told}, 1},
        {"reset", 1, 1, [](EditorSession& s) { s.OnReset(); },
         {"warning reset", "delete and reset profile 1", "show", "download reset profile 1 (device 1)",
          "save all (current 1)", told},
         1},
        {"reset without the keyboard", 1, 0, [](EditorSession& s) { s.OnReset(); },
         {"warning reset", "delete and reset profile 1", "show", "save all (current 1)", told}, 1},
    };
    for (const auto& c : cases) {
        SetUp();
        keyboard.CurrantProfile = c.profile;
        keyboard.nDeviceStatus = c.device;
        state->m_bEditorModified = true;
        files.saveFailsAt = L"C:\\Mivo\\Profile1";
        SaveOnDownloadRequest();
        c.command(*session);
        EXPECT_EQ(journal.entries, c.journal) << c.name;
        EXPECT_TRUE(session->Modified()) << c.name;
        EXPECT_EQ(keyboard.CurrantProfile, c.currentAfter) << c.name;
        EXPECT_FALSE(Logged(journal, "post 3 1")) << c.name << ": no set-profile after a failed save";
    }

    // The same commands with every file written: the download runs after the save.
    SetUp();
    state->m_bEditorModified = true;
    SaveOnDownloadRequest();
    EXPECT_TRUE(session->OnApply(true));
    EXPECT_EQ(journal.entries,
              (Entries{"download write profile 1 (device 1)", "save all (current 1)", "post 3 1", "show"}));
    EXPECT_FALSE(session->Modified());
}

TEST_F(EditorCommandFixture, ASelectionThatIsNotSavedIsTold)
{
    files.saveFailsAt = L"C:\\Mivo\\Config.config";
    session->SelectProfile(2);
    EXPECT_EQ(journal.entries, (Entries{"save selection (current 2)", "tell not saved C:\\Mivo\\Config.config (5)", "show"}));
}

TEST_F(EditorCommandFixture, AnExportThatIsNotWrittenIsTold)
{
    files.exportFails = true;
    session->OnExport();
    EXPECT_EQ(journal.entries, (Entries{"show", "ask export path", "export profile 1 to C:\\p.Config",
                                        "tell not exported C:\\p.Config (5)"}));
}

// A file that holds no profile is refused and changes nothing; a file whose program paths are too
// long is taken, and the user learns which slots have no program.
TEST_F(EditorCommandFixture, ImportRefusesAFileWithoutAProfileAndTellsOfDroppedPrograms)
{
    files.importFileHoldsProfile = false;
    session->OnImport();
    EXPECT_EQ(journal.entries, (Entries{"show", "ask import path", "import C:\\p.Config into profile 1",
                                        "tell no profile in C:\\p.Config"}));
    EXPECT_FALSE(session->Modified());
    EXPECT_EQ(state->Key(5).nLabelSlot, -1) << "nothing of the file is shown";

    SetUp();
    files.importOverlongPathSlots = {2, 7};
    session->OnImport();
    EXPECT_EQ(journal.entries, (Entries{"show", "ask import path", "import C:\\p.Config into profile 1", "show",
                                        "tell programs dropped from C:\\p.Config: slots 2,7"}));
    EXPECT_TRUE(session->Modified());
    EXPECT_EQ(state->Key(5).nLabelSlot, 0) << "the rest of the file is taken";
}

// The agent's notice: the file decides the profile, not the message's wParam.
TEST_F(EditorCommandFixture, ProfileChangedReadsTheConfigurationAndShowsItsProfileOnlyWhenAsked)
{
    const struct {
        long reason;
        Entries journal;
        bool shown;
    } cases[] = {
        {long(PROFILE_CHANGED_RELOAD), {"read config", "show"}, true},
        {long(PROFILE_CHANGED_READ_ONLY), {"read config"}, false},
        {0, {}, false},
        {long(PROFILE_CHANGED_READ_ONLY) + 1, {}, false},
    };
    for (const auto& c : cases) {
        SetUp();
        DiagCapture capture;
        session->OnProfileChanged(c.reason);
        EXPECT_EQ(journal.entries, c.journal) << c.reason;
        EXPECT_EQ(state->ProfileButtonSelected(4), c.shown) << c.reason;
        EXPECT_EQ(capture.Contains(L"OnMessageProcessFun lParam==WM_USER+1 keyboard_config.CurrantProfile = 4\n"),
                  c.shown)
            << c.reason;
    }
}

// A profile key on the keyboard while profile 1 has edits: the agent has made profile 4 current
// and written it to Config.config. The edits are profile 1's: applied (its download, the files
// keeping profile 4) or dropped (profile 1's file read again) before profile 4 is shown; an apply
// that does not reach the keyboard keeps profile 1 shown with its edits.
TEST_F(EditorCommandFixture, ProfileChangedByTheAgentSettlesPendingEditsOfTheShownProfileFirst)
{
    const struct {
        const char* name;
        bool modified;
        int currentInFile;
        bool answerOk;
        int device;
        bool downloadFinishes;
        Entries journal;
        int shown;
        bool modifiedAfter;
    } cases[] = {
        {"no edits", false, 4, true, 1, true, {"read config", "show"}, 4, false},
        {"edits applied", true, 4, true, 1, true,
         {"read config", "warning unsaved", "download write profile 1 (device 1)", "save all (current 4)", "post 3 4",
          "show"},
         4, false},
        {"edits dropped", true, 4, false, 1, true, {"read config", "warning unsaved", "reload profile 1", "show"}, 4,
         false},
        {"apply, the agent did not finish", true, 4, true, 1, false,
         {"read config", "warning unsaved", "download write profile 1 (device 1)", "save all (current 4)"}, 1, true},
        {"apply, no keyboard", true, 4, true, 0, true,
         {"read config", "warning unsaved", "save all (current 4)", "warning no device"}, 1, true},
        {"the agent names the shown profile", true, 1, true, 1, true, {"read config", "show"}, 1, true},
    };
    for (const auto& c : cases) {
        SetUp();
        state->m_bEditorModified = c.modified;
        keyboard.nDeviceStatus = c.device;
        files.currentInFile = c.currentInFile;
        host.answers = {c.answerOk};
        host.downloadFinishes = c.downloadFinishes;
        SaveOnDownloadRequest();
        profiles[1].TButton[6].FunID = FUN_CTRL_V;  // the edit: M7 is Ctrl+V
        profiles[4].TButton[6].FunID = FUN_CTRL_Z;
        session->OnProfileChanged(long(PROFILE_CHANGED_RELOAD));
        EXPECT_EQ(journal.entries, c.journal) << c.name;
        EXPECT_EQ(keyboard.CurrantProfile, c.shown) << c.name;
        EXPECT_EQ(session->Modified(), c.modifiedAfter) << c.name;
        for (int p = 0; p < USER_PROFILE_COUNT; ++p)
            EXPECT_EQ(state->ProfileButtonSelected(p), p == c.shown) << c.name << ", button " << p;
        if (c.shown == 4)
            EXPECT_EQ(state->Slot(6).strCaption, L"name5") << c.name << ": profile 4's labels";
        else
            EXPECT_NE(state->Slot(6).strCaption, L"name5") << c.name << ": profile 4's labels";
    }
}

// A Config.config without a valid CURRENTPROFILE (-1 when the key is missing) stands for profile
// 0: shown, told to the agent, downloaded, reset and written back as 0.
TEST_F(EditorCommandFixture, ProfileOutsideZeroToFiveIsProfileZeroEverywhere)
{
    for (const int inFile : {-1, 6, 99, INT_MIN}) {
        SetUp();
        files.currentLoaded = inFile;
        DiagCapture capture;
        ASSERT_TRUE(session->Open(true)) << inFile;
        EXPECT_EQ(journal.entries, (Entries{"load", "save selection (current 0)", "show", "post 3 0", "show"}))
            << inFile;
        EXPECT_TRUE(state->ProfileButtonSelected(0)) << inFile;
        EXPECT_TRUE(capture.Contains(L"out of range, using profile 0\n")) << inFile;

        journal.entries.clear();
        SaveOnDownloadRequest();
        EXPECT_FALSE(session->OnApply(false)) << inFile;
        EXPECT_EQ(journal.entries, (Entries{"warning apply", "download write profile 0 (device 1)",
                                            "save all (current 0)", "post 3 0", "show"}))
            << inFile;

        journal.entries.clear();
        session->OnReset();
        EXPECT_EQ(journal.entries, (Entries{"warning reset", "delete and reset profile 0", "show",
                                            "download reset profile 0 (device 1)", "save all (current 0)"}))
            << inFile;

        // The agent's notice of such a file: profile 0 too, with or without the display.
        for (const long reason : {long(PROFILE_CHANGED_RELOAD), long(PROFILE_CHANGED_READ_ONLY)}) {
            keyboard.CurrantProfile = 3;
            files.currentInFile = inFile;
            session->OnProfileChanged(reason);
            EXPECT_EQ(keyboard.CurrantProfile, 0) << inFile << ", reason " << reason;
        }
    }
}

TEST_F(EditorCommandFixture, SelectingAProfileShowsItAndSavesTheSelection)
{
    session->SelectProfile(2);
    EXPECT_EQ(journal.entries, (Entries{"save selection (current 2)", "show"}));
    EXPECT_TRUE(state->ProfileButtonSelected(2));
    EXPECT_FALSE(state->ProfileButtonSelected(1));

    journal.entries.clear();
    session->OnDownloadReady();
    EXPECT_EQ(journal.entries, (Entries{"save all (current 2)"}));
}

} // namespace
