#include "skinned_dialog.h"

#include "buffered_paint.h"
#include "diag.h"
#include "install_problem.h"
#include "modal_dialog.h"

namespace qelt {

SkinnedDialog::SkinnedDialog(int templateId, std::wstring skinFile, SkinBehaviour behaviour, bool withNotext)
    : m_nTemplateId(templateId), m_strSkinFile(std::move(skinFile)), m_bWithNotext(withNotext), m_skin(behaviour)
{
}

INT_PTR SkinnedDialog::RunModal(HWND owner)
{
    return RunModalDialog(m_nTemplateId, owner, &SkinnedDialog::Procedure, this);
}

INT_PTR CALLBACK SkinnedDialog::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    SkinnedDialog* self = DialogObject<SkinnedDialog>(dialog, message, lParam);
    if (self == nullptr)
        return FALSE;  // the messages before WM_INITDIALOG
    if (message == WM_INITDIALOG)
        self->m_hWnd = dialog;
    const INT_PTR result = self->OnDialogMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        self->m_hWnd = nullptr;
        self->m_clicks.clear();
    }
    return result;
}

INT_PTR SkinnedDialog::OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return Start() ? TRUE : FALSE;
    // The derived class never started: its handlers would find nothing they made.
    if (m_bSkinNotLoaded)
        return FALSE;
    if (std::optional<LRESULT> result = OnMessage(message, wParam, lParam))
        return Answer(message, *result);
    LRESULT result = 0;
    if (m_skin.Window() != nullptr && m_skin.HandleMessage(m_hWnd, message, wParam, lParam, result))
        return Answer(message, result);
    switch (message) {
    case WM_PAINT:
        Paint();
        return TRUE;
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR SkinnedDialog::Answer(UINT message, LRESULT result) const
{
    switch (message) {
    // These few give their result as the procedure's return value.
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
    default:
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

bool SkinnedDialog::Start()
{
    // The dialog is still hidden here (it shows after its initialisation): nothing paints while
    // the skin and its buttons are made.
    CSkinFile file(m_strSkinFile);
    m_bSkinNotLoaded = false;
    m_skin.LoadScreen(m_hWnd, file, m_bWithNotext);
    if (m_skin.m_bmpBackground.Empty()) {
        OnSkinNotLoaded(file);
        return false;
    }
    OnSkinLoaded(file);
    m_skin.ApplyRegion();
    return OnInitDialog();
}

void SkinnedDialog::OnSkinNotLoaded(const CSkinFile& file)
{
    // Every dialog's skin failure comes here. A window without its background would be a black
    // or empty rectangle the user cannot use or get out of: the dialog ends before it shows,
    // after the user has been told which file to look at. The message box is modal over the
    // dialog's owner (the dialog itself is hidden), so nothing behind it is clicked meanwhile.
    Diag(L"ERROR: skin \"%ls\" in %ls gave no background image\n", m_strSkinFile.c_str(), file.Folder().c_str());
    m_bSkinNotLoaded = true;
    // The image, or the description file when it names none (missing file or entry).
    const std::wstring damaged =
        file.ReadString(SKIN_SCREEN, L"Main").empty() ? file.Path() : file.ImagePath(SKIN_SCREEN, L"Main");
    ShowInstallProblem(GetWindow(m_hWnd, GW_OWNER), SkinDamagedText(DisplayName(), damaged, EndsProgram()));
    End(CancelResult());
}

void SkinnedDialog::Paint()
{
    // Drawn on a painted copy, so repeated paints never thicken the text over the background.
    BufferedPaint paint(m_hWnd, m_skin.ClientSize());
    m_skin.DrawBackground(paint.Dc());
    PaintOver(paint.Dc());
}

void SkinnedDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    HWND from = reinterpret_cast<HWND>(lParam);
    if (from != nullptr && HIWORD(wParam) == BN_CLICKED) {
        if (auto click = m_clicks.find(from); click != m_clicks.end() && click->second) {
            // A copy: the handler may register buttons of its own meanwhile.
            ClickHandler handler = click->second;
            handler();
            return;
        }
    }
    OnOtherCommand(LOWORD(wParam), HIWORD(wParam), from);
}

CBitmapBtn* SkinnedDialog::AddButton(const ButtonInfo& info, ClickHandler onClick)
{
    CBitmapBtn* button = m_skin.AddButton(info);
    OnClick(button, std::move(onClick));
    return button;
}

CBitmapBtn* SkinnedDialog::AddButton(const CSkinFile& file, int key, ClickHandler onClick)
{
    return AddButton(file.ReadButton(SKIN_BUTTONINFO, key), std::move(onClick));
}

CBitmapBtn* SkinnedDialog::AddLabelledButton(const CSkinFile& file, int key, const RECT& textRect, int fontHeight,
                                             ClickHandler onClick)
{
    const ButtonInfo info = file.ReadButton(SKIN_BUTTONINFO, key);
    CBitmapBtn* button = AddButton(info, std::move(onClick));
    if (button == nullptr)
        return nullptr;
    button->SetCaption(info.szCaption);
    button->m_bUseTextRect = true;
    button->m_rcText = textRect;
    button->m_nAlign = BTN_ALIGN_CENTRE;
    button->m_nFontHeight = fontHeight;
    return button;
}

void SkinnedDialog::OnClick(const CBitmapBtn* button, ClickHandler onClick)
{
    if (button != nullptr && button->Window() != nullptr && onClick)
        m_clicks[button->Window()] = std::move(onClick);
}

} // namespace qelt
