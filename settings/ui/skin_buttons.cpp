#include "skin_buttons.h"

CBitmapBtn* AddLabelledButton(CSkinnedWindow& skin, const CSkinFile& file, int key, const RECT& textRect,
                              int fontHeight)
{
    const ButtonInfo info = file.ReadButton(SKIN_BUTTONINFO, key);
    CBitmapBtn* button = skin.AddButton(info);
    if (button == nullptr)
        return nullptr;
    button->SetCaption(info.szCaption);
    button->m_bUseTextRect = true;
    button->m_rcText = textRect;
    button->m_nAlign = BTN_ALIGN_CENTRE;
    button->m_nFontHeight = fontHeight;
    return button;
}
