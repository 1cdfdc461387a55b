#include "buffered_paint.h"

namespace qelt {

BufferedPaint::BufferedPaint(HWND window, SIZE size) : m_paint(window), m_size(size)
{
    if (m_paint.Get() == nullptr || size.cx <= 0 || size.cy <= 0)
        return;
    m_memory.Reset(CreateCompatibleDC(m_paint.Get()));
    m_picture.Reset(CreateCompatibleBitmap(m_paint.Get(), size.cx, size.cy));
    if (!m_memory || !m_picture)
        return;
    m_previous = SelectObject(m_memory.Get(), m_picture.Get());
    m_bBuffered = true;
}

BufferedPaint::~BufferedPaint()
{
    if (!m_bBuffered)
        return;
    BitBlt(m_paint.Get(), 0, 0, m_size.cx, m_size.cy, m_memory.Get(), 0, 0, SRCCOPY);
    SelectObject(m_memory.Get(), m_previous);
}

void DrawSkinText(HDC dc, const wchar_t* text, RECT rect, HFONT font, COLORREF colour, UINT format)
{
    if (text == nullptr || *text == L'\0')
        return;
    SelectedObject selected(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    DrawTextW(dc, text, -1, &rect, format);
}

} // namespace qelt
