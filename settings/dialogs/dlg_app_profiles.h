#pragma once
// "Program profiles": the rules that give a program in front a profile of its own, listed with
// their title parts and profiles; a program added from a file or from the running programs, the
// selected rule's profile chosen with the buttons 1-5, or the rule removed. OK saves the rules to
// "Programs.config" and tells the agent to read them again; Cancel changes nothing. The rules
// themselves are edited by ProgramProfilesEdit.
#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "controls.h"
#include "program_profiles_edit.h"
#include "skinned_dialog.h"

class CDlgAppProfiles final : public qelt::SkinnedDialog {
public:
    // rulesFile: the full path of "Programs.config".
    explicit CDlgAppProfiles(std::wstring rulesFile);

    // Modal. IDOK once the rules were saved (or nothing changed), IDCANCEL otherwise.
    INT_PTR Run(HWND owner) { return RunModal(owner); }

private:
    static constexpr int kProfileButtons = 5;

    void OnSkinLoaded(const CSkinFile& file) override;
    std::wstring DisplayName() const override { return L"The program profiles"; }
    bool OnInitDialog() override;
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOtherCommand(WORD id, WORD code, HWND from) override;

    void OnAddFile();
    void OnAddRunning(const CBitmapBtn* button);
    void OnOk();
    // The list and the buttons from the edit.
    void ShowRules();
    void ShowSelection();

    std::wstring m_strRulesFile;
    qelt::ProgramProfilesEdit m_edit;
    CListBoxEx m_list;
    CBitmapBtn* m_pAddRunning = nullptr;
    CBitmapBtn* m_pRemove = nullptr;
    std::array<CBitmapBtn*, kProfileButtons> m_pProfiles{};
};
