// The main window's display logic: what keys, slots and profile buttons show for a profile, and
// how selecting slots, binding keys and choosing functions change the profile and the look.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <memory>

#include "function_names.h"
#include "layout_data.h"
#include "main_window_state.h"

using namespace qelt;

namespace {

// A configuration on profile 1 and the state of a freshly opened main window over it.
struct MainWindowFixture : ::testing::Test {
    KB_CONFIG keyboard{};
    std::unique_ptr<PROFILE_CONFIG[]> storage{new PROFILE_CONFIG[PROFILE_COUNT]()};
    ProfileArray& profiles = *reinterpret_cast<ProfileArray*>(storage.get());
    std::unique_ptr<MainWindowState> state;

    void SetUp() override
    {
        InitNewConfiguration(keyboard, profiles, ProgramRole::Editor);
        keyboard.CurrantProfile = 1;
        state = std::make_unique<MainWindowState>(keyboard, profiles, TestNames());
    }
    BUTTON_CONFIG& Slot(int s) { return profiles[1].TButton[s]; }
    void Bind(int slot, int key, uint8_t funId)
    {
        Slot(slot).MappingKey = uint8_t(key);
        Slot(slot).FunID = funId;
    }
    // The first display: profile shown, every slot shown once, labels set.
    void Open()
    {
        state->SetProfileButtons(keyboard.CurrantProfile);
        state->RefreshKeyDisplay();
        state->ShowSlotStates(-1);
        for (int s = 0; s < BUTTON_COUNT; ++s)
            state->SelectSlot(s, true);
        state->RefreshSlotLabels();
    }
    int EnabledKeys() const
    {
        int count = 0;
        for (int k = 0; k < KEY_COUNT; ++k)
            count += state->Key(k).bEnabled ? 1 : 0;
        return count;
    }
};

// Field by field: the records have padding a byte compare would read.
bool SameMacro(const MACRO_DATA& a, const MACRO_DATA& b)
{
    return a.length == b.length && a.RepeatOption == b.RepeatOption &&
           std::memcmp(a.Steps, b.Steps, sizeof a.Steps) == 0;
}
bool SameSlot(const BUTTON_CONFIG& a, const BUTTON_CONFIG& b)
{
    return a.FunID == b.FunID && a.MappingKey == b.MappingKey && std::wcscmp(a.AppPath, b.AppPath) == 0 &&
           SameMacro(a.Macro, b.Macro);
}

TEST_F(MainWindowFixture, ProfileShowsItsBoundKeysLabelledAndNoKeyClickable)
{
    Bind(0, 5, FUN_CTRL_C);
    Bind(2, 7, FUN_MACRO);
    Bind(4, 200, FUN_CTRL_X);  // beyond the picture: shown as unbound
    Open();

    EXPECT_EQ(state->Key(5).nLabelSlot, 0);
    EXPECT_EQ(state->Key(7).nLabelSlot, 2);
    EXPECT_TRUE(state->Key(5).bSelected);
    EXPECT_EQ(EnabledKeys(), 0);
    EXPECT_EQ(state->SelectedSlot(), -1);
    EXPECT_EQ(state->BlinkTimer(), 0u);
    EXPECT_TRUE(state->Slot(0).bSlotSelected);
    EXPECT_TRUE(state->Slot(2).bSlotSelected);
    EXPECT_FALSE(state->Slot(1).bSlotSelected);
    EXPECT_TRUE(state->Slot(4).bSlotSelected) << "a slot with a function is lit, key or not";
    for (int k = 0; k < KEY_COUNT; ++k)
        EXPECT_NE(state->Key(k).nLabelSlot, 4) << "key " << k;
    EXPECT_EQ(state->Slot(0).strCaption, L"name3");  // Ctrl+C is menu item 3
    EXPECT_EQ(state->Slot(2).strCaption, L"name1");
    EXPECT_EQ(state->Slot(1).strCaption, L"name0");
    for (int s = 0; s < BUTTON_COUNT; ++s)
        EXPECT_FALSE(state->Slot(s).bLabelEnabled) << "slot " << s;
}

TEST_F(MainWindowFixture, FunctionNamesByCode)
{
    const struct {
        uint8_t funId;
        int name;
    } cases[] = {{FUN_NONE, 0}, {0, 0}, {FUN_CTRL_X, 2}, {FUN_CTRL_S, 10}, {FUN_LAUNCH_APP, 11},
                 {FUN_DISABLE_KEY, 12}, {FUN_MACRO, 1}, {10, 0}, {0x30, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(FunctionNameIndex(c.funId), c.name) << int(c.funId);
}

TEST_F(MainWindowFixture, DisabledKeySlotShowsGreyedLabel)
{
    Bind(3, 9, FUN_DISABLE_KEY);
    Open();
    EXPECT_TRUE(state->Slot(3).bLabelGreyed);
    EXPECT_EQ(state->Slot(3).strCaption, L"name12");
}

TEST_F(MainWindowFixture, EditingASlotFreesOtherKeysAndChoosesItsBlink)
{
    Bind(0, 5, FUN_CTRL_C);
    Bind(1, 6, FUN_MACRO);
    Open();

    state->SelectSlot(0, false);
    EXPECT_EQ(state->SelectedSlot(), 0);
    EXPECT_EQ(state->BlinkTimer(), TIMER_BLINK_KEY);  // a key and a function: slot and key blink
    EXPECT_TRUE(state->Slot(0).bLabelEnabled);
    EXPECT_FALSE(state->Key(5).bEnabled);  // keys of slots cannot be taken
    EXPECT_FALSE(state->Key(6).bEnabled);
    EXPECT_EQ(EnabledKeys(), KEY_COUNT - 2);

    state->SelectSlot(2, false);  // nothing bound yet: only the slot blinks
    EXPECT_EQ(state->BlinkTimer(), TIMER_BLINK_SLOT);
    EXPECT_FALSE(state->Slot(2).bLabelEnabled);
    EXPECT_TRUE(state->Slot(0).bSlotSelected) << "a slot with a function stays lit when left";
}

TEST_F(MainWindowFixture, BlinkTogglesTheEditedSlotAndItsKey)
{
    Bind(0, 5, FUN_CTRL_C);
    Open();
    state->SelectSlot(0, false);
    state->BlinkTick();
    const bool phase = state->Slot(0).bSlotSelected;
    EXPECT_EQ(state->Key(5).bSelected, phase);
    state->BlinkTick();
    EXPECT_EQ(state->Slot(0).bSlotSelected, !phase);
    EXPECT_EQ(state->Key(5).bSelected, !phase);

    // Ending the edit leaves the key lit whatever phase the blink stopped in.
    state->ShowSlotStates(-1);
    EXPECT_TRUE(state->Key(5).bSelected);
    EXPECT_EQ(state->BlinkTimer(), 0u);
}

TEST_F(MainWindowFixture, BindingAKeyLabelsItAndMarksTheProfileModified)
{
    Open();
    state->SelectSlot(3, false);
    state->BindKeyToSlot(20);
    EXPECT_EQ(Slot(3).MappingKey, 20);
    EXPECT_EQ(state->Key(20).nLabelSlot, 3);
    EXPECT_TRUE(state->Key(20).bSelected);
    EXPECT_FALSE(state->Key(20).bEnabled);
    EXPECT_TRUE(state->Slot(3).bLabelEnabled);
    EXPECT_EQ(state->BlinkTimer(), TIMER_BLINK_KEY);
    EXPECT_TRUE(state->m_bEditorModified);

    // Another key moves the slot: the first one is free and plain again.
    state->BindKeyToSlot(21);
    EXPECT_EQ(Slot(3).MappingKey, 21);
    EXPECT_EQ(state->Key(20).nLabelSlot, -1);
    EXPECT_TRUE(state->Key(20).bEnabled);
    EXPECT_FALSE(state->Key(20).bSelected);
    EXPECT_EQ(state->Key(21).nLabelSlot, 3);
}

TEST_F(MainWindowFixture, KeysThatCannotBeBoundAreIgnored)
{
    Open();
    state->BindKeyToSlot(10);  // no slot selected
    EXPECT_FALSE(state->m_bEditorModified);
    state->SelectSlot(0, false);
    for (int key : {118, 130, 153, -1, 154}) {
        state->BindKeyToSlot(key);
        EXPECT_EQ(Slot(0).MappingKey, UNASSIGNED) << key;
    }
    EXPECT_FALSE(state->m_bEditorModified);
    state->BindKeyToSlot(117);
    EXPECT_EQ(Slot(0).MappingKey, 117);
}

TEST_F(MainWindowFixture, SlotLeftWithoutAFunctionLosesItsKey)
{
    Open();
    state->SelectSlot(0, false);
    state->BindKeyToSlot(30);
    state->SelectSlot(1, false);
    EXPECT_EQ(Slot(0).MappingKey, UNASSIGNED);
    EXPECT_EQ(state->Key(30).nLabelSlot, -1);
    EXPECT_TRUE(state->Key(30).bEnabled);
    EXPECT_FALSE(state->Slot(0).bSlotSelected);

    // With a function chosen first, the key stays.
    state->BindKeyToSlot(31);
    state->ChooseFunction(1, ITEM_FIRST_SHORTCUT, L"", qelt::testing::UsLayout());
    state->SelectSlot(2, false);
    EXPECT_EQ(Slot(1).MappingKey, 31);
    EXPECT_EQ(state->Key(31).nLabelSlot, 1);
    EXPECT_FALSE(state->Key(31).bEnabled);
}

TEST_F(MainWindowFixture, KeyTakenOverByAnotherSlotKeepsItsLabel)
{
    Open();
    // Slot 1 binds key 40 and is left without a function (it loses the key) ...
    state->SelectSlot(1, false);
    state->BindKeyToSlot(40);
    state->SelectSlot(0, false);
    // ... slot 0 takes key 40 and gets a function ...
    state->BindKeyToSlot(40);
    state->ChooseFunction(0, ITEM_DISABLE_KEY, L"", qelt::testing::UsLayout());
    // ... and slot 1 binds another key: key 40 must still show slot 0's label.
    state->SelectSlot(1, false);
    state->BindKeyToSlot(41);
    EXPECT_EQ(state->Key(40).nLabelSlot, 0);
    EXPECT_EQ(state->Key(41).nLabelSlot, 1);
}

TEST_F(MainWindowFixture, ChoosingAFunctionSetsCodeCaptionAndGrey)
{
    const struct {
        int item;
        const wchar_t* path;
        uint8_t funId;
        const wchar_t* caption;
        bool greyed;
    } cases[] = {
        {ITEM_NO_FUNCTION, L"", FUN_NONE, L"name0", false},
        {2, L"", FUN_CTRL_X, L"name2", false},
        {10, L"", FUN_CTRL_S, L"name10", false},
        {ITEM_LAUNCH_APP, L"C:\\Games\\Launcher.v2.exe", FUN_LAUNCH_APP, L"Launcher.v2", false},
        {ITEM_DISABLE_KEY, L"", FUN_DISABLE_KEY, L"name12", true},
    };
    for (const auto& c : cases) {
        SetUp();
        Open();
        state->SelectSlot(4, false);
        state->BindKeyToSlot(50);
        state->m_bEditorModified = false;
        state->ChooseFunction(4, c.item, c.path, qelt::testing::UsLayout());
        EXPECT_EQ(Slot(4).FunID, c.funId) << "item " << c.item;
        EXPECT_EQ(state->Slot(4).strCaption, c.caption) << "item " << c.item;
        EXPECT_EQ(state->Slot(4).bLabelGreyed, c.greyed) << "item " << c.item;
        EXPECT_TRUE(state->m_bEditorModified) << "item " << c.item;
    }
    EXPECT_STREQ(Slot(4).AppPath, L"");
}

// Only a choice changes a slot: a menu dismissed (-1, or any code the menu does not give) and the
// macro item (whose macro editor decides) keep its function, macro, program and label.
TEST_F(MainWindowFixture, MenuWithoutAChoiceOrTheMacroItemLeavesTheSlotAsItWas)
{
    const struct {
        const char* name;
        uint8_t funId;
        const wchar_t* path;
        const wchar_t* caption;
    } slots[] = {
        {"shortcut", FUN_CTRL_C, L"", L"name3"},
        {"program", FUN_LAUNCH_APP, L"C:\\Tools\\run.exe", L"run"},
        {"disabled key", FUN_DISABLE_KEY, L"", L"name12"},
    };
    for (const auto& slot : slots) {
        for (const int item : {-1, int(ITEM_MACRO), 13}) {
            SetUp();
            Bind(4, 50, FUN_NONE);
            Open();
            state->SelectSlot(4, false);
            state->ChooseFunction(4, slot.funId == FUN_LAUNCH_APP ? ITEM_LAUNCH_APP : FunctionNameIndex(slot.funId),
                                  slot.path, qelt::testing::UsLayout());
            const BUTTON_CONFIG before = Slot(4);
            const SlotLook lookBefore = state->Slot(4);
            ASSERT_EQ(before.FunID, slot.funId) << slot.name;
            state->m_bEditorModified = false;

            state->ChooseFunction(4, item, L"", qelt::testing::UsLayout());
            EXPECT_TRUE(SameSlot(Slot(4), before)) << slot.name << ", item " << item;
            EXPECT_EQ(state->Slot(4).strCaption, lookBefore.strCaption) << slot.name << ", item " << item;
            EXPECT_EQ(state->Slot(4).strCaption, slot.caption) << slot.name << ", item " << item;
            EXPECT_EQ(state->Slot(4).bLabelGreyed, lookBefore.bLabelGreyed) << slot.name << ", item " << item;
            EXPECT_FALSE(state->m_bEditorModified) << slot.name << ", item " << item;
        }
    }
}

TEST_F(MainWindowFixture, ProgramChoiceKeepsPathAndCancelChangesNothing)
{
    Bind(2, 12, FUN_CTRL_A);
    Open();
    state->SelectSlot(2, false);
    state->ChooseFunction(2, ITEM_LAUNCH_APP, L"", qelt::testing::UsLayout());  // file dialog cancelled
    EXPECT_EQ(Slot(2).FunID, FUN_CTRL_A);
    EXPECT_EQ(state->Slot(2).strCaption, L"name6");
    EXPECT_TRUE(state->m_bEditorModified);

    state->ChooseFunction(2, ITEM_LAUNCH_APP, L"D:\\Tools\\notepad.exe", qelt::testing::UsLayout());
    EXPECT_EQ(Slot(2).FunID, FUN_LAUNCH_APP);
    EXPECT_STREQ(Slot(2).AppPath, L"D:\\Tools\\notepad.exe");
    EXPECT_EQ(state->Slot(2).strCaption, L"notepad");
    state->RefreshSlotLabels();  // a later refresh shows the function's name
    EXPECT_EQ(state->Slot(2).strCaption, L"name11");
}

TEST_F(MainWindowFixture, ShortcutChoiceBuildsItsMacro)
{
    Open();
    state->SelectSlot(0, false);
    state->BindKeyToSlot(8);
    state->ChooseFunction(0, 3, L"", qelt::testing::UsLayout());  // Ctrl+C
    EXPECT_EQ(Slot(0).FunID, FUN_CTRL_C);
    EXPECT_EQ(Slot(0).Macro.length, 7);
    EXPECT_EQ(Slot(0).Macro.Steps[0].Code, 0xE0);  // left Ctrl pressed
    EXPECT_EQ(Slot(0).Macro.Steps[2].Code, 0x06);  // C
}

TEST_F(MainWindowFixture, MacroTakenFromTheEditor)
{
    Open();
    MACRO_DATA macro{};
    macro.length = 3;
    macro.RepeatOption = 2;
    macro.Steps[0] = MACRO_STEP{0x04, {}, 1};
    state->TakeMacro(6, macro, 42);
    EXPECT_EQ(Slot(6).FunID, FUN_MACRO);
    EXPECT_EQ(Slot(6).Macro.length, 3);
    EXPECT_EQ(Slot(6).Macro.RepeatOption, 2);
    EXPECT_EQ(profiles[1].nMacroTotal, 42);
    EXPECT_EQ(state->Slot(6).strCaption, L"Macro");
    EXPECT_TRUE(state->m_bEditorModified);
}

// The macro item, then the macro editor's end: only OK with two steps or more changes the slot.
TEST_F(MainWindowFixture, MacroEditorCancelledOrShortLeavesTheSlotAsBeforeTheMenu)
{
    MACRO_DATA recorded{};
    recorded.length = 2;
    recorded.RepeatOption = 1;
    recorded.Steps[0] = MACRO_STEP{0x05, {}, 1};
    recorded.Steps[1] = MACRO_STEP{0x05, {}, 0};
    const struct {
        const char* name;
        int endCode;
        int steps;
        bool taken;
    } cases[] = {
        {"OK, two steps", 1, 2, true},
        {"OK, one step", 1, 1, false},
        {"OK, no step", 1, 0, false},
        {"Cancel with steps", 2, 2, false},
        {"closed otherwise", 0, 4, false},
    };
    for (const auto& c : cases) {
        SetUp();
        Bind(3, 60, FUN_NONE);
        Open();
        state->SelectSlot(3, false);
        state->ChooseFunction(3, ITEM_LAUNCH_APP, L"C:\\Tools\\run.exe", qelt::testing::UsLayout());
        profiles[1].nMacroTotal = 7;
        const BUTTON_CONFIG before = Slot(3);
        state->m_bEditorModified = false;

        state->ChooseFunction(3, ITEM_MACRO, L"", qelt::testing::UsLayout());
        EXPECT_EQ(state->TakeEditedMacro(3, c.endCode, c.steps, recorded, 9), c.taken) << c.name;
        if (c.taken) {
            EXPECT_EQ(Slot(3).FunID, FUN_MACRO) << c.name;
            EXPECT_TRUE(SameMacro(Slot(3).Macro, recorded)) << c.name;
            EXPECT_EQ(profiles[1].nMacroTotal, 9) << c.name;
            EXPECT_EQ(state->Slot(3).strCaption, L"Macro") << c.name;
        } else {
            EXPECT_TRUE(SameSlot(Slot(3), before)) << c.name << ": the program stays";
            EXPECT_EQ(profiles[1].nMacroTotal, 7) << c.name;
            EXPECT_EQ(state->Slot(3).strCaption, L"run") << c.name;
        }
        EXPECT_EQ(state->m_bEditorModified, c.taken) << c.name;
    }
}

TEST_F(MainWindowFixture, ProfileButtonsFollowTheProfileExceptInPcMode)
{
    Open();
    state->SetProfileButtons(3);
    for (int p = 0; p < USER_PROFILE_COUNT; ++p)
        EXPECT_EQ(state->ProfileButtonSelected(p), p == 3) << p;
    state->SetProfileButtons(PC_MODE_PROFILE);
    EXPECT_EQ(keyboard.CurrantProfile, PC_MODE_PROFILE);
    EXPECT_TRUE(state->ProfileButtonSelected(3)) << "PC mode keeps the buttons as they were";

    // The agent's notification: the file's profile is shown, PC mode changes no button.
    keyboard.CurrantProfile = 0;
    state->ShowProfileButtonsFromConfig();
    EXPECT_TRUE(state->ProfileButtonSelected(0));
    EXPECT_FALSE(state->ProfileButtonSelected(3));
}

TEST_F(MainWindowFixture, StatusButtonFlipsOnEveryToggle)
{
    for (const bool fromSkin : {true, false}) {
        state->SetStatusSelected(fromSkin);
        state->ToggleStatus();
        EXPECT_EQ(state->StatusSelected(), !fromSkin) << "skin state " << fromSkin;
        state->ToggleStatus();
        EXPECT_EQ(state->StatusSelected(), fromSkin) << "skin state " << fromSkin;
    }
}

TEST_F(MainWindowFixture, AppliedProfileShowsEverySlotAtRest)
{
    Bind(0, 5, FUN_CTRL_C);
    Open();
    state->SelectSlot(1, false);
    state->BindKeyToSlot(9);
    state->ChooseFunction(1, ITEM_DISABLE_KEY, L"", qelt::testing::UsLayout());
    ReleaseUnusedSlots(profiles);
    state->ShowApplied();
    EXPECT_FALSE(state->m_bEditorModified);
    EXPECT_EQ(state->SelectedSlot(), -1);
    EXPECT_EQ(state->BlinkTimer(), 0u);
    EXPECT_EQ(state->Key(5).nLabelSlot, 0);
    EXPECT_EQ(state->Key(9).nLabelSlot, 1);
    EXPECT_TRUE(state->Slot(1).bSlotSelected);
    EXPECT_FALSE(state->Slot(2).bSlotSelected);
    EXPECT_FALSE(state->Slot(1).bLabelEnabled);
    EXPECT_EQ(EnabledKeys(), 0);
}

TEST(ProgramFileTitle, NameWithoutFolderAndExtension)
{
    EXPECT_EQ(ProgramFileTitle(L"C:\\Program Files\\Game\\game.exe"), L"game");
    EXPECT_EQ(ProgramFileTitle(L"C:\\a.b\\run"), L"run");
    EXPECT_EQ(ProgramFileTitle(L"Z:/tmp/tool.v1.EXE"), L"tool.v1");
    EXPECT_EQ(ProgramFileTitle(L".hidden"), L".hidden");
}

} // namespace
