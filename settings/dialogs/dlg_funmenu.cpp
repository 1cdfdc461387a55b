#include "dlg_funmenu.h"

#include <windowsx.h>

#include "resource.h"
#include "skin_files.h"

using namespace qelt;

namespace {
constexpr int kItemFontHeight = 13;
}

// The menu paints its background straight from the skin and is not dragged.
CDlgFunMenu::CDlgFunMenu() : SkinnedDialog(IDD_FUNCTION_MENU, L"menu_skin.ini", SkinBehaviour{true, true, false}) {}

std::optional<LRESULT> CDlgFunMenu::OnMessage(UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        return 0;
    case WM_LBUTTONDOWN:
        // A left press that reaches the menu itself is outside every item: no choice.
        End(-1);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
        return 0;  // only a left press ends the menu; the others leave it open
    case WM_DESTROY:
        m_filter.reset();
        if (GetCapture() == m_hWnd)
            ReleaseCapture();
        m_bCaptured = false;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void CDlgFunMenu::OnSkinLoaded(const CSkinFile& file)
{
    (void)ReadSkinLanguage(file.Folder());  // read by every skinned window, used only by the macro editor
    for (int k = 0; k < MENU_ITEM_COUNT; ++k) {
        const ButtonInfo info = file.ReadButton(SKIN_BUTTONINFO, k + 1);
        CBitmapBtn* item = AddButton(info, [this, k] { End(k); });
        m_pItems[size_t(k)] = item;
        m_rcItems[size_t(k)] = ShrunkItem(MenuRect{info.nLeft, info.nTop, info.nRight, info.nBottom});
        if (item != nullptr) {
            item->SetCaption(info.szCaption);
            item->m_nFontHeight = kItemFontHeight;
        }
    }
}

bool CDlgFunMenu::OnInitDialog()
{
    SetWindowPos(m_hWnd, nullptr, m_nX - MENU_X_OFFSET, m_nY, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(m_hWnd, SW_SHOW);
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    TakeCapture();
    // Whenever an item has let the capture go, the menu takes it back before the next message.
    m_filter.emplace(m_hWnd, [this](const MSG& message) { return BeforeDispatch(message); }, true);
    return true;
}

void CDlgFunMenu::TakeCapture()
{
    SetCapture(m_hWnd);
    m_bCaptured = true;
}

bool CDlgFunMenu::BeforeDispatch(const MSG& message)
{
    // Messages for an item are left alone: the item takes the capture itself when the pointer
    // moves over it. Any other message finds the capture with the menu again, so a click outside
    // the items always reaches the menu.
    const bool forItem = message.hwnd != nullptr && IsChild(m_hWnd, message.hwnd);
    if (!forItem && GetCapture() == nullptr)
        SetCapture(m_hWnd);
    return false;
}

void CDlgFunMenu::OnMouseMove(LPARAM lParam)
{
    const MenuPoint point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const int item = MenuItemAt(m_rcItems, point);
    switch (MenuCaptureStep(item >= 0, m_bCaptured)) {
    case CaptureStep::Release:
        ReleaseCapture();
        m_bCaptured = false;
        // The item under the pointer gets this move at once, takes the capture and lights up.
        if (CBitmapBtn* target = m_pItems[size_t(item)]) {
            POINT at{point.x, point.y};
            MapWindowPoints(m_hWnd, target->Window(), &at, 1);
            SendMessageW(target->Window(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        }
        break;
    case CaptureStep::Take:
        TakeCapture();
        break;
    case CaptureStep::Keep:
        break;
    }
}

void CDlgFunMenu::OnOtherCommand(WORD, WORD, HWND)
{
    EndDialog(m_hWnd, -1);  // anything but an item's click closes the menu without a choice
}
