#pragma once
// The function menu: thirteen skinned items under a slot's label button. It ends with the index
// of the item clicked, or -1 when the user clicks anywhere else.
#include <windows.h>

#include <array>
#include <optional>

#include "function_menu_rules.h"
#include "modal_dialog.h"
#include "skinned_window.h"

class CDlgFunMenu {
public:
    CDlgFunMenu() : m_skin(SkinBehaviour{true, true, false}) {}

    void SetPosition(int x, int y) { m_nX = x; m_nY = y; }
    INT_PTR Run(HWND owner);  // 0-12 or -1

private:
    friend struct qelt::DialogAccess;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnMouseMove(LPARAM lParam);
    void OnCommand(HWND from);
    bool BeforeDispatch(const MSG& message);
    void TakeCapture();

    HWND m_hWnd = nullptr;
    int m_nX = 0, m_nY = 0;
    bool m_bCaptured = false;
    CSkinnedWindow m_skin;
    std::array<CBitmapBtn*, qelt::MENU_ITEM_COUNT> m_pItems{};
    std::array<qelt::MenuRect, qelt::MENU_ITEM_COUNT> m_rcItems{};
    std::optional<qelt::ModalMessageFilter> m_filter;
};
