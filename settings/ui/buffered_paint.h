#pragma once
// Paints a window through a memory picture of its client size and copies it to the screen at
// the end, so text drawn over the skin background never flickers and never touches the
// stored background image.
#include <windows.h>

#include "handles.h"

namespace qelt {

class BufferedPaint {
public:
    BufferedPaint(HWND window, SIZE size);
    ~BufferedPaint();
    BufferedPaint(const BufferedPaint&) = delete;
    BufferedPaint& operator=(const BufferedPaint&) = delete;

    // The DC to draw on: the memory picture, or the window's own DC when none could be made.
    HDC Dc() const { return m_bBuffered ? m_memory.Get() : m_paint.Get(); }

private:
    PaintDc m_paint;
    SIZE m_size;
    UniqueMemoryDc m_memory;
    UniqueBitmap m_picture;
    HGDIOBJ m_previous = nullptr;
    bool m_bBuffered = false;
};

// Draws text with a transparent background in colour, font and format.
void DrawSkinText(HDC dc, const wchar_t* text, RECT rect, HFONT font, COLORREF colour, UINT format);

} // namespace qelt
