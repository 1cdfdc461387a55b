#include "dlg_repeat.h"

#include "buffered_paint.h"
#include "modal_dialog.h"
#include "resource.h"
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

CDlgRepeat::CDlgRepeat() : SkinnedDialog(IDD_REPEAT_OPTIONS, L"repeat_skin.ini", SkinBehaviour{true, false, true})
{
}

void CDlgRepeat::OnSkinLoaded(const CSkinFile& file)
{
    (void)ReadSkinLanguage(file.Folder());  // read like every window's, but no caption depends on it
    for (int k = 0; k < kOptionCount; ++k) {
        m_pOptions[size_t(k)] = AddButton(file, k + 1, [this, k] {
            m_nValue = k + 1;
            ShowValue();
        });
    }
    AddLabelledButton(file, kOkKey, kLabelRect, kLabelFontHeight, [this] { End(m_nValue); });
    AddLabelledButton(file, kCancelKey, kLabelRect, kLabelFontHeight, [this] { End(kCancelled); });
}

bool CDlgRepeat::OnInitDialog()
{
    for (int k = 0; k < kOptionCount; ++k)
        m_texts[size_t(k)] = ReadSkinString(Skin().ProgramFolderUsed(), L"repeat_str.ini", k + 1);
    ShowValue();
    qelt::CentreOverOwner(m_hWnd);
    return true;
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

void CDlgRepeat::PaintOver(HDC dc)
{
    HFONT font = Font(skinfont::kRepeatText);
    for (int k = 0; k < kOptionCount; ++k) {
        qelt::DrawSkinText(dc, m_texts[size_t(k)].c_str(), kTextRects[k], font, kTextColour,
                           DT_VCENTER | DT_WORDBREAK | DT_NOCLIP | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
}

void CDlgRepeat::OnOtherCommand(WORD id, WORD, HWND from)
{
    if (from != nullptr)
        return;
    // Enter and Esc (and closing the window) act as OK and Cancel.
    if (id == IDOK)
        End(m_nValue);
    else if (id == IDCANCEL)
        End(kCancelled);
}
