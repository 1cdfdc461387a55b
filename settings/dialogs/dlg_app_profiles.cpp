#include "dlg_app_profiles.h"

#include <vector>

#include "agent_channel.h"
#include "app_rules_file.h"
#include "diag.h"
#include "file_dialogs.h"
#include "handles.h"
#include "modal_dialog.h"
#include "resource.h"
#include "running_programs.h"

using namespace qelt;

namespace {

// "BUTTONINFO" keys of apps_skin.ini.
constexpr int kAddFileKey = 1, kAddRunningKey = 2, kRemoveKey = 3, kFirstProfileKey = 4, kOkKey = 9, kCancelKey = 10;
constexpr UINT kRuleListId = 1007;
constexpr RECT kRuleListRect{24, 76, 396, 312};
constexpr int kRuleLineHeight = 22;
// The running-programs menu: item identifiers from 1, each an index into the offered list + 1.
constexpr UINT kFirstProgramItem = 1;

// Rules saved to the file, then the agent told.
class FileAndAgent final : public RulesSaver {
public:
    explicit FileAndAgent(const std::wstring& path) : m_path(path) {}
    bool Write(const AppRules& rules) override { return WriteAppRulesFile(m_path, rules); }
    // A stopped agent reads the file when it starts: nothing to tell then.
    void TellAgent() override { (void)PostAgentRequest(AP_RELOAD_APP_PROFILES, 0); }

private:
    const std::wstring& m_path;
};

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(0, slash);
}

} // namespace

CDlgAppProfiles::CDlgAppProfiles(std::wstring rulesFile)
    : SkinnedDialog(IDD_APP_PROFILES, L"apps_skin.ini", SkinBehaviour{true, false, true}),
      m_strRulesFile(std::move(rulesFile)), m_edit(ReadAppRulesFile(m_strRulesFile))
{
}

void CDlgAppProfiles::OnSkinLoaded(const CSkinFile& file)
{
    AddButton(file, kAddFileKey, [this] { OnAddFile(); });
    m_pAddRunning = AddButton(file, kAddRunningKey, [this] { OnAddRunning(m_pAddRunning); });
    m_pRemove = AddButton(file, kRemoveKey, [this] {
        if (m_edit.RemoveSelected())
            ShowRules();
    });
    for (int p = 0; p < kProfileButtons; ++p) {
        m_pProfiles[size_t(p)] = AddButton(file, kFirstProfileKey + p, [this, p] {
            if (m_edit.SetSelectedProfile(p))
                ShowRules();
        });
    }
    AddButton(file, kOkKey, [this] { OnOk(); });
    AddButton(file, kCancelKey, [this] { End(IDCANCEL); });

    if (m_list.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED |
                          LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                      kRuleListRect, m_hWnd, kRuleListId)) {
        m_list.m_nItemHeight = kRuleLineHeight;
        SendMessageW(m_list.Window(), LB_SETITEMHEIGHT, 0, kRuleLineHeight);
        m_list.m_crText = 0xE0DAD6;
        m_list.m_crSelectedText = 0xFFC600;
        m_list.m_crSelectedBackground = 0x543E08;
        m_list.SetBackground(0x100D0C);
        SendMessageW(m_list.Window(), WM_SETFONT, reinterpret_cast<WPARAM>(Font(skinfont::kMacroText)), FALSE);
    }
}

bool CDlgAppProfiles::OnInitDialog()
{
    ShowRules();
    CentreOverOwner(m_hWnd);
    return true;
}

std::optional<LRESULT> CDlgAppProfiles::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MEASUREITEM && wParam == kRuleListId) {
        m_list.MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return TRUE;
    }
    return std::nullopt;
}

void CDlgAppProfiles::OnOtherCommand(WORD id, WORD code, HWND from)
{
    if (from == nullptr) {
        // Enter and Esc (and closing the window) act as OK and Cancel.
        if (id == IDOK)
            OnOk();
        else if (id == IDCANCEL)
            End(IDCANCEL);
        return;
    }
    if (from == m_list.Window() && code == LBN_SELCHANGE) {
        m_edit.Select(int(SendMessageW(from, LB_GETCURSEL, 0, 0)));  // LB_ERR (-1): none
        ShowSelection();
    }
}

void CDlgAppProfiles::OnAddFile()
{
    const std::wstring path = AskFilePath(m_hWnd, FileDialogKind::OpenProgram);
    if (!path.empty() && m_edit.AddProgram(path))
        ShowRules();
}

void CDlgAppProfiles::OnAddRunning(const CBitmapBtn* button)
{
    const std::vector<RunningProgram> offered = ProgramsToOffer(WindowsOfOtherPrograms(), m_edit.Rules());
    UniqueMenu menu(CreatePopupMenu());
    if (!menu || button == nullptr)
        return;
    if (offered.empty())
        AppendMenuW(menu.Get(), MF_STRING | MF_GRAYED, 0, L"No other program has a window");
    std::wstring names;  // in menu order, for whoever reads the diagnostics (the scenarios)
    for (size_t i = 0; i < offered.size(); ++i) {
        names += (i == 0 ? L"" : L", ") + std::wstring(FileNameOf(offered[i].path));
        std::wstring item(FileNameOf(offered[i].path));
        item += L"  -  " + offered[i].title;
        AppendMenuW(menu.Get(), MF_STRING, kFirstProgramItem + i, item.c_str());
    }
    Diag(L"Program profiles: %u running program(s) offered: %ls\n", unsigned(offered.size()), names.c_str());
    RECT rect{};
    GetWindowRect(button->Window(), &rect);
    const UINT chosen = UINT(TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_NONOTIFY,
                                            rect.left, rect.bottom, 0, m_hWnd, nullptr));
    if (chosen >= kFirstProgramItem && chosen - kFirstProgramItem < offered.size() &&
        m_edit.AddProgram(offered[chosen - kFirstProgramItem].path))
        ShowRules();
}

void CDlgAppProfiles::OnOk()
{
    FileAndAgent saver(m_strRulesFile);
    if (m_edit.Save(saver) != SaveResult::Failed) {
        End(IDOK);
        return;
    }
    // The dialog stays open with the edits: the user may free the file and try again, or cancel.
    const std::wstring text = L"The program profiles could not be saved to\n" + m_strRulesFile +
                              L"\n\nCheck that the folder " + FolderOf(m_strRulesFile) +
                              L" exists and can be written to, then press OK again, or Cancel to keep the old rules.";
    MessageBoxW(m_hWnd, text.c_str(), L"Program profiles", MB_OK | MB_ICONWARNING);
}

void CDlgAppProfiles::ShowRules()
{
    HWND list = m_list.Window();
    if (list != nullptr) {
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        for (const std::wstring& line : m_edit.Lines())
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SendMessageW(list, LB_SETCURSEL, WPARAM(m_edit.Selection()), 0);
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
    ShowSelection();
}

void CDlgAppProfiles::ShowSelection()
{
    const int profile = m_edit.SelectedProfile();
    for (int p = 0; p < kProfileButtons; ++p) {
        if (CBitmapBtn* button = m_pProfiles[size_t(p)]) {
            button->SetSelected(p == profile);
            EnableWindow(button->Window(), profile >= 0);
        }
    }
    if (m_pRemove != nullptr)
        EnableWindow(m_pRemove->Window(), profile >= 0);
}
