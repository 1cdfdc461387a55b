#include "config_dlg.h"

#include <commdlg.h>

#include "agent_channel.h"
#include "app_rules_file.h"
#include "buffered_paint.h"
#include "data_folder.h"
#include "diag.h"
#include "dlg_app_profiles.h"
#include "dlg_download.h"
#include "dlg_funmenu.h"
#include "dlg_macro.h"
#include "dlg_warning.h"
#include "file_dialogs.h"
#include "file_messages.h"
#include "keycodes_win.h"
#include "modal_dialog.h"
#include "resource.h"
#include "shell_open.h"
#include "skin_files.h"

using namespace qelt;

namespace {

// "BUTTONINFO" keys of main.ini.
constexpr int kMinimiseKey = 1, kCloseKey = 2, kWebPageKey = 3, kFirstProfileKey = 4, kExportKey = 9,
              kImportKey = 10, kApplyKey = 11, kApplyCloseKey = 12, kResetKey = 13, kFirstLabelKey = 14,
              kFirstSlotKey = 24, kStatusKey = 34, kClose2Key = 35, kAppProfilesKey = 36;
constexpr int kFirstKeyEntry = 20;  // "KEYS" 20-173 are keys 0-153

constexpr RECT kDriverVersionRect{185, 5, 376, 21};
constexpr RECT kSlotCaptionRect{0, 0, 34, 34};
constexpr int kKeyFontHeight = 16;
// How long the start-up waits for the agent's device status; its window thread never pauses.
constexpr unsigned kDeviceStatusAnswerMs = 2000;

} // namespace

CConfigDlg::CConfigDlg(EditorImage& image)
    : SkinnedDialog(IDD_CONFIG_DIALOG, L"main.ini", SkinBehaviour{true, false, true}, true), m_image(image),
      keyboard_config(image.keyboard_config), profile_config(image.profile_config)
{
    m_icon.Reset(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
}

CConfigDlg::~CConfigDlg() = default;

INT_PTR CConfigDlg::Run()
{
    const INT_PTR result = RunModal(nullptr);
    return m_bEndedAtStart ? 0 : result;
}

std::optional<LRESULT> CConfigDlg::OnMessage(UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        m_state->BlinkTick();
        SyncButtons();
        return std::nullopt;
    case WM_PROFILE_CHANGED:
        if (m_nDialogsOpen > 0) {
            DeferProfileChange(long(lParam));
            return 1;
        }
        m_session->OnProfileChanged(long(lParam));
        return 1;
    case WM_MAIN_BLINK:
        m_state->ToggleStatus();
        SyncButtons();
        return 1;
    case WM_LOADING_READY:
        OnLoadingReady();
        return 1;
    case WM_EDITOR_IGNORED:
    case WM_MACRO_EDITOR_SHOWN:
        return 1;
    case WM_DESTROY:
        m_keyFilter.reset();
        KillTimer(m_hWnd, TIMER_BLINK_KEY);
        KillTimer(m_hWnd, TIMER_BLINK_SLOT);
        return std::nullopt;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_icon.Get());
    default:
        return std::nullopt;
    }
}

// ---------------------------------------------------------------------------------------------
// Start-up

void CConfigDlg::OnSkinLoaded(const CSkinFile& file)
{
    const std::wstring dataFolder = DataFolder();
    Diag(L"DataFolder = %ls\n", dataFolder.c_str());
    m_store.emplace(dataFolder, ProgramRole::Editor);
    ReadFunctionNames();
    m_state.emplace(keyboard_config, profile_config, m_functionNames);
    m_files.emplace(*m_store);
    m_session.emplace(keyboard_config, profile_config, *m_state, *m_files, static_cast<EditorHost&>(*this));
    LoadSkin(file);
}

void CConfigDlg::ReadFunctionNames()
{
    CSkinFile menu(L"menu_skin.ini");
    for (int n = 0; n < FUNCTION_NAME_COUNT; ++n)
        m_functionNames[size_t(n)] = menu.ReadButton(SKIN_BUTTONINFO, n + 1).szCaption;
}

void CConfigDlg::LoadSkin(const CSkinFile& file)
{
    m_strDriverVersion = file.ReadString(L"Driver_Version", L"Driver_Version");
    const int labelFontHeight = ReadSkinFontHeight(file.Folder(), L"main_font.ini", L"BUTTONFONT");
    // Read and applied to nothing, like the skin's other profile font settings.
    (void)ReadSkinFontHeight(file.Folder(), L"main_profilefont.ini", L"PROFILEFONT");

    // Closing drops pending edits: the modal run ends.
    auto close = [] { PostQuitMessage(0); };
    AddButton(file, kMinimiseKey, [this] { PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0); });
    AddButton(file, kCloseKey, close);
    AddButton(file, kWebPageKey, [this] { OnWebPage(); });
    m_pStatus = AddButton(file, kStatusKey, [this] {
        m_state->ToggleStatus();
        SyncButtons();
    });
    for (int p = 0; p < USER_PROFILE_COUNT; ++p)
        m_pProfiles[size_t(p)] = AddButton(file, kFirstProfileKey + p, [this, p] { m_session->OnProfileButton(p); });
    AddButton(file, kExportKey, [this] { m_session->OnExport(); });
    AddButton(file, kImportKey, [this] { m_session->OnImport(); });
    AddButton(file, kApplyKey, [this] { OnApply(false); });
    AddButton(file, kApplyCloseKey, [this] { OnApply(true); });
    AddButton(file, kClose2Key, close);
    AddButton(file, kResetKey, [this] { m_session->OnReset(); });
    AddButton(file, kAppProfilesKey, [this] { OnAppProfiles(); });

    for (int k = 0; k < KEY_COUNT; ++k) {
        const ButtonInfo info = file.ReadButton(L"KEYS", kFirstKeyEntry + k);
        m_rcKeys[size_t(k)] = RECT{info.nLeft, info.nTop, info.nRight, info.nBottom};
        CBitmapBtn* key = AddButton(info, [this, k] { OnKeyButton(k); });
        m_pKeys[size_t(k)] = key;
        if (key == nullptr)
            continue;
        key->m_strName = info.szName;
        key->m_nFontHeight = kKeyFontHeight;
        key->m_nAlign = BTN_ALIGN_CENTRE;
    }
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        CBitmapBtn* label = AddButton(file, kFirstLabelKey + s, [this, s] { OnFunctionLabel(s); });
        m_pLabels[size_t(s)] = label;
        if (label != nullptr) {
            label->m_nFontHeight = labelFontHeight;
            label->m_bGreyed = false;
        }
        const ButtonInfo slotInfo = file.ReadButton(SKIN_BUTTONINFO, kFirstSlotKey + s);
        CBitmapBtn* slot = AddButton(slotInfo, [this, s] { OnSlotButton(s); });
        m_pSlots[size_t(s)] = slot;
        if (slot != nullptr) {
            slot->SetCaption(slotInfo.szCaption);
            slot->m_bUseTextRect = true;
            slot->m_rcText = kSlotCaptionRect;
            slot->m_nAlign = BTN_ALIGN_CENTRE;
        }
    }
    // The profile and status buttons start as their skin entries say.
    for (int p = 0; p < USER_PROFILE_COUNT; ++p) {
        if (m_pProfiles[size_t(p)] != nullptr)
            m_state->SetProfileButtonSelected(p, m_pProfiles[size_t(p)]->m_bSelected);
    }
    if (m_pStatus != nullptr)
        m_state->SetStatusSelected(m_pStatus->m_bSelected);
}

bool CConfigDlg::OnInitDialog()
{
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.Get()));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon.Get()));
    SetWindowTextW(m_hWnd, kEditorWindowTitle);

    if (!m_session->Open(FindAgentWindow() != nullptr)) {
        m_bEndedAtStart = true;
        EndDialog(m_hWnd, 0);
        return false;
    }
    // The keyboard has no effect in this window: Enter and Esc do not end it, keys press nothing.
    m_keyFilter.emplace(m_hWnd, IsKeyPress);
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    return false;  // the focus was not set
}

// ---------------------------------------------------------------------------------------------
// Display

void CConfigDlg::PaintOver(HDC dc)
{
    DrawSkinText(dc, m_strDriverVersion.c_str(), kDriverVersionRect, Font(skinfont::kDriverVersion),
                 RGB(160, 160, 160), 0);
}

void CConfigDlg::ApplyKeyLook(int key, const KeyLook& look, bool force)
{
    CBitmapBtn* button = m_pKeys[size_t(key)];
    KeyLook& shown = m_shownKeys[size_t(key)];
    if (button == nullptr) {
        shown = look;
        return;
    }
    bool repaint = false;
    if (force || look.nLabelSlot != shown.nLabelSlot) {
        const RECT& rect = m_rcKeys[size_t(key)];
        if (look.nLabelSlot >= 0) {
            // Without its Notext image (damaged skin) the key keeps its legend under the label
            // rather than showing nothing.
            const SkinBitmap& notext = Skin().m_bmpNotext.Empty() ? Skin().m_bmpMain : Skin().m_bmpNotext;
            button->SetStateImages(notext, notext, notext, notext, rect);
            button->SetCaption(L"M" + std::to_wstring(look.nLabelSlot + 1));
            button->m_nIndicatorMode = 1;
        } else {
            const CSkinnedWindow& skin = Skin();
            button->SetStateImages(skin.m_bmpMain, skin.m_bmpOver, skin.m_bmpDown, skin.m_bmpDisabled, rect);
            button->SetCaption(L"");
            button->m_nIndicatorMode = 0;
        }
        repaint = true;
    }
    if (force || look.bSelected != shown.bSelected) {
        button->m_bSelected = look.bSelected;
        repaint = true;
    }
    if (force || look.bEnabled != shown.bEnabled)
        EnableWindow(button->Window(), look.bEnabled);
    if (repaint)
        InvalidateRect(button->Window(), nullptr, FALSE);
    shown = look;
}

void CConfigDlg::SyncButtons()
{
    const bool force = !m_bShownOnce;
    m_bShownOnce = true;
    for (int k = 0; k < KEY_COUNT; ++k)
        ApplyKeyLook(k, m_state->Key(k), force);

    for (int s = 0; s < BUTTON_COUNT; ++s) {
        const SlotLook& look = m_state->Slot(s);
        SlotLook& shown = m_shownSlots[size_t(s)];
        if (CBitmapBtn* slot = m_pSlots[size_t(s)])
            slot->SetSelected(look.bSlotSelected);
        if (CBitmapBtn* label = m_pLabels[size_t(s)]) {
            if (force || look.bLabelEnabled != shown.bLabelEnabled)
                EnableWindow(label->Window(), look.bLabelEnabled);
            label->SetGreyed(look.bLabelGreyed);
            if (force || look.strCaption != shown.strCaption) {
                label->SetCaption(look.strCaption);
                RedrawWindow(label->Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            }
        }
        shown = look;
    }
    for (int p = 0; p < USER_PROFILE_COUNT; ++p) {
        if (CBitmapBtn* button = m_pProfiles[size_t(p)])
            button->SetSelected(m_state->ProfileButtonSelected(p));
    }
    if (m_pStatus != nullptr)
        m_pStatus->SetSelected(m_state->StatusSelected());
    ApplyBlinkTimer();
}

void CConfigDlg::ApplyBlinkTimer()
{
    const unsigned wanted = m_state->BlinkTimer();
    if (wanted == m_nRunningBlinkTimer)
        return;
    KillTimer(m_hWnd, TIMER_BLINK_KEY);
    KillTimer(m_hWnd, TIMER_BLINK_SLOT);
    if (wanted != 0 && !SetTimer(m_hWnd, wanted, BLINK_PERIOD_MS, nullptr))
        DiagLastError(L"SetTimer (blink)");
    m_nRunningBlinkTimer = wanted;
}

// ---------------------------------------------------------------------------------------------
// Messages

void CConfigDlg::OnOtherCommand(WORD id, WORD, HWND from)
{
    // The platform's cancel (WM_CLOSE from the agent): the editor ends, edits are dropped.
    if (from == nullptr && id == IDCANCEL)
        EndDialog(m_hWnd, IDCANCEL);
}

void CConfigDlg::OnLoadingReady()
{
    const bool saved = m_session->OnDownloadReady();
    if (m_pDownload == nullptr)
        return;
    if (saved)
        m_pDownload->StartJobTimer();
    else
        m_pDownload->EndWithoutJob();  // the agent would send the files as they were
}

void CConfigDlg::DeferProfileChange(long reason)
{
    // The full notice (read and show) covers a read-only one; other values do nothing anyway.
    if (reason == long(PROFILE_CHANGED_RELOAD) || (reason == long(PROFILE_CHANGED_READ_ONLY) &&
                                                   m_nDeferredProfileChange != long(PROFILE_CHANGED_RELOAD)))
        m_nDeferredProfileChange = reason;
}

CConfigDlg::DialogRun::DialogRun(CConfigDlg& window) : m_window(window)
{
    ++m_window.m_nDialogsOpen;
}

CConfigDlg::DialogRun::~DialogRun()
{
    if (--m_window.m_nDialogsOpen > 0 || m_window.m_nDeferredProfileChange == 0)
        return;
    // Posted: handled once the command that ran the dialog has finished (or deferred again by
    // the next dialog it runs).
    if (!PostMessageW(m_window.m_hWnd, WM_PROFILE_CHANGED, 0, m_window.m_nDeferredProfileChange))
        DiagLastError(L"PostMessageW (WM_PROFILE_CHANGED)");
    m_window.m_nDeferredProfileChange = 0;
}

// ---------------------------------------------------------------------------------------------
// Commands

void CConfigDlg::OnApply(bool closeAfter)
{
    if (m_session->OnApply(closeAfter))
        EndDialog(m_hWnd, IDOK);
}

bool CConfigDlg::AskWarning(WarningKind kind)
{
    const DialogRun run(*this);
    return ShowWarning(m_hWnd, kind) == IDOK;
}

bool CConfigDlg::RunDownload(DownloadMode mode, int profile, int deviceStatus)
{
    const DialogRun run(*this);
    DlgDownLin dialog(deviceStatus);
    dialog.SetJob(mode, profile);
    m_pDownload = &dialog;
    const INT_PTR result = dialog.Run(m_hWnd);
    m_pDownload = nullptr;
    return result == 1;
}

void CConfigDlg::PostToAgent(ApRequest request, int profile)
{
    PostAgentRequest(request, profile);
}

std::optional<int> CConfigDlg::AskAgentDeviceStatus()
{
    return qelt::AskAgentDeviceStatus(kDeviceStatusAnswerMs);
}

void CConfigDlg::ShowMessage(const wchar_t* title, const std::wstring& text)
{
    const DialogRun run(*this);
    ShowFileMessage(m_hWnd, title, text);
}

void CConfigDlg::TellSaveFailed(const FileWriteResult& failure)
{
    ShowMessage(kSaveFailedTitle, SaveFailedText(failure));
}

void CConfigDlg::TellExportFailed(const FileWriteResult& failure)
{
    ShowMessage(kExportTitle, ExportFailedText(failure));
}

void CConfigDlg::TellImportRefused(const std::wstring& path)
{
    ShowMessage(kImportTitle, ImportRefusedText(path));
}

void CConfigDlg::TellProgramsDropped(const std::wstring& path, const std::vector<int>& slots)
{
    ShowMessage(kImportTitle, ProgramsDroppedText(path, slots));
}

void CConfigDlg::StartAgent()
{
    qelt::StartAgent(ProgramFolder());
}

std::wstring CConfigDlg::AskProfilePath(ProfileFileQuestion question)
{
    const DialogRun run(*this);
    return AskFilePath(m_hWnd, question == ProfileFileQuestion::Export ? FileDialogKind::SaveProfile
                                                                        : FileDialogKind::OpenProfile);
}

void CConfigDlg::OnAppProfiles()
{
    // The rules are the agent's alone: nothing of the profiles being edited changes.
    const DialogRun run(*this);
    CDlgAppProfiles dialog(AppRulesFilePath(m_store->DataFolderPath()));
    dialog.Run(m_hWnd);
}

void CConfigDlg::OnWebPage()
{
    CSkinFile file(L"main.ini");
    const std::wstring target = file.ReadString(L"WEB_PAGE", L"URL");
    if (target.empty())
        OpenHelpPage(nullptr);
    else
        OpenWithShell(nullptr, target);
}

// ---------------------------------------------------------------------------------------------
// Key assignment

void CConfigDlg::OnSlotButton(int slot)
{
    m_state->SelectSlot(slot, false);
    SyncButtons();
}

void CConfigDlg::OnKeyButton(int key)
{
    m_state->BindKeyToSlot(key);
    SyncButtons();
}

void CConfigDlg::OnFunctionLabel(int slot)
{
    CBitmapBtn* label = m_pLabels[size_t(slot)];
    if (label == nullptr)
        return;
    RECT onScreen{};
    GetClientRect(label->Window(), &onScreen);
    MapWindowPoints(label->Window(), nullptr, reinterpret_cast<POINT*>(&onScreen), 2);
    const MenuPoint at = MenuPosition(MenuRect{onScreen.left, onScreen.top, onScreen.right, onScreen.bottom},
                                      GetSystemMetrics(SM_CYFULLSCREEN));
    // The slot is changed in the profile shown now: another profile comes only afterwards.
    const DialogRun run(*this);
    CDlgFunMenu menu;
    menu.SetPosition(at.x, at.y);
    const int item = int(menu.Run(m_hWnd));
    InvalidateRect(label->Window(), nullptr, FALSE);

    std::wstring program;
    if (item == ITEM_LAUNCH_APP)
        program = AskFilePath(m_hWnd, FileDialogKind::OpenProgram);
    // Shortcuts are built for the layout the user types with right now.
    m_state->ChooseFunction(slot, item, program, ForegroundLayout());
    SyncButtons();
    if (item == ITEM_MACRO)
        RunMacroEditor(slot);
}

void CConfigDlg::RunMacroEditor(int slot)
{
    PROFILE_CONFIG& profile = m_state->Profile();
    CDlgMacro editor(profile.TButton[slot].Macro, profile.nMacroTotal);
    const int endCode = int(editor.Run(m_hWnd));
    m_state->TakeEditedMacro(slot, endCode, editor.StepCount(), editor.Macro(), editor.RunningTotal());
    SyncButtons();
}
