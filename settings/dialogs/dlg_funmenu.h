#pragma once
// The function menu: thirteen skinned items under a slot's label button. It ends with the index
// of the item clicked, or -1 when the user clicks anywhere else.
#include <windows.h>

#include <array>
#include <optional>

#include "function_menu_rules.h"
#include "modal_dialog.h"
#include "skinned_dialog.h"

class CDlgFunMenu final : public qelt::SkinnedDialog {
public:
    CDlgFunMenu();

    void SetPosition(int x, int y) { m_nX = x; m_nY = y; }
    INT_PTR Run(HWND owner) { return RunModal(owner); }  // 0-12 or -1

private:
    void OnSkinLoaded(const CSkinFile& file) override;
    INT_PTR CancelResult() const override { return -1; }  // no choice
    std::wstring DisplayName() const override { return L"The function menu"; }
    bool OnInitDialog() override;
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOtherCommand(WORD id, WORD code, HWND from) override;
    void OnMouseMove(LPARAM lParam);
    bool BeforeDispatch(const MSG& message);
    void TakeCapture();

    int m_nX = 0, m_nY = 0;
    bool m_bCaptured = false;
    std::array<CBitmapBtn*, qelt::MENU_ITEM_COUNT> m_pItems{};
    std::array<qelt::MenuRect, qelt::MENU_ITEM_COUNT> m_rcItems{};
    std::optional<qelt::ModalMessageFilter> m_filter;
};
