#include "dlg_warning.h"

#include "buffered_paint.h"
#include "modal_dialog.h"
#include "resource.h"
#include "skin_files.h"

namespace {

struct WarningLook {
    int nKind;
    const wchar_t* szSkinFile;
    bool bQuestion;
    int nTextKey;  // "STRING" key of waning_str.ini
    RECT rcText;
};

constexpr WarningLook kLooks[] = {
    {WARN_RESET_PROFILE, L"Warning1_skin.ini", true, 2, {73, 84, 355, 143}},
    {WARN_NO_DEVICE, L"Warning2_skin.ini", false, 1, {70, 92, 355, 143}},
    {WARN_UNSAVED_CHANGES, L"Warning3_skin.ini", true, 3, {73, 92, 355, 143}},
    {WARN_APPLY_PROFILE, L"Warning3_skin.ini", true, 4, {73, 92, 355, 143}},
    {WARN_MACRO_FULL, L"Warning2_skin.ini", false, 6, {73, 92, 355, 143}},
};

const WarningLook* FindLook(int kind)
{
    for (const WarningLook& look : kLooks) {
        if (look.nKind == kind)
            return &look;
    }
    return nullptr;
}

} // namespace

INT_PTR ShowWarning(HWND owner, int kind)
{
    CDlgWarning warning(kind);
    return warning.Run(owner);
}

INT_PTR CDlgWarning::Run(HWND owner)
{
    return qelt::RunModalDialog(IDD_WARNING, owner, DialogProc, this);
}

INT_PTR CALLBACK CDlgWarning::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDlgWarning* self = qelt::DialogObject<CDlgWarning>(dialog, message, lParam);
    return self != nullptr ? self->OnMessage(dialog, message, wParam, lParam) : FALSE;
}

INT_PTR CDlgWarning::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR handled = FALSE;
    if (m_skin.Window() != nullptr && m_skin.HandleDialogMessage(dialog, message, wParam, lParam, handled))
        return handled;
    switch (message) {
    case WM_INITDIALOG:
        LoadSkin(dialog);
        return TRUE;
    case WM_PAINT:
        OnPaint(dialog);
        return TRUE;
    case WM_COMMAND:
        OnCommand(dialog, reinterpret_cast<HWND>(lParam));
        if (lParam == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
            EndDialog(dialog, LOWORD(wParam));  // the platform's keyboard confirm and cancel
        return TRUE;
    default:
        return FALSE;
    }
}

void CDlgWarning::LoadSkin(HWND dialog)
{
    const WarningLook* look = FindLook(m_nKind);
    // A kind outside the table still gets a window (the notice skin) and draws no text.
    CSkinFile file(look != nullptr ? look->szSkinFile : L"Warning2_skin.ini");
    m_skin.LoadScreen(dialog, file);
    m_pOk = m_skin.AddButton(file, SKIN_BUTTONINFO, 1);
    if (look != nullptr && look->bQuestion)
        m_pCancel = m_skin.AddButton(file, SKIN_BUTTONINFO, 2);
    if (look != nullptr) {
        m_strText = ReadSkinString(file.Folder(), L"waning_str.ini", look->nTextKey);
        m_rcText = look->rcText;
    }
    m_skin.ApplyRegion();
    m_font.Reset(CreateFontW(16, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 14, L"AvenirLTStd-Light"));
}

void CDlgWarning::OnPaint(HWND dialog)
{
    qelt::BufferedPaint paint(dialog, m_skin.ClientSize());
    m_skin.DrawBackground(paint.Dc());
    qelt::DrawSkinText(paint.Dc(), m_strText.c_str(), m_rcText, m_font.Get(), 0x93908B,
                       DT_VCENTER | DT_WORDBREAK | DT_NOCLIP | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void CDlgWarning::OnCommand(HWND dialog, HWND from)
{
    if (from == nullptr)
        return;
    if (m_pOk != nullptr && from == m_pOk->Window())
        EndDialog(dialog, IDOK);
    else if (m_pCancel != nullptr && from == m_pCancel->Window())
        EndDialog(dialog, IDCANCEL);
}
