#include "dlg_macro.h"

#include "agent_protocol.h"
#include "buffered_paint.h"
#include "button_info.h"
#include "diag.h"
#include "dlg_repeat.h"
#include "dlg_warning.h"
#include "file_dialogs.h"
#include "install_problem.h"
#include "keycodes_win.h"
#include "keynames.h"
#include "resource.h"
#include "setting_rw.h"
#include "shell_open.h"
#include "skin_files.h"

using namespace qelt;

namespace {

// "BUTTONINFO" keys of macro_skin.ini.
constexpr int kHelpKey = 1, kRecordKey = 2, kStopKey = 3, kSpareKey = 4, kAsTypedKey = 5, kDeleteKey = 6,
              kSetDelayKey = 7, kInsertPauseKey = 8, kRepeatKey = 10, kLoadKey = 11, kSaveKey = 12, kOkKey = 13,
              kCancelKey = 14;
constexpr RECT kLabelRect{6, 6, 65, 32};

constexpr UINT kStepListId = 1006;
constexpr RECT kStepListRect{16, 37, 165, 293};
constexpr UINT kDelayFieldId = 11026;
constexpr RECT kDelayFieldRect{280, 182, 320, 199};  // wide enough for "6375"
constexpr int kDelayFieldChars = 5;
constexpr RECT kShownLengthRect{62, 40, 103, 68};

// Told to the parent when the editor window is created (1) and destroyed (0).
constexpr UINT kEditorOpenMessage = WM_MACRO_EDITOR_SHOWN;

constexpr INT_PTR kEndOk = 1;
constexpr INT_PTR kEndCancel = 2;

// Captions of larger scripts get a larger font.
int LabelFontHeight(const std::wstring& programFolder)
{
    const int language = ReadSkinLanguage(programFolder);
    return language == 2 || language == 3 ? 17 : 14;
}

void EnableButton(CBitmapBtn* button, bool enable)
{
    if (button != nullptr)
        EnableWindow(button->Window(), enable ? TRUE : FALSE);
}

// Enabling repaints: only on a change.
void EnableIfChanged(HWND window, bool enable)
{
    if (window != nullptr && bool(IsWindowEnabled(window)) != enable)
        EnableWindow(window, enable ? TRUE : FALSE);
}

void SelectButton(CBitmapBtn* button, bool selected)
{
    if (button != nullptr)
        button->SetSelected(selected);
}

} // namespace

uint8_t CDlgMacro::ForegroundKeyText::KeyCodeOf(unsigned virtualKey) const
{
    return KeyCodeFromVk(virtualKey, ForegroundLayout());
}

std::wstring CDlgMacro::ForegroundKeyText::NameOfCode(uint8_t keyCode) const
{
    return KeyNameOfCode(keyCode);
}

CDlgMacro::CDlgMacro(const MACRO_DATA& macro, int macroTotal)
    : SkinnedDialog(IDD_MACRO_EDITOR, L"macro_skin.ini", SkinBehaviour{true, false, true}),
      m_recorder(macro, macroTotal, m_keys)
{
}

std::optional<LRESULT> CDlgMacro::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MEASUREITEM:
        if (wParam != kStepListId)
            return std::nullopt;
        // Every line added asks for its height; answered here without searching the controls.
        m_list.MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_RECORDED_KEY:
        return OnRecordedKey(wParam, lParam);
    case WM_DESTROY:
        OnDestroy();
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

// ---------------------------------------------------------------------------------------------
// Window life

void CDlgMacro::OnSkinLoaded(const CSkinFile& file)
{
    m_hParent = GetParent(m_hWnd);
    if (m_hParent != nullptr)
        PostMessageW(m_hParent, kEditorOpenMessage, 1, 0);

    const int labelHeight = LabelFontHeight(file.Folder());
    auto labelled = [&](int key, ClickHandler onClick) {
        return AddLabelledButton(file, key, kLabelRect, labelHeight, std::move(onClick));
    };
    AddButton(file, kHelpKey, [this] { OpenHelpPage(m_hWnd); });
    m_pRecord = labelled(kRecordKey, [this] { OnRecord(); });
    m_pStop = labelled(kStopKey, [this] { OnStop(); });
    m_pSpare = labelled(kSpareKey, {});
    m_pRepeat = labelled(kRepeatKey, [this] { OnRepeat(); });
    m_pLoad = labelled(kLoadKey, [this] { OnLoad(); });
    m_pSave = labelled(kSaveKey, [this] { OnSave(); });
    m_pAsTyped = labelled(kAsTypedKey, [this] { OnAsTyped(); });
    m_pDelete = AddButton(file, kDeleteKey, [this] { OnDelete(); });
    m_pSetDelay = AddButton(file, kSetDelayKey, [this] { OnSetDelay(); });
    m_pInsertPause = AddButton(file, kInsertPauseKey, [this] { OnInsertPause(); });
    labelled(kOkKey, [this] { OnOk(); });
    AddButton(file, kCancelKey, [this] { End(kEndCancel); });

    if (m_list.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS,
                      kStepListRect, m_hWnd, kStepListId)) {
        m_list.m_crSelectedBackground = 0xC8D0D0;
        m_list.SetBackground(0xFFFFFF);
        m_list.m_crText = 0x969696;
        m_list.m_crSelectedText = 0x28D0D0;
        SendMessageW(m_list.Window(), WM_SETFONT, reinterpret_cast<WPARAM>(Font(skinfont::kMacroText)), FALSE);
        EnableWindow(m_list.Window(), FALSE);
    }
    if (m_delay.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_NUMBER, kDelayFieldRect, m_hWnd, kDelayFieldId))
        SendMessageW(m_delay.Window(), EM_LIMITTEXT, kDelayFieldChars, 0);
}

bool CDlgMacro::OnInitDialog()
{
    EnableButton(m_pStop, false);
    // The delay field shows the pause Record writes between two events until the user types another.
    ShowDelay(m_recorder.Delay());
    m_recorder.Open();
    SyncList();
    UpdateEditButtons();
    m_strShownLength = std::to_wstring(m_recorder.ShownLength());
    if (m_recorder.StepCount() >= 2) {
        EnableButton(m_pSave, true);
        EnableButton(m_pLoad, true);
        EnableButton(m_pRepeat, true);
    } else {
        EnableButton(m_pRepeat, false);
    }
    CentreOverOwner(m_hWnd);
    // Keys typed while recording must not press buttons, end the editor or type into the field.
    m_keyFilter.emplace(m_hWnd, [this](const MSG& message) { return DropKey(message); });
    return false;  // no control takes the focus: keys typed while recording reach none
}

void CDlgMacro::OnDestroy()
{
    m_hook.Remove();
    m_hook.Unload();
    m_keyFilter.reset();
    if (m_hParent != nullptr)
        PostMessageW(m_hParent, kEditorOpenMessage, 0, 0);
}

void CDlgMacro::PaintOver(HDC dc)
{
    DrawSkinText(dc, m_strShownLength.c_str(), kShownLengthRect, Font(skinfont::kMacroText), 0xFFFFFF,
                 DT_CENTER | DT_VCENTER);
}

// ---------------------------------------------------------------------------------------------
// Messages

void CDlgMacro::OnOtherCommand(WORD id, WORD code, HWND from)
{
    if (from == nullptr) {
        // Closing the window is a cancel; Enter and Esc never get here (key presses are dropped).
        if (id == IDCANCEL)
            End(kEndCancel);
        return;
    }
    if (from == m_list.Window() && code == LBN_SELCHANGE)
        OnLineSelected();
}

bool CDlgMacro::DropKey(const MSG& message)
{
    if (message.message != WM_KEYDOWN)
        return false;
    if (m_recorder.Recording() || message.hwnd != m_delay.Window())
        return true;
    switch (message.wParam) {
    case VK_RETURN:
        OnSetDelay();
        return true;
    case VK_ESCAPE:  // would end the editor
    case VK_TAB:     // would move the focus onto the buttons
        return true;
    default:
        return false;  // digits and the keys that edit them
    }
}

LRESULT CDlgMacro::OnRecordedKey(WPARAM wParam, LPARAM lParam)
{
    const TakeOutcome outcome = m_recorder.TakeKey(RecordedKey::FromMessage(wParam, lParam));
    if (outcome.bLimitReached) {
        m_hook.Remove();  // the library stays loaded until Stop or the end of the editor
        EnableIdleCommands();
        SyncList();
        UpdateEditButtons();
        ShowWarning(m_hWnd, WARN_MACRO_FULL);
    } else if (outcome.bTaken) {
        SyncList();
    }
    return outcome.bTaken ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Commands

void CDlgMacro::OnRecord()
{
    m_hook.Load();
    if (!m_hook.CanRecord()) {
        // Without the library a recording would clear the list and then record nothing: the
        // macro stays as it is and the user learns what to repair. Let go, so that a library
        // put back meanwhile is loaded at the next Record.
        m_hook.Unload();
        ShowInstallProblem(m_hWnd, HookLibraryMissingText(CHookLibrary::kFileName, ProgramFolder()));
        return;
    }
    m_hook.Remove();
    m_hook.Install(m_hWnd);
    m_recorder.SetDelay(DelayFieldValue());
    m_recorder.StartRecording();
    SyncList();
    SelectButton(m_pRecord, false);
    SelectButton(m_pStop, true);
    EnableButton(m_pRecord, false);
    EnableButton(m_pStop, true);
    UpdateEditButtons();
}

void CDlgMacro::OnStop()
{
    m_hook.Remove();
    m_hook.Unload();
    m_recorder.FinishRecording();
    m_recorder.EnableList();
    SyncList();
    SelectButton(m_pRecord, false);
    SelectButton(m_pStop, true);
    EnableIdleCommands();
    UpdateEditButtons();
}

void CDlgMacro::OnRepeat()
{
    m_hook.Remove();
    m_recorder.FinishRecording();
    SyncList();
    SelectButton(m_pRecord, false);
    UpdateEditButtons();

    CDlgRepeat options;
    options.SetValue(m_recorder.Macro().RepeatOption);
    if (options.Run(m_hWnd) > 0)
        m_recorder.SetRepeatOption(uint8_t(options.Value()));
}

void CDlgMacro::OnLoad()
{
    LeaveRecording();
    const std::wstring path = AskFilePath(m_hWnd, FileDialogKind::OpenMacro);
    if (path.empty())
        return;
    if (!FileExists(path)) {
        Diag(L"ERROR: macro file %ls does not exist, nothing loaded\n", path.c_str());
        return;
    }
    MACRO_DATA loaded{};
    settingRW::MacroFileFault fault;
    {
        WaitCursor wait;
        fault = settingRW::ImportMacroFile(path, loaded);
    }
    if (fault != settingRW::MacroFileFault::None) {
        // A file that holds no whole macro changes nothing: steps, number and repeat mode stay.
        const std::wstring text = L"The macro was not loaded from\n" + path + L"\n\n" +
                                  settingRW::DescribeMacroFileFault(fault) + L"\n\nThe macro in the editor is unchanged.";
        MessageBoxW(m_hWnd, text.c_str(), L"Load macro", MB_OK | MB_ICONWARNING);
        return;
    }
    m_recorder.Load(loaded);
    SyncList();
    UpdateEditButtons();
    m_strShownLength = std::to_wstring(m_recorder.ShownLength());
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CDlgMacro::OnSave()
{
    LeaveRecording();
    const std::wstring path = AskFilePath(m_hWnd, FileDialogKind::SaveMacro);
    if (path.empty())
        return;
    m_recorder.Save([&path](const MACRO_DATA& macro) {
        WaitCursor wait;
        settingRW::ExportMacroFile(path, macro);
    });
    SyncList();
    UpdateEditButtons();
}

void CDlgMacro::OnOk()
{
    m_hook.Remove();
    m_recorder.FinishForKeeping();
    SelectButton(m_pRecord, false);
    EndDialog(m_hWnd, kEndOk);
}

void CDlgMacro::EnableIdleCommands()
{
    EnableButton(m_pRecord, true);
    EnableButton(m_pSave, true);
    EnableButton(m_pLoad, true);
    EnableButton(m_pRepeat, true);
    EnableButton(m_pStop, false);
}

void CDlgMacro::LeaveRecording()
{
    m_hook.Remove();
    m_recorder.DropRecording();
    SelectButton(m_pRecord, false);
    UpdateEditButtons();
}

// ---------------------------------------------------------------------------------------------
// Step editing

void CDlgMacro::OnAsTyped()
{
    m_recorder.SetAsTyped(!m_recorder.AsTyped());
    SelectButton(m_pAsTyped, m_recorder.AsTyped());
}

void CDlgMacro::OnLineSelected()
{
    const int line = SelectedLine();
    if (line < 0)
        EnableButton(m_pSpare, false);
    if (std::optional<int> pause = m_recorder.PauseOnLine(line))
        ShowDelay(*pause);
    UpdateEditButtons();
}

void CDlgMacro::OnDelete()
{
    if (m_recorder.DeleteLine(SelectedLine()))
        ShowEdit(-1);
}

void CDlgMacro::OnSetDelay()
{
    const int line = SelectedLine();
    if (m_recorder.SetPause(line, DelayFieldValue()))
        ShowEdit(line);
}

void CDlgMacro::OnInsertPause()
{
    const int line = SelectedLine();
    if (m_recorder.InsertPauseAfter(line, DelayFieldValue()))
        ShowEdit(line + 1);
}

void CDlgMacro::ShowEdit(int selectLine)
{
    SyncList();
    if (selectLine >= 0) {
        SendMessageW(m_list.Window(), LB_SETCURSEL, WPARAM(selectLine), 0);
        // The field shows the selected pause as it is stored, rounded.
        if (std::optional<int> pause = m_recorder.PauseOnLine(selectLine))
            ShowDelay(*pause);
    }
    UpdateEditButtons();
    m_strShownLength = std::to_wstring(m_recorder.ShownLength());
    InvalidateRect(m_hWnd, &kShownLengthRect, FALSE);
}

void CDlgMacro::UpdateEditButtons()
{
    const bool idle = !m_recorder.Recording();
    const int line = SelectedLine();
    const bool onStep = idle && line >= 0 && line < m_recorder.StepCount();
    EnableIfChanged(m_delay.Window(), idle);
    // Buttons without a caption of their own look disabled only when greyed.
    auto enable = [](CBitmapBtn* button, bool enabled) {
        if (button == nullptr)
            return;
        EnableIfChanged(button->Window(), enabled);
        button->SetGreyed(!enabled);
    };
    enable(m_pDelete, onStep);
    enable(m_pSetDelay, onStep && m_recorder.PauseOnLine(line).has_value());
    enable(m_pInsertPause, onStep && m_recorder.StepCount() < MACRO_MAX_STEPS);
}

int CDlgMacro::SelectedLine() const
{
    if (m_list.Window() == nullptr)
        return -1;
    const LRESULT line = SendMessageW(m_list.Window(), LB_GETCURSEL, 0, 0);
    return line == LB_ERR ? -1 : int(line);
}

int CDlgMacro::DelayFieldValue() const
{
    wchar_t text[16] = L"";
    GetWindowTextW(m_delay.Window(), text, 16);
    return skinpath::TextToInt(text);
}

void CDlgMacro::ShowDelay(int milliseconds)
{
    SetWindowTextW(m_delay.Window(), std::to_wstring(milliseconds).c_str());
}

void CDlgMacro::SyncList()
{
    HWND list = m_list.Window();
    if (list == nullptr)
        return;
    // Emptied since: refilled whole. Otherwise only the lines that came or went change, so an
    // edit of a long macro costs what it changes.
    const std::vector<MacroRecorder::ListEdit> edits = m_recorder.TakeListEdits();
    const bool refill = m_recorder.ListGeneration() != m_nShownGeneration;
    const std::vector<std::wstring>& lines = m_recorder.ListLines();
    // A loaded macro brings hundreds of lines, and every line an edit takes out or puts in before
    // the end moves the scroll bar: the list is drawn once, when they are all done. A recording's
    // lines come at the end a few at a time and are drawn as they come.
    bool onlyAppended = true;
    for (int count = int(SendMessageW(list, LB_GETCOUNT, 0, 0)); const MacroRecorder::ListEdit& edit : edits)
        onlyAppended = onlyAppended && edit.bInsert && edit.nLine == count++;
    const bool many = refill ? lines.size() > 8 : edits.size() > 8 || !onlyAppended;
    if (many)
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    if (refill) {
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        m_nShownGeneration = m_recorder.ListGeneration();
        SendMessageW(list, LB_INITSTORAGE, lines.size(), 0);
        for (const std::wstring& line : lines)
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    } else {
        for (const MacroRecorder::ListEdit& edit : edits) {
            if (edit.bInsert)
                SendMessageW(list, LB_INSERTSTRING, WPARAM(edit.nLine), reinterpret_cast<LPARAM>(edit.strText.c_str()));
            else
                SendMessageW(list, LB_DELETESTRING, WPARAM(edit.nLine), 0);
        }
    }
    if (many) {
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
    if (bool(IsWindowEnabled(list)) != m_recorder.ListEnabled())
        EnableWindow(list, m_recorder.ListEnabled() ? TRUE : FALSE);
    if (std::optional<int> top = m_recorder.TakeListTop())
        SendMessageW(list, LB_SETTOPINDEX, WPARAM(*top), 0);
}
