// The macro editor and the repeat options as windows, with the shipped skin: recorded key events
// reach the list and the macro, the buttons follow the recording, keys typed reach only the delay
// field and only outside a recording, steps are edited with the mouse, the step limit warns once,
// the repeat option is taken only when confirmed.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "bitmap_btn.h"
#include "diag.h"
#include "dialog_driver.h"
#include "dlg_macro.h"
#include "dlg_repeat.h"
#include "gdiplus_session.h"
#include "keycodes_win.h"
#include "macro_test_support.h"
#include "profile_ops.h"
#include "setting_rw.h"
#include "temp_folder.h"

using namespace qelt;
using namespace qelt::testing;

namespace {

constexpr wchar_t kMacroSkin[] = L"macro_skin.ini";
constexpr wchar_t kRepeatSkin[] = L"repeat_skin.ini";
constexpr UINT kEditorOpenMessage = 0x614;
constexpr int kStepList = 1006, kDelayField = 11026;
constexpr uint8_t P = MACRO_STEP_DELAY;

LRESULT SendKey(HWND dialog, const RecordedKey& key)
{
    return SendMessageW(dialog, WM_RECORDED_KEY, key.virtualKey | (key.scanCode << 16), LPARAM(key.flags));
}

bool Enabled(HWND window)
{
    return IsWindowEnabled(window) != FALSE;
}

// The editor's buttons by their "BUTTONINFO" keys.
struct EditorButtons {
    explicit EditorButtons(HWND dialog)
        : help(SkinButton(dialog, kMacroSkin, 1)), record(SkinButton(dialog, kMacroSkin, 2)),
          stop(SkinButton(dialog, kMacroSkin, 3)), asTyped(SkinButton(dialog, kMacroSkin, 5)),
          del(SkinButton(dialog, kMacroSkin, 6)), setDelay(SkinButton(dialog, kMacroSkin, 7)),
          pause(SkinButton(dialog, kMacroSkin, 8)), repeat(SkinButton(dialog, kMacroSkin, 10)),
          load(SkinButton(dialog, kMacroSkin, 11)), save(SkinButton(dialog, kMacroSkin, 12)),
          ok(SkinButton(dialog, kMacroSkin, 13)), cancel(SkinButton(dialog, kMacroSkin, 14))
    {
    }
    HWND help, record, stop, asTyped, del, setDelay, pause, repeat, load, save, ok, cancel;
};

// Keys typed into a window through the editor's message loop, in the keyboard's order: a key's
// character (which the loop posts on its press) before its release. A marker message the host
// (on the editor's thread) receives shows when the loop has taken what was posted before it.
void TypeKeys(const HostWindow& host, HWND window, const std::vector<WPARAM>& keys)
{
    static WPARAM marker = 0;
    auto drain = [&] {
        PostMessageW(host.Window(), WM_USER + 77, ++marker, 0);
        ASSERT_TRUE(host.WaitMessage(WM_USER + 77, marker));
    };
    for (WPARAM key : keys) {
        PostMessageW(window, WM_KEYDOWN, key, 0);
        drain();
        PostMessageW(window, WM_KEYUP, key, LPARAM(0xC0000001));
    }
    drain();
}

// A line of the list selected as a click selects it: the selection, then the list's notification.
// (A click posted to the list would follow the real pointer while the list holds the mouse, and
// other tests move it; the scenario clicks with the mouse.)
void ClickLine(HWND dialog, HWND list, int line)
{
    ASSERT_NE(SendMessageW(list, LB_SETCURSEL, WPARAM(line), 0), LB_ERR);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

const std::vector<std::wstring> kTypedALines = {L"A Press", L"Delay 25 ms", L"A Release", L"Delay 0 ms"};

struct DialogFixture : ::testing::Test {
    GdiplusSession gdiplus;
    HostWindow host;
    DiagCapture diag;

    INT_PTR RunEditor(CDlgMacro& editor, const std::function<void(HWND)>& script)
    {
        const INT_PTR result = RunDriven(host.Window(), [&] { return editor.Run(host.Window()); }, script);
        HostWindow::Pump();  // what the editor posted while it closed
        return result;
    }
};

TEST_F(DialogFixture, RecordedKeyEventsAreListedAndKeptOnOk)
{
    const MACRO_DATA empty{};
    CDlgMacro editor(empty, 5);
    const INT_PTR result = RunEditor(editor, [&](HWND dialog) {
        EditorButtons buttons(dialog);
        HWND list = GetDlgItem(dialog, kStepList);
        EXPECT_TRUE(Enabled(buttons.record));
        EXPECT_FALSE(Enabled(buttons.stop));
        EXPECT_FALSE(Enabled(buttons.repeat)) << "nothing to repeat yet";
        EXPECT_FALSE(Enabled(list));
        EXPECT_EQ(WindowTextOf(GetDlgItem(dialog, kDelayField)), L"25");
        EXPECT_EQ(SendKey(dialog, Press('A')), 0) << "not recording";

        Click(dialog, buttons.record);
        EXPECT_FALSE(Enabled(buttons.record));
        EXPECT_TRUE(Enabled(buttons.stop));
        EXPECT_EQ(SendKey(dialog, Press('A')), 1);
        EXPECT_EQ(SendKey(dialog, Press('A')), 0) << "the held key repeats its press";
        EXPECT_EQ(SendKey(dialog, Release('A')), 1);
        EXPECT_EQ(SendKey(dialog, RecordedKey{0x42, 0x30, 0}), 1);
        EXPECT_EQ(SendKey(dialog, RecordedKey{0x42, 0x30, 0x80}), 1);
        EXPECT_EQ(ListLines(list), (std::vector<std::wstring>{L"A Press", L"Delay 25 ms", L"A Release", L"Delay 25 ms",
                                                              L"B Press", L"Delay 25 ms", L"B Release"}));

        Click(dialog, buttons.stop);
        for (HWND enabled : {buttons.record, buttons.save, buttons.load, buttons.repeat, list,
                             GetDlgItem(dialog, kDelayField)})
            EXPECT_TRUE(Enabled(enabled));
        EXPECT_FALSE(Enabled(buttons.stop));
        EXPECT_EQ(SendKey(dialog, Press('C')), 0) << "stopped";
        Click(dialog, buttons.ok);
    });

    EXPECT_EQ(result, 1);
    EXPECT_EQ(editor.StepCount(), 8);
    EXPECT_EQ(editor.RunningTotal(), 5 + 8);
    EXPECT_EQ(editor.Macro().length, 8);
    EXPECT_EQ(StepsOf(editor.Macro(), 8),
              (std::vector<Step>{{0x04, 1}, {P, 25}, {0x04, 0}, {P, 25}, {0x05, 1}, {P, 25}, {0x05, 0}, {P, 0}}));
    EXPECT_TRUE(diag.Contains(L"loaded hook OK!")) << "recording goes through the hook library beside the tests";
    EXPECT_EQ(host.Messages(), (std::vector<std::wstring>{L"1556:1", L"1556:0"})) << "0x614 on open and close";
}

// Outside a recording digits reach the delay field (Enter there is Set delay) and Record takes
// its value; while recording no key reaches any control, and Enter or Esc never end the editor.
TEST_F(DialogFixture, KeysReachOnlyTheDelayFieldAndOnlyOutsideARecording)
{
    const MACRO_DATA empty{};
    CDlgMacro editor(empty, 0);
    const INT_PTR result = RunEditor(editor, [&](HWND dialog) {
        EditorButtons buttons(dialog);
        HWND field = GetDlgItem(dialog, kDelayField);
        auto typed = [&](HWND window, const std::vector<WPARAM>& keys) { TypeKeys(host, window, keys); };
        SendMessageW(field, EM_SETSEL, 0, -1);
        typed(field, {'1', '0', '0', VK_RETURN, VK_ESCAPE, VK_TAB});
        typed(dialog, {VK_RETURN, VK_ESCAPE});
        ASSERT_TRUE(IsWindowVisible(dialog)) << "Enter or Esc ended the editor";
        EXPECT_EQ(WindowTextOf(field), L"100");
        SendMessageW(field, EM_SETSEL, 0, -1);
        typed(field, {'7', '0', '0', '0'});
        EXPECT_EQ(WindowTextOf(field), L"6375") << "capped at the longest pause";
        SendMessageW(field, EM_SETSEL, 0, -1);
        typed(field, {'1', '0', '9'});

        Click(dialog, buttons.record);
        EXPECT_FALSE(Enabled(field)) << "nothing to type into while recording";
        typed(field, {'5'});
        typed(dialog, {VK_RETURN, VK_ESCAPE});
        ASSERT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(SendKey(dialog, Press('A')), 1);
        EXPECT_EQ(SendKey(dialog, Release('A')), 1);
        Click(dialog, buttons.stop);
        EXPECT_TRUE(Enabled(field));
        EXPECT_EQ(WindowTextOf(field), L"109") << "the field keeps its value";

        Click(dialog, EditorButtons(dialog).help);
        EXPECT_TRUE(diag.Contains(L"help page")) << "the missing help page is reported";
        Click(dialog, buttons.ok);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(StepsOf(editor.Macro(), editor.StepCount()),
              (std::vector<Step>{{0x04, 1}, {P, 100}, {0x04, 0}, {P, 0}})) << "109 rounded to 100";
}

// A line clicked, then Delete, Set delay (or Enter in the field) and Pause; the buttons follow the
// selection, and none of them works while a recording runs.
TEST_F(DialogFixture, StepsAreEditedWithTheMouse)
{
    const MACRO_DATA typedAB = MacroOf({{0x04, 1}, {P, 25}, {0x04, 0}, {P, 25}, {0x05, 1}, {P, 25}, {0x05, 0}, {P, 0}}, 8, 1);
    CDlgMacro editor(typedAB, 20);
    const INT_PTR result = RunEditor(editor, [&](HWND dialog) {
        EditorButtons buttons(dialog);
        HWND list = GetDlgItem(dialog, kStepList);
        HWND field = GetDlgItem(dialog, kDelayField);
        for (HWND edit : {buttons.del, buttons.setDelay, buttons.pause}) {
            EXPECT_FALSE(Enabled(edit)) << "no line selected";
            ASSERT_NE(CBitmapBtn::FromHandle(edit), nullptr);
            EXPECT_TRUE(CBitmapBtn::FromHandle(edit)->m_bGreyed) << "and it shows";
        }

        ClickLine(dialog, list, 4);  // B Press
        EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 4);
        EXPECT_TRUE(Enabled(buttons.del));
        EXPECT_FALSE(CBitmapBtn::FromHandle(buttons.del)->m_bGreyed);
        EXPECT_FALSE(Enabled(buttons.setDelay)) << "a key line has no delay";
        EXPECT_TRUE(Enabled(buttons.pause));
        Click(dialog, buttons.del);
        EXPECT_EQ(ListLines(list), kTypedALines);
        EXPECT_FALSE(Enabled(buttons.del)) << "the deleted line is no longer selected";

        ClickLine(dialog, list, 1);  // Delay 25 ms
        EXPECT_EQ(WindowTextOf(field), L"25") << "the pause's length in the field";
        EXPECT_TRUE(Enabled(buttons.setDelay));
        SetWindowTextW(field, L"300");
        Click(dialog, buttons.setDelay);
        EXPECT_EQ(ListLines(list)[1], L"Delay 300 ms");
        EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1) << "the pause stays selected";

        SendMessageW(field, EM_SETSEL, 0, -1);
        TypeKeys(host, field, {'9', '9', '0', VK_RETURN});
        EXPECT_EQ(ListLines(list)[1], L"Delay 1000 ms") << "Enter in the field is Set delay, rounded";
        EXPECT_EQ(WindowTextOf(field), L"1000");

        ClickLine(dialog, list, 2);  // A Release
        SetWindowTextW(field, L"50");
        Click(dialog, buttons.pause);
        EXPECT_EQ(ListLines(list), (std::vector<std::wstring>{L"A Press", L"Delay 1000 ms", L"A Release",
                                                              L"Delay 50 ms", L"Delay 0 ms"}));
        EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 3) << "the new pause is selected";

        Click(dialog, buttons.asTyped);
        const CBitmapBtn* asTyped = CBitmapBtn::FromHandle(buttons.asTyped);
        ASSERT_NE(asTyped, nullptr);
        EXPECT_TRUE(asTyped->m_bSelected) << "the toggle shows it is on";
        Click(dialog, buttons.asTyped);
        EXPECT_FALSE(asTyped->m_bSelected);

        Click(dialog, buttons.record);
        for (HWND edit : {buttons.del, buttons.setDelay, buttons.pause})
            EXPECT_FALSE(Enabled(edit)) << "while recording";
        Click(dialog, buttons.stop);
        Click(dialog, buttons.cancel);
    });
    EXPECT_EQ(result, 2);

    // The same edits kept with OK: the count, the stored length and the running total follow.
    CDlgMacro kept(typedAB, 20);
    const INT_PTR keptResult = RunEditor(kept, [&](HWND dialog) {
        EditorButtons buttons(dialog);
        HWND list = GetDlgItem(dialog, kStepList);
        ClickLine(dialog, list, 6);  // B Release
        Click(dialog, buttons.del);
        ClickLine(dialog, list, 0);
        SetWindowTextW(GetDlgItem(dialog, kDelayField), L"6375");
        Click(dialog, buttons.pause);
        Click(dialog, buttons.ok);
    });
    EXPECT_EQ(keptResult, 1);
    EXPECT_EQ(kept.StepCount(), 5);
    EXPECT_EQ(kept.Macro().length, 5);
    EXPECT_EQ(kept.RunningTotal(), 20 - 4 + 1);
    EXPECT_EQ(StepsOf(kept.Macro(), 5), (std::vector<Step>{{0x04, 1}, {P, 6375}, {P, 25}, {0x04, 0}, {P, 0}}));
}

TEST_F(DialogFixture, StepLimitEndsTheRecordingWithOneWarning)
{
    const MACRO_DATA empty{};
    CDlgMacro editor(empty, 0);
    const INT_PTR result = RunEditor(editor, [&](HWND dialog) {
        EditorButtons buttons(dialog);
        Click(dialog, buttons.record);
        for (int i = 0; i < 54; ++i)
            ASSERT_EQ(SendKey(dialog, i % 2 == 0 ? Press('A') : Release('A')), 1) << "event " << i;
        // The event at the limit shows the warning modally: posted, so this thread can close it.
        PostMessageW(dialog, WM_RECORDED_KEY, 0x41 | (0x1E << 16), 0);
        HWND warning = WaitOwnedDialog(dialog);
        ASSERT_NE(warning, nullptr);
        EXPECT_TRUE(Enabled(buttons.record));
        EXPECT_FALSE(Enabled(buttons.stop));
        EXPECT_TRUE(Enabled(buttons.repeat));
        HWND list = GetDlgItem(dialog, kStepList);
        EXPECT_EQ(ListLines(list).size(), 108u);
        // Scrolled down (as far as the list box goes toward line 108 - 6): the newest line shows.
        RECT client{}, newest{};
        GetClientRect(list, &client);
        SendMessageW(list, LB_GETITEMRECT, 107, reinterpret_cast<LPARAM>(&newest));
        EXPECT_GT(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
        EXPECT_LE(newest.bottom, client.bottom);
        PostMessageW(warning, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitNoOwnedDialog(dialog));

        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(SendKey(dialog, i % 2 == 0 ? Release('B') : Press('B')), 0) << "after the limit";
        EXPECT_EQ(OwnedDialogCount(dialog), 0) << "one warning only";
        Click(dialog, buttons.ok);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(editor.StepCount(), MACRO_RECORD_MAX_STEPS);
    EXPECT_EQ(editor.Macro().Steps[107].Code, P);
    EXPECT_EQ(editor.Macro().Steps[107].Value, 0);
}

TEST_F(DialogFixture, OpenedShortcutMacroIsListedAndKeptWithAClosingPause)
{
    auto profile = std::make_unique<PROFILE_CONFIG>();
    ASSERT_TRUE(BuildShortcutMacro(*profile, 0, FUN_CTRL_X, ForegroundLayout()));
    CDlgMacro editor(profile->TButton[0].Macro, 3);
    const INT_PTR result = RunEditor(editor, [&](HWND dialog) {
        EditorButtons buttons(dialog);
        HWND list = GetDlgItem(dialog, kStepList);
        const std::vector<std::wstring> lines = ListLines(list);
        ASSERT_EQ(lines.size(), 7u);
        EXPECT_EQ(lines[2], L"X Press");
        EXPECT_EQ(lines[4], L"X Release");
        EXPECT_TRUE(Enabled(list));
        EXPECT_TRUE(Enabled(buttons.repeat));
        Click(dialog, buttons.ok);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(editor.StepCount(), 8);
    EXPECT_EQ(editor.Macro().length, 8);
    EXPECT_EQ(editor.RunningTotal(), 4);
}

TEST_F(DialogFixture, RepeatOptionChangesOnlyWhenConfirmed)
{
    const MACRO_DATA typed = MacroOf({{0x04, 1}, {P, 25}, {0x04, 0}, {P, 0}}, 4, 1);
    CDlgMacro editor(typed, 0);
    const INT_PTR result = RunEditor(editor, [&](HWND dialog) {
        EditorButtons buttons(dialog);
        auto choose = [&](int option, int endKey) {
            PostClick(dialog, buttons.repeat);
            HWND options = WaitOwnedDialog(dialog);
            ASSERT_NE(options, nullptr);
            Click(options, SkinButton(options, kRepeatSkin, option));
            Click(options, SkinButton(options, kRepeatSkin, endKey));
            ASSERT_TRUE(WaitNoOwnedDialog(dialog));
        };
        choose(3, 4);  // OK
        choose(2, 5);  // Cancel
        Click(dialog, buttons.ok);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(editor.Macro().RepeatOption, 3);
}

TEST_F(DialogFixture, SaveAndLoadGoThroughMacroFiles)
{
    TempFolder folder;
    // The file dialogs leave the current directory where it was: files named relative to it
    // (the configuration files without a data folder) must not follow the user's browsing.
    wchar_t before[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, before);
    const std::wstring path = folder.File(L"typed.Macro");
    const MACRO_DATA empty{};
    CDlgMacro recording(empty, 0);
    RunEditor(recording, [&](HWND dialog) {
        EditorButtons buttons(dialog);
        Click(dialog, buttons.record);
        SendKey(dialog, Press('A'));
        SendKey(dialog, Release('A'));
        PostClick(dialog, buttons.save);  // ends the recording and saves it
        ASSERT_TRUE(ChooseFile(dialog, path));
        Click(dialog, buttons.cancel);
    });
    ASSERT_EQ(GetPrivateProfileIntW(L"MACROG0", L"MacroLength", -1, path.c_str()), 4);

    auto profile = std::make_unique<PROFILE_CONFIG>();
    ASSERT_TRUE(BuildShortcutMacro(*profile, 0, FUN_CTRL_C, ForegroundLayout()));
    CDlgMacro loading(profile->TButton[0].Macro, 0);
    const INT_PTR result = RunEditor(loading, [&](HWND dialog) {
        EditorButtons buttons(dialog);
        HWND list = GetDlgItem(dialog, kStepList);
        PostClick(dialog, buttons.load);
        ASSERT_TRUE(ChooseFile(dialog, folder.File(L"missing.Macro")));
        EXPECT_EQ(ListLines(list).size(), 7u) << "a file that is not there changes nothing";
        EXPECT_TRUE(diag.Contains(L"missing.Macro"));

        PostClick(dialog, buttons.load);
        ASSERT_TRUE(ChooseFile(dialog, path));
        EXPECT_EQ(ListLines(list), kTypedALines);
        Click(dialog, buttons.ok);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(loading.StepCount(), 4);
    EXPECT_EQ(StepsOf(loading.Macro(), MACRO_MAX_STEPS), StepsOf(recording.Macro(), MACRO_MAX_STEPS));
    wchar_t after[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, after);
    EXPECT_STREQ(after, before) << "a file dialog moved the current directory";
}

// A ".Macro" file that holds no whole macro is refused with a message naming the file, and the
// editor keeps its steps, its list, its repeat mode and its number.
TEST_F(DialogFixture, LoadOfADamagedMacroFileChangesNothing)
{
    TempFolder folder;
    const MACRO_DATA typed = MacroOf({{0x04, 1}, {P, 25}, {0x04, 0}, {P, 0}}, 4, 3);
    const std::wstring good = folder.File(L"good.Macro");
    settingRW::ExportMacroFile(good, MacroOf({{0x06, 1}, {P, 25}, {0x06, 0}, {P, 0}}, 4, 1));
    const std::string macroLine = [&] {
        for (const std::string& line : ReadLines(good))
            if (line.rfind("Macro=", 0) == 0)
                return line;
        return std::string();
    }();
    ASSERT_EQ(macroLine.size(), 6u + 11202u);

    struct Case {
        const char* what;
        const wchar_t* name;
        std::string content;
        const wchar_t* reason;  // a part of the message
    };
    const Case cases[] = {
        {"no MACROG0 section", L"other.Macro", "[MACROG1]\r\nRepeatOption=1\r\n", L"[MACROG0]"},
        {"a Macro value that does not decode", L"cut.Macro",
         "[MACROG0]\r\nRepeatOption=3\r\n" + macroLine.substr(0, 3000) + "\r\nMacroLength=2\r\n", L"do not decode"},
        {"a length beyond the steps", L"long.Macro", "[MACROG0]\r\n" + macroLine + "\r\nMacroLength=9\r\n",
         L"MacroLength"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = folder.File(c.name);
        WriteBytes(path, c.content);
        CDlgMacro editor(typed, 0);
        const INT_PTR result = RunEditor(editor, [&](HWND dialog) {
            EditorButtons buttons(dialog);
            HWND list = GetDlgItem(dialog, kStepList);
            PostClick(dialog, buttons.load);
            HWND message = ChooseFileThenWaitDialog(dialog, path);
            ASSERT_NE(message, nullptr) << "no message about the refused file";
            std::wstring text;
            for (HWND child = GetWindow(message, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
                text += WindowTextOf(child) + L"\n";
            EXPECT_NE(text.find(c.name), std::wstring::npos) << "the message names the file";
            EXPECT_NE(text.find(c.reason), std::wstring::npos) << "and says why";
            PostMessageW(message, WM_COMMAND, IDOK, 0);
            ASSERT_TRUE(WaitNoOwnedDialog(dialog));
            EXPECT_EQ(ListLines(list), kTypedALines);
            Click(dialog, buttons.ok);
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(StepsOf(editor.Macro(), MACRO_MAX_STEPS), StepsOf(typed, MACRO_MAX_STEPS));
        EXPECT_EQ(editor.Macro().RepeatOption, 3);
        EXPECT_EQ(editor.Macro().length, 4);
    }
}

struct RepeatCase {
    const char* name;
    int given;
    std::vector<int> clicks;  // option keys 1-3
    int endKey;               // 4 OK, 5 Cancel, 0 the platform's cancel (Esc, closing)
    INT_PTR result;
    int value;
    std::array<bool, 3> selected;  // after the clicks
};

TEST_F(DialogFixture, RepeatOptionsEndWithTheChosenValueOrMinusOne)
{
    const RepeatCase cases[] = {
        {"option 2, option 1, OK", 1, {2, 1}, 4, 1, 1, {true, false, false}},
        {"option 3, Cancel", 1, {3}, 5, -1, 3, {false, false, true}},
        {"OK at once keeps the given value", 2, {}, 4, 2, 2, {false, true, false}},
        {"a value outside 1-3 is shown by no option and returned", 7, {}, 4, 7, 7, {false, false, false}},
        {"Esc cancels", 3, {1}, 0, -1, 1, {true, false, false}},
    };
    for (const RepeatCase& c : cases) {
        SCOPED_TRACE(c.name);
        CDlgRepeat options;
        options.SetValue(c.given);
        const INT_PTR result = RunDriven(host.Window(), [&] { return options.Run(host.Window()); }, [&](HWND dialog) {
            for (int key : c.clicks)
                Click(dialog, SkinButton(dialog, kRepeatSkin, key));
            for (int k = 0; k < 3; ++k) {
                const CBitmapBtn* option = CBitmapBtn::FromHandle(SkinButton(dialog, kRepeatSkin, k + 1));
                ASSERT_NE(option, nullptr);
                EXPECT_EQ(option->m_bSelected, c.selected[size_t(k)]) << "option " << k + 1;
            }
            if (c.endKey == 0)
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            else
                Click(dialog, SkinButton(dialog, kRepeatSkin, c.endKey));
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(options.Value(), c.value);
    }
}

} // namespace
