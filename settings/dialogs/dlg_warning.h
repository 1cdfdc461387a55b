#pragma once
// The editor's warnings and confirmations: one skinned dialog whose kind chooses the skin, the
// text and the buttons. A notice has one button (end code 1); a question has OK (1) and Cancel (2).
#include <windows.h>

#include <string>

#include "handles.h"
#include "skinned_window.h"
#include "warning_kind.h"

class CDlgWarning {
public:
    explicit CDlgWarning(int kind) : m_nKind(kind), m_skin(SkinBehaviour{false, false, true}) {}

    INT_PTR Run(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void LoadSkin(HWND dialog);
    void OnPaint(HWND dialog);
    void OnCommand(HWND dialog, HWND from);

    int m_nKind;
    CSkinnedWindow m_skin;
    CBitmapBtn* m_pOk = nullptr;      // the single button of a notice
    CBitmapBtn* m_pCancel = nullptr;  // questions only
    std::wstring m_strText;
    RECT m_rcText{};
    qelt::UniqueFont m_font;
};

// Shows a warning over owner and returns its end code.
INT_PTR ShowWarning(HWND owner, int kind);
