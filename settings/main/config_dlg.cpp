#include "config_dlg.h"

#include <commdlg.h>

#include "agent_channel.h"
#include "buffered_paint.h"
#include "data_folder.h"
#include "diag.h"
#include "dlg_download.h"
#include "dlg_funmenu.h"
#include "dlg_macro.h"
#include "dlg_warning.h"
#include "file_dialogs.h"
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
              kFirstSlotKey = 24, kStatusKey = 34, kClose2Key = 35;
constexpr int kFirstKeyEntry = 20;  // "KEYS" 20-173 are keys 0-153

constexpr RECT kDriverVersionRect{185, 5, 376, 21};
constexpr RECT kSlotCaptionRect{0, 0, 34, 34};
constexpr int kKeyFontHeight = 16;

} // namespace

CConfigDlg::CConfigDlg(EditorImage& image)
    : m_image(image), keyboard_config(image.keyboard_config), profile_config(image.profile_config),
      m_skin(SkinBehaviour{true, false, true})
{
    m_icon.Reset(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
}

CConfigDlg::~CConfigDlg() = default;

INT_PTR CConfigDlg::Run()
{
    const INT_PTR result = RunDialog(*this, IDD_CONFIG_DIALOG, nullptr);
    return m_bEndedAtStart ? 0 : result;
}

INT_PTR CConfigDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR handled = FALSE;
    if (m_skin.Window() != nullptr && m_skin.HandleDialogMessage(m_hWnd, message, wParam, lParam, handled))
        return handled;
    auto answer = [this](LRESULT result) {
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    };
    switch (message) {
    case WM_INITDIALOG:
        // The skin is loaded first, as a creation handler would, then the dialog is initialised.
        if (OnCreate())
            OnInitDialog();
        return FALSE;  // the focus was not set
    case WM_PAINT:
        OnPaint();
        return TRUE;
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return TRUE;
    case WM_TIMER:
        m_state->BlinkTick();
        SyncButtons();
        return FALSE;
    case WM_PROFILE_CHANGED:
        m_session->OnProfileChanged(long(lParam));
        return answer(1);
    case WM_MAIN_BLINK:
        m_state->ToggleStatus();
        SyncButtons();
        return answer(1);
    case WM_LOADING_READY:
        OnLoadingReady();
        return answer(1);
    case WM_EDITOR_IGNORED:
    case WM_MACRO_EDITOR_SHOWN:
        return answer(1);
    case WM_DESTROY:
        m_keyFilter.reset();
        KillTimer(m_hWnd, TIMER_BLINK_KEY);
        KillTimer(m_hWnd, TIMER_BLINK_SLOT);
        return FALSE;
    case WM_QUERYDRAGICON:
        return answer(reinterpret_cast<LRESULT>(m_icon.Get()));
    default:
        return FALSE;
    }
}

// ---------------------------------------------------------------------------------------------
// Start-up

bool CConfigDlg::OnCreate()
{
    const std::wstring dataFolder = DataFolder();
    Diag(L"DataFolder = %ls\n", dataFolder.c_str());
    m_store.emplace(dataFolder, ProgramRole::Editor);
    ReadFunctionNames();
    m_state.emplace(keyboard_config, profile_config, m_functionNames);
    m_files.emplace(*m_store);
    m_session.emplace(keyboard_config, profile_config, *m_state, *m_files, static_cast<EditorHost&>(*this));
    LoadSkin();
    m_skin.ApplyRegion();
    return true;
}

void CConfigDlg::ReadFunctionNames()
{
    CSkinFile menu(L"menu_skin.ini");
    for (int n = 0; n < FUNCTION_NAME_COUNT; ++n)
        m_functionNames[size_t(n)] = menu.ReadButton(SKIN_BUTTONINFO, n + 1).szCaption;
}

void CConfigDlg::LoadSkin()
{
    CSkinFile file(L"main.ini");
    // The window is still hidden (a dialog shows after its initialisation): nothing paints
    // while the buttons are made.
    m_skin.LoadScreen(m_hWnd, file, true);
    m_strDriverVersion = file.ReadString(L"Driver_Version", L"Driver_Version");
    const int labelFontHeight = ReadSkinFontHeight(file.Folder(), L"main_font.ini", L"BUTTONFONT");
    // Read and applied to nothing, like the skin's other profile font settings.
    (void)ReadSkinFontHeight(file.Folder(), L"main_profilefont.ini", L"PROFILEFONT");

    auto add = [&](int key) { return m_skin.AddButton(file, SKIN_BUTTONINFO, key); };
    m_pMinimise = add(kMinimiseKey);
    m_pClose = add(kCloseKey);
    m_pWebPage = add(kWebPageKey);
    m_pStatus = add(kStatusKey);
    for (int p = 0; p < USER_PROFILE_COUNT; ++p)
        m_pProfiles[size_t(p)] = add(kFirstProfileKey + p);
    m_pExport = add(kExportKey);
    m_pImport = add(kImportKey);
    m_pApply = add(kApplyKey);
    m_pApplyClose = add(kApplyCloseKey);
    m_pClose2 = add(kClose2Key);
    m_pReset = add(kResetKey);

    for (int k = 0; k < KEY_COUNT; ++k) {
        const ButtonInfo info = file.ReadButton(L"KEYS", kFirstKeyEntry + k);
        m_rcKeys[size_t(k)] = RECT{info.nLeft, info.nTop, info.nRight, info.nBottom};
        CBitmapBtn* key = m_skin.AddButton(info);
        m_pKeys[size_t(k)] = key;
        if (key == nullptr)
            continue;
        key->m_strName = info.szName;
        key->m_nFontHeight = kKeyFontHeight;
        key->m_nAlign = BTN_ALIGN_CENTRE;
    }
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        CBitmapBtn* label = add(kFirstLabelKey + s);
        m_pLabels[size_t(s)] = label;
        if (label != nullptr) {
            label->m_nFontHeight = labelFontHeight;
            label->m_bGreyed = false;
        }
        const ButtonInfo slotInfo = file.ReadButton(SKIN_BUTTONINFO, kFirstSlotKey + s);
        CBitmapBtn* slot = m_skin.AddButton(slotInfo);
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

    m_versionFont.Reset(CreateFontW(14, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, L"AvenirLTStd-Light"));
}

void CConfigDlg::OnInitDialog()
{
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.Get()));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon.Get()));
    SetWindowTextW(m_hWnd, kEditorWindowTitle);

    if (!m_session->Open(FindAgentWindow() != nullptr)) {
        m_bEndedAtStart = true;
        EndDialog(m_hWnd, 0);
        return;
    }
    // The keyboard has no effect in this window: Enter and Esc do not end it, keys press nothing.
    m_keyFilter.emplace(m_hWnd, IsKeyPress);
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// ---------------------------------------------------------------------------------------------
// Display

void CConfigDlg::OnPaint()
{
    BufferedPaint paint(m_hWnd, m_skin.ClientSize());
    m_skin.DrawBackground(paint.Dc());
    // Drawn on the painted copy only, so repeated paints never thicken the text.
    DrawSkinText(paint.Dc(), m_strDriverVersion.c_str(), kDriverVersionRect, m_versionFont.Get(),
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
            const SkinBitmap& notext = m_skin.m_bmpNotext;
            button->SetStateImages(notext, notext, notext, notext, rect);
            button->SetCaption(L"M" + std::to_wstring(look.nLabelSlot + 1));
            button->m_nIndicatorMode = 1;
        } else {
            button->SetStateImages(m_skin.m_bmpMain, m_skin.m_bmpOver, m_skin.m_bmpDown, m_skin.m_bmpDisabled, rect);
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

int CConfigDlg::IndexOf(HWND button, CBitmapBtn* const* buttons, int count) const
{
    for (int i = 0; i < count; ++i) {
        if (buttons[i] != nullptr && buttons[i]->Window() == button)
            return i;
    }
    return -1;
}

void CConfigDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    HWND from = reinterpret_cast<HWND>(lParam);
    if (from == nullptr) {
        // The platform's cancel (WM_CLOSE from the agent): the editor ends, edits are dropped.
        if (LOWORD(wParam) == IDCANCEL)
            EndDialog(m_hWnd, IDCANCEL);
        return;
    }
    if (HIWORD(wParam) != BN_CLICKED)
        return;
    auto is = [from](const CBitmapBtn* button) { return button != nullptr && button->Window() == from; };
    if (int p = IndexOf(from, m_pProfiles.data(), USER_PROFILE_COUNT); p >= 0)
        m_session->OnProfileButton(p);
    else if (int k = IndexOf(from, m_pKeys.data(), KEY_COUNT); k >= 0)
        OnKeyButton(k);
    else if (int s = IndexOf(from, m_pSlots.data(), BUTTON_COUNT); s >= 0)
        OnSlotButton(s);
    else if (int l = IndexOf(from, m_pLabels.data(), BUTTON_COUNT); l >= 0)
        OnFunctionLabel(l);
    else if (is(m_pStatus)) {
        m_state->ToggleStatus();
        SyncButtons();
    } else if (is(m_pApply))
        OnApply(false);
    else if (is(m_pApplyClose))
        OnApply(true);
    else if (is(m_pReset))
        m_session->OnReset();
    else if (is(m_pExport))
        m_session->OnExport();
    else if (is(m_pImport))
        m_session->OnImport();
    else if (is(m_pWebPage))
        OnWebPage();
    else if (is(m_pMinimise))
        PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (is(m_pClose) || is(m_pClose2))
        PostQuitMessage(0);  // ends the modal run; pending edits are dropped
}

void CConfigDlg::OnLoadingReady()
{
    m_session->OnDownloadReady();
    if (m_pDownload != nullptr)
        m_pDownload->StartJobTimer();
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
    return ShowWarning(m_hWnd, kind) == IDOK;
}

bool CConfigDlg::RunDownload(DownloadMode mode, int profile, int deviceStatus)
{
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

void CConfigDlg::StartAgent()
{
    qelt::StartAgent(ProgramFolder());
}

std::wstring CConfigDlg::AskProfilePath(ProfileFileQuestion question)
{
    return AskFilePath(m_hWnd, question == ProfileFileQuestion::Export ? FileDialogKind::SaveProfile
                                                                        : FileDialogKind::OpenProfile);
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
    // A single step (a key pressed and stopped at once) is no macro: the slot keeps what it had.
    if (editor.Run(m_hWnd) == 1 && editor.StepCount() >= 2)
        m_state->TakeMacro(slot, editor.Macro(), editor.RunningTotal());
    SyncButtons();
}
