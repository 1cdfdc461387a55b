#pragma once
// The on-screen display "MIVO OSD": shows the text of each OSD_MESSAGE it receives for the
// record's duration in a topmost, click-through, semi-transparent panel near the bottom centre
// of the primary screen.
#include "handles.h"
#include "osd_message.h"
#include "window_base.h"

#include <windows.h>

#include <string>

namespace qelt {

class COsdWindow final : public WindowBase {
public:
    bool Create(HINSTANCE instance);

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCopyData(const COPYDATASTRUCT& copy);
    void Show(const OsdContent& content);
    void Paint();
    void OnTimer(UINT_PTR id);

    UniqueFont m_font;
    std::wstring m_text;
    COLORREF m_color = RGB(255, 128, 25);
    BYTE m_alpha = 0;
};

} // namespace qelt
