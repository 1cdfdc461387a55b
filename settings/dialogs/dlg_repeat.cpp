#include "dlg_repeat.h"

#include "buffered_paint.h"
#include "handles.h"
#include "modal_dialog.h"
#include "resource.h"
#include "skin_buttons.h"
#include "skin_files.h"

namespace {

// "BUTTONINFO" keys of repeat_skin.ini: the options are 1-3.
constexpr int kOkKey = 4, kCancelKey = 5;
constexpr RECT kLabelRect{5, 4, 42, 25};
constexpr int kLabelFontHeight = 14;
constexpr RECT kTextRects[] = {{93, 55, 160, 75}, {93, 88, 260, 107}, {93, 118, 305, 142}};
constexpr COLORREF kTextColour = 0x93908B;
constexpr INT_PTR kCancelled = -1;

} // namespace

INT_PTR CDlgRepeat::Run(HWND owner)
{
    return qelt::RunModalDialog(IDD_REPEAT_OPTIONS, owner, DialogProc, this);
}

INT_PTR CALLBACK CDlgRepeat::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDlgRepeat* self = qelt::DialogObject<CDlgRepeat>(dialog, message, lParam);
    return self != nullptr ? self->OnMessage(dialog, message, wParam, lParam) : FALSE;
}

INT_PTR CDlgRepeat::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR handled = FALSE;
    if (m_skin.Window() != nullptr && m_skin.HandleDialogMessage(dialog, message, wParam, lParam, handled))
        return handled;
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_PAINT:
        OnPaint(dialog);
        return TRUE;
    case WM_COMMAND:
        OnCommand(dialog, wParam, lParam);
        return TRUE;
    default:
        return FALSE;
    }
}

void CDlgRepeat::OnInitDialog(HWND dialog)
{
    CSkinFile file(L"repeat_skin.ini");
    m_skin.LoadScreen(dialog, file);
    (void)ReadSkinLanguage(file.Folder());  // read like every window's, but no caption depends on it
    for (int k = 0; k < kOptionCount; ++k)
        m_pOptions[size_t(k)] = m_skin.AddButton(file, SKIN_BUTTONINFO, k + 1);
    m_pOk = AddLabelledButton(m_skin, file, kOkKey, kLabelRect, kLabelFontHeight);
    m_pCancel = AddLabelledButton(m_skin, file, kCancelKey, kLabelRect, kLabelFontHeight);
    m_skin.ApplyRegion();
    for (int k = 0; k < kOptionCount; ++k)
        m_texts[size_t(k)] = ReadSkinString(file.Folder(), L"repeat_str.ini", k + 1);

    ShowValue();
    qelt::CentreOverOwner(dialog);
}

void CDlgRepeat::ShowValue()
{
    // A value outside 1-3 (from an imported file) leaves the options as the skin set them.
    if (m_nValue < 1 || m_nValue > kOptionCount)
        return;
    for (int k = 0; k < kOptionCount; ++k) {
        if (CBitmapBtn* option = m_pOptions[size_t(k)])
            option->SetSelected(k + 1 == m_nValue);
    }
}

void CDlgRepeat::OnPaint(HWND dialog)
{
    qelt::BufferedPaint paint(dialog, m_skin.ClientSize());
    m_skin.DrawBackground(paint.Dc());
    qelt::UniqueFont font(CreateFontW(16, 0, 0, 0, 400, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                      CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 14, L"AvenirLTStd-Light"));
    for (int k = 0; k < kOptionCount; ++k) {
        qelt::DrawSkinText(paint.Dc(), m_texts[size_t(k)].c_str(), kTextRects[k], font.Get(), kTextColour,
                           DT_VCENTER | DT_WORDBREAK | DT_NOCLIP | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
}

void CDlgRepeat::OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    HWND from = reinterpret_cast<HWND>(lParam);
    if (from == nullptr) {
        // Enter and Esc (and closing the window) act as OK and Cancel.
        if (LOWORD(wParam) == IDOK)
            EndDialog(dialog, m_nValue);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, kCancelled);
        return;
    }
    if (HIWORD(wParam) != BN_CLICKED)
        return;
    auto is = [from](const CBitmapBtn* button) { return button != nullptr && button->Window() == from; };
    for (int k = 0; k < kOptionCount; ++k) {
        if (is(m_pOptions[size_t(k)])) {
            m_nValue = k + 1;
            ShowValue();
            return;
        }
    }
    if (is(m_pOk))
        EndDialog(dialog, m_nValue);
    else if (is(m_pCancel))
        EndDialog(dialog, kCancelled);
}
