#pragma once
// The repeat options of a macro: three skinned option buttons, each with its text from the skin,
// and OK and Cancel. The caller sets the value (the macro's RepeatOption) before running the
// dialog and reads it afterwards.
#include <windows.h>

#include <array>
#include <string>

#include "skinned_dialog.h"

class CDlgRepeat final : public qelt::SkinnedDialog {
public:
    CDlgRepeat();

    void SetValue(int value) { m_nValue = value; }
    int Value() const { return m_nValue; }
    // Modal. The value on OK, -1 on Cancel.
    INT_PTR Run(HWND owner) { return RunModal(owner); }

private:
    static constexpr int kOptionCount = 3;

    void OnSkinLoaded(const CSkinFile& file) override;
    INT_PTR CancelResult() const override { return -1; }  // the option stays
    std::wstring DisplayName() const override { return L"The repeat options"; }
    bool OnInitDialog() override;
    void PaintOver(HDC dc) override;
    void OnOtherCommand(WORD id, WORD code, HWND from) override;
    void ShowValue();

    int m_nValue = 1;
    std::array<CBitmapBtn*, kOptionCount> m_pOptions{};
    std::array<std::wstring, kOptionCount> m_texts;
};
