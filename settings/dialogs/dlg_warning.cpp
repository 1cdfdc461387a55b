#include "dlg_warning.h"

#include "buffered_paint.h"
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

CDlgWarning::CDlgWarning(int kind)
    // A kind outside the table still gets a window (the notice skin) and draws no text.
    : SkinnedDialog(IDD_WARNING, FindLook(kind) != nullptr ? FindLook(kind)->szSkinFile : L"Warning2_skin.ini",
                    SkinBehaviour{false, false, true}),
      m_nKind(kind)
{
}

void CDlgWarning::OnSkinLoaded(const CSkinFile& file)
{
    const WarningLook* look = FindLook(m_nKind);
    AddButton(file, 1, [this] { End(IDOK); });
    if (look != nullptr && look->bQuestion)
        AddButton(file, 2, [this] { End(IDCANCEL); });
    if (look != nullptr) {
        m_strText = ReadSkinString(file.Folder(), L"waning_str.ini", look->nTextKey);
        m_rcText = look->rcText;
    }
}

void CDlgWarning::PaintOver(HDC dc)
{
    qelt::DrawSkinText(dc, m_strText.c_str(), m_rcText, Font(skinfont::kWarningText), 0x93908B,
                       DT_VCENTER | DT_WORDBREAK | DT_NOCLIP | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void CDlgWarning::OnOtherCommand(WORD id, WORD, HWND from)
{
    if (from == nullptr && (id == IDOK || id == IDCANCEL))
        End(id);  // the platform's keyboard confirm and cancel
}
