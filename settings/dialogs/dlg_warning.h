#pragma once
// The editor's warnings and confirmations: one skinned dialog whose kind chooses the skin, the
// text and the buttons. A notice has one button (end code 1); a question has OK (1) and Cancel (2).
#include <windows.h>

#include <string>

#include "skinned_dialog.h"
#include "warning_kind.h"

class CDlgWarning final : public qelt::SkinnedDialog {
public:
    explicit CDlgWarning(int kind);

    INT_PTR Run(HWND owner) { return RunModal(owner); }

private:
    void OnSkinLoaded(const CSkinFile& file) override;
    std::wstring DisplayName() const override { return L"A warning of the settings editor"; }
    void PaintOver(HDC dc) override;
    void OnOtherCommand(WORD id, WORD code, HWND from) override;

    int m_nKind;
    std::wstring m_strText;
    RECT m_rcText{};
};

// Shows a warning over owner and returns its end code.
INT_PTR ShowWarning(HWND owner, int kind);
