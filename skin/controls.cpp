#include "controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "diag.h"

namespace {

constexpr const wchar_t* kMarkerClass = L"QeltValueBar";

std::wstring ListItemText(HWND list, int index)
{
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, WPARAM(index), 0);
    if (length == LB_ERR || length < 0)
        return {};
    std::vector<wchar_t> text(size_t(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

} // namespace

// ---------------------------------------------------------------- CListBoxEx

CListBoxEx::CListBoxEx()
    : m_itemFont(MakeSkinFont(skinfont::kListItem))
{
}

bool CListBoxEx::Create(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    if (!CreateControl(L"LISTBOX", style, rect, parent, id, L"list box"))
        return false;
    HWND window = Window();
    m_crSelectedText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    m_crText = GetSysColor(COLOR_WINDOWTEXT);
    m_crSelectedBackground = GetSysColor(COLOR_HIGHLIGHT);
    m_nItemHeight = 14;
    if (style & LBS_OWNERDRAWFIXED)
        SendMessageW(window, LB_SETITEMHEIGHT, 0, m_nItemHeight);
    return true;
}

void CListBoxEx::SetBackground(COLORREF colour)
{
    m_background.Reset(CreateSolidBrush(colour));
    if (Window())
        InvalidateRect(Window(), nullptr, TRUE);
}

HBRUSH CListBoxEx::BackgroundBrush() const
{
    if (Window() && !IsWindowEnabled(Window()))
        return GetSysColorBrush(COLOR_INACTIVEBORDER);  // system-owned, always valid
    return m_background.Get();
}

void CListBoxEx::DrawItem(const DRAWITEMSTRUCT* item)
{
    if (item->itemID == UINT(-1))
        return;  // empty list
    HDC dc = item->hDC;
    RECT rect = item->rcItem;
    const bool selected = (item->itemState & ODS_SELECTED) != 0;
    const bool selectionChange = (item->itemAction & ODA_SELECT) != 0;
    const bool focusChange = (item->itemAction & ODA_FOCUS) != 0;

    if (selected || selectionChange) {
        qelt::UniqueBrush fill(CreateSolidBrush(m_crSelectedBackground));
        FillRect(dc, &rect, fill.Get());
    }
    if (!selected && selectionChange && m_background)
        FillRect(dc, &rect, m_background.Get());

    COLORREF colour = m_crText;
    if (focusChange && (item->itemState & ODS_FOCUS) && selected) {
        colour = m_crSelectedText;
        rect.left += 3;
    }
    if (focusChange && !(item->itemState & ODS_FOCUS) && selected) {
        // The selection stays marked when the focus leaves.
        qelt::UniqueBrush fill(CreateSolidBrush(m_crSelectedBackground));
        FillRect(dc, &rect, fill.Get());
        colour = m_crSelectedText;
    }
    if (item->itemState & ODS_DISABLED)
        colour = GetSysColor(COLOR_BTNSHADOW);

    std::wstring text = ListItemText(item->hwndItem, int(item->itemID));
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    {
        qelt::SelectedObject fontSelected(dc, m_itemFont.Get());
        TextOutW(dc, rect.left + 1, rect.top, text.c_str(), int(text.size()));
    }
    UpdateHorizontalExtent();
}

namespace {

// Widths of item texts as the horizontal extent counts them: in the list's set font, plus that
// font's average character width.
class ItemWidths {
public:
    explicit ItemWidths(HWND list)
        : m_dc(list), m_font(m_dc.Get(), FontOf(list))
    {
        if (m_dc)
            GetTextMetricsW(m_dc.Get(), &m_metrics);
    }
    explicit operator bool() const { return bool(m_dc); }
    LONG Of(const std::wstring& text) const
    {
        SIZE extent{0, 0};
        GetTextExtentPoint32W(m_dc.Get(), text.c_str(), int(text.size()), &extent);
        return extent.cx + m_metrics.tmAveCharWidth;
    }

private:
    static HGDIOBJ FontOf(HWND list)
    {
        HFONT listFont = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
        return listFont ? static_cast<HGDIOBJ>(listFont) : GetStockObject(SYSTEM_FONT);
    }
    qelt::WindowDc m_dc;
    qelt::SelectedObject m_font;
    TEXTMETRICW m_metrics{};
};

} // namespace

void CListBoxEx::UpdateHorizontalExtent() const
{
    if (!m_widestItem) {
        ItemWidths widths(Window());
        if (!widths)
            return;
        LONG widest = 0;
        LRESULT count = SendMessageW(Window(), LB_GETCOUNT, 0, 0);
        for (int i = 0; i < int(count); ++i)
            widest = std::max(widest, widths.Of(ListItemText(Window(), i)));
        m_widestItem = widest;
    }
    if (SendMessageW(Window(), LB_GETHORIZONTALEXTENT, 0, 0) != *m_widestItem)
        SendMessageW(Window(), LB_SETHORIZONTALEXTENT, WPARAM(*m_widestItem), 0);
}

bool CListBoxEx::NarrowerThanWidest(int index) const
{
    if ((GetWindowLongW(Window(), GWL_STYLE) & LBS_HASSTRINGS) == 0)
        return false;
    ItemWidths widths(Window());
    return widths && widths.Of(ListItemText(Window(), index)) < *m_widestItem;
}

void CListBoxEx::TrackAddedItem(const wchar_t* text)
{
    if (!m_widestItem)
        return;
    const bool hasStrings = (GetWindowLongW(Window(), GWL_STYLE) & LBS_HASSTRINGS) != 0;
    ItemWidths widths(Window());
    if (!hasStrings || text == nullptr || !widths) {
        m_widestItem.reset();
        return;
    }
    m_widestItem = std::max(*m_widestItem, widths.Of(text));
}

LRESULT CListBoxEx::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = Window();
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
        return 0;  // the keyboard never moves the selection
    case WM_KILLFOCUS:
        return 0;  // keep the list's own focus handling out of it
    case WM_ENABLE: {
        LRESULT result = CallBase(message, wParam, lParam);
        InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    // The widest item is kept as items come and go, so drawing an item measures no other.
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
        LRESULT result = CallBase(message, wParam, lParam);
        if (result >= 0)
            TrackAddedItem(reinterpret_cast<const wchar_t*>(lParam));
        return result;
    }
    case LB_RESETCONTENT: {
        LRESULT result = CallBase(message, wParam, lParam);
        m_widestItem = 0;
        return result;
    }
    case LB_DELETESTRING:
        // Only the widest item going makes the others be measured again: deleting lines of a long
        // list one by one stays cheap.
        if (m_widestItem && !NarrowerThanWidest(int(wParam)))
            m_widestItem.reset();
        break;
    case WM_SETFONT:
        m_widestItem.reset();
        break;
    case WM_ERASEBKGND: {
        HBRUSH brush = BackgroundBrush();
        if (brush == nullptr)
            break;
        RECT client{};
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return TRUE;
    }
    default:
        break;
    }
    return CallBase(message, wParam, lParam);
}

// ---------------------------------------------------------------- CEditEx

bool CEditEx::Create(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    return CreateControl(L"EDIT", style, rect, parent, id, L"edit");
}

LRESULT CEditEx::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYUP) {
        HWND window = Window();
        int length = GetWindowTextLengthW(window);
        std::vector<wchar_t> text(size_t(length) + 1, L'\0');
        GetWindowTextW(window, text.data(), length + 1);
        if (std::optional<std::wstring> capped = CappedEditText(text.data())) {
            SetWindowTextW(window, capped->c_str());
            SendMessageW(window, EM_SETSEL, WPARAM(capped->size()), LPARAM(capped->size()));
        }
    }
    return CallBase(message, wParam, lParam);
}

// ---------------------------------------------------------------- CDMarker

bool CDMarker::Create(const RECT& rect, HWND parent)
{
    m_range.nLeft = rect.left;
    m_range.nTop = rect.top;
    m_range.nRight = rect.right;
    m_range.nBottom = rect.bottom;
    m_range.nMin = 0;
    m_range.nMax = 10;
    m_range.nValue = 0;
    m_bDraggable = true;
    m_bDragging = false;
    qelt::WindowParams params;
    params.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    params.rect = rect;
    params.parent = parent;
    return CreateWindowOf(qelt::WindowClassInfo{kMarkerClass}, params);
}

void CDMarker::SetImages(const SkinBitmap& track, const SkinBitmap& fill, const RECT& rect)
{
    m_bmpTrack.ShowRectOf(track, rect);
    m_bmpFill.ShowRectOf(fill, rect);
}

void CDMarker::Repaint() const
{
    if (Window())
        InvalidateRect(Window(), nullptr, FALSE);
}

void CDMarker::Paint(HDC dc) const
{
    const int width = m_range.nRight - m_range.nLeft;
    const int height = m_range.nBottom - m_range.nTop;
    if (width <= 0 || height <= 0)
        return;
    qelt::UniqueMemoryDc buffer(CreateCompatibleDC(dc));
    qelt::UniqueBitmap canvas(CreateCompatibleBitmap(dc, width, height));
    if (!buffer || !canvas)
        return;
    qelt::SelectedObject canvasSelected(buffer.Get(), canvas.Get());
    BitBlt(buffer.Get(), 0, 0, width, height, dc, 0, 0, SRCCOPY);  // empty images keep what was there
    m_bmpTrack.CopyTo(buffer.Get(), SIZE{width, height});
    const int filled = MarkerFilledWidth(m_range);
    if (filled > 0)
        m_bmpFill.CopyTo(buffer.Get(), SIZE{filled, height});
    BitBlt(dc, 0, 0, width, height, buffer.Get(), 0, 0, SRCCOPY);
}

void CDMarker::TrackTo(LPARAM clientPoint)
{
    POINT point{GET_X_LPARAM(clientPoint), GET_Y_LPARAM(clientPoint)};
    MapWindowPoints(Window(), GetParent(Window()), &point, 1);
    m_range.nValue = MarkerValueAt(m_range, point.x);
    Repaint();
}

LRESULT CDMarker::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        qelt::PaintDc paint(Window());
        Paint(paint.Get());
        return 0;
    }
    case WM_ERASEBKGND:
        return TRUE;  // painting covers the bar
    case WM_LBUTTONDOWN:
        if (m_bDraggable) {
            SetCapture(Window());
            m_bDragging = true;
        }
        return 0;
    case WM_MOUSEMOVE:
        if (m_bDragging)
            TrackTo(lParam);
        return 0;
    case WM_LBUTTONUP:
        if (m_bDragging) {
            TrackTo(lParam);
            m_bDragging = false;
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (m_bDragging) {
            // A drag ends with the capture; without it moves would keep changing the value.
            m_bDragging = false;
            if (GetCapture() == Window())
                ReleaseCapture();
            Repaint();
        }
        return 0;
    case WM_KILLFOCUS:
        m_bDragging = false;
        Repaint();
        return 0;
    default:
        return DefWindowProcW(Window(), message, wParam, lParam);
    }
}
