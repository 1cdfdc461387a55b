#pragma once
// The repeat options of a macro: three skinned option buttons, each with its text from the skin,
// and OK and Cancel. The caller sets the value (the macro's RepeatOption) before running the
// dialog and reads it afterwards.
#include <windows.h>

#include <array>
#include <string>

#include "skinned_window.h"

class CDlgRepeat {
public:
    CDlgRepeat() : m_skin(SkinBehaviour{true, false, true}) {}

    void SetValue(int value) { m_nValue = value; }
    int Value() const { return m_nValue; }
    // Modal. The value on OK, -1 on Cancel.
    INT_PTR Run(HWND owner);

private:
    static constexpr int kOptionCount = 3;

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND dialog);
    void ShowValue();
    void OnPaint(HWND dialog);
    void OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam);

    int m_nValue = 1;
    CSkinnedWindow m_skin;
    std::array<CBitmapBtn*, kOptionCount> m_pOptions{};
    CBitmapBtn* m_pOk = nullptr;
    CBitmapBtn* m_pCancel = nullptr;
    std::array<std::wstring, kOptionCount> m_texts;
};
