#include "controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "diag.h"

namespace {

constexpr UINT_PTR kListSubclassId = 0x51424C42;
constexpr UINT_PTR kEditSubclassId = 0x51424544;
constexpr const wchar_t* kListProperty = L"QeltListBoxEx";  // the object behind a list window
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
    : m_itemFont(CreateFontW(13, 0, 0, 0, 300, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 32, L"AvenirLTStd-Light"))
{
}

CListBoxEx::~CListBoxEx()
{
    if (m_hWnd) {
        RemoveWindowSubclass(m_hWnd, SubclassProc, kListSubclassId);
        RemovePropW(m_hWnd, kListProperty);
        if (IsWindow(m_hWnd))
            DestroyWindow(m_hWnd);
    }
}

bool CListBoxEx::Create(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    HWND window = CreateWindowExW(0, L"LISTBOX", L"", style, rect.left, rect.top, rect.right - rect.left,
                                  rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(UINT_PTR(id)),
                                  GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        qelt::DiagLastError(L"CreateWindowExW (list box)");
        return false;
    }
    m_hWnd = window;
    m_crSelectedText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    m_crText = GetSysColor(COLOR_WINDOWTEXT);
    m_crSelectedBackground = GetSysColor(COLOR_HIGHLIGHT);
    m_nItemHeight = 14;
    SetWindowSubclass(window, SubclassProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetPropW(window, kListProperty, this);
    if (style & LBS_OWNERDRAWFIXED)
        SendMessageW(window, LB_SETITEMHEIGHT, 0, m_nItemHeight);
    return true;
}

CListBoxEx* CListBoxEx::FromHandle(HWND window)
{
    if (window == nullptr)
        return nullptr;
    return static_cast<CListBoxEx*>(GetPropW(window, kListProperty));
}

void CListBoxEx::SetBackground(COLORREF colour)
{
    m_background.Reset(CreateSolidBrush(colour));
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, TRUE);
}

HBRUSH CListBoxEx::BackgroundBrush() const
{
    if (m_hWnd && !IsWindowEnabled(m_hWnd))
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
        ItemWidths widths(m_hWnd);
        if (!widths)
            return;
        LONG widest = 0;
        LRESULT count = SendMessageW(m_hWnd, LB_GETCOUNT, 0, 0);
        for (int i = 0; i < int(count); ++i)
            widest = std::max(widest, widths.Of(ListItemText(m_hWnd, i)));
        m_widestItem = widest;
    }
    if (SendMessageW(m_hWnd, LB_GETHORIZONTALEXTENT, 0, 0) != *m_widestItem)
        SendMessageW(m_hWnd, LB_SETHORIZONTALEXTENT, WPARAM(*m_widestItem), 0);
}

void CListBoxEx::TrackAddedItem(const wchar_t* text)
{
    if (!m_widestItem)
        return;
    const bool hasStrings = (GetWindowLongW(m_hWnd, GWL_STYLE) & LBS_HASSTRINGS) != 0;
    ItemWidths widths(m_hWnd);
    if (!hasStrings || text == nullptr || !widths) {
        m_widestItem.reset();
        return;
    }
    m_widestItem = std::max(*m_widestItem, widths.Of(text));
}

LRESULT CALLBACK CListBoxEx::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR data)
{
    auto* list = reinterpret_cast<CListBoxEx*>(data);
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
        return 0;  // the keyboard never moves the selection
    case WM_KILLFOCUS:
        return 0;  // keep the list's own focus handling out of it
    case WM_ENABLE: {
        LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    // The widest item is kept as items come and go, so drawing an item measures no other.
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
        LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        if (result >= 0)
            list->TrackAddedItem(reinterpret_cast<const wchar_t*>(lParam));
        return result;
    }
    case LB_RESETCONTENT: {
        LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        list->m_widestItem = 0;
        return result;
    }
    case LB_DELETESTRING:
    case WM_SETFONT:
        list->m_widestItem.reset();
        break;
    case WM_ERASEBKGND: {
        HBRUSH brush = list->BackgroundBrush();
        if (brush == nullptr)
            break;
        RECT client{};
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return TRUE;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, SubclassProc, kListSubclassId);
        RemovePropW(window, kListProperty);
        list->m_hWnd = nullptr;
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// ---------------------------------------------------------------- CEditEx

CEditEx::~CEditEx()
{
    if (m_hWnd) {
        RemoveWindowSubclass(m_hWnd, SubclassProc, kEditSubclassId);
        if (IsWindow(m_hWnd))
            DestroyWindow(m_hWnd);
    }
}

bool CEditEx::Create(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    HWND window = CreateWindowExW(0, L"EDIT", L"", style, rect.left, rect.top, rect.right - rect.left,
                                  rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(UINT_PTR(id)),
                                  GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        qelt::DiagLastError(L"CreateWindowExW (edit)");
        return false;
    }
    m_hWnd = window;
    SetWindowSubclass(window, SubclassProc, kEditSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

LRESULT CALLBACK CEditEx::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data)
{
    auto* edit = reinterpret_cast<CEditEx*>(data);
    if (message == WM_KEYUP) {
        int length = GetWindowTextLengthW(window);
        std::vector<wchar_t> text(size_t(length) + 1, L'\0');
        GetWindowTextW(window, text.data(), length + 1);
        if (std::optional<std::wstring> capped = CappedEditText(text.data())) {
            SetWindowTextW(window, capped->c_str());
            SendMessageW(window, EM_SETSEL, WPARAM(capped->size()), LPARAM(capped->size()));
        }
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SubclassProc, kEditSubclassId);
        edit->m_hWnd = nullptr;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// ---------------------------------------------------------------- CDMarker

CDMarker::~CDMarker()
{
    if (m_hWnd && IsWindow(m_hWnd)) {
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hWnd);
    }
}

bool RegisterSkinWindowClass(const wchar_t* name, WNDPROC windowProc)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (GetClassInfoExW(instance, name, &windowClass))
        return true;
    windowClass = WNDCLASSEXW{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    if (RegisterClassExW(&windowClass))
        return true;
    const DWORD error = GetLastError();
    qelt::DiagError((L"RegisterClassExW (" + std::wstring(name) + L")").c_str(), error);
    return false;
}

bool CDMarker::Create(const RECT& rect, HWND parent)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterSkinWindowClass(kMarkerClass, WindowProc))
        return false;
    m_range.nLeft = rect.left;
    m_range.nTop = rect.top;
    m_range.nRight = rect.right;
    m_range.nBottom = rect.bottom;
    m_range.nMin = 0;
    m_range.nMax = 10;
    m_range.nValue = 0;
    m_bDraggable = true;
    m_bDragging = false;
    HWND window = CreateWindowExW(0, kMarkerClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, instance, this);
    if (window == nullptr) {
        qelt::DiagLastError(L"CreateWindowExW (value bar)");
        return false;
    }
    return true;
}

void CDMarker::SetImages(const SkinBitmap& track, const SkinBitmap& fill, const RECT& rect)
{
    m_bmpTrack.ShowRectOf(track, rect);
    m_bmpFill.ShowRectOf(fill, rect);
}

void CDMarker::Repaint() const
{
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
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
    MapWindowPoints(m_hWnd, GetParent(m_hWnd), &point, 1);
    m_range.nValue = MarkerValueAt(m_range, point.x);
    Repaint();
}

LRESULT CDMarker::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        qelt::PaintDc paint(m_hWnd);
        Paint(paint.Get());
        return 0;
    }
    case WM_ERASEBKGND:
        return TRUE;  // painting covers the bar
    case WM_LBUTTONDOWN:
        if (m_bDraggable) {
            SetCapture(m_hWnd);
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
            if (GetCapture() == m_hWnd)
                ReleaseCapture();
            Repaint();
        }
        return 0;
    case WM_KILLFOCUS:
        m_bDragging = false;
        Repaint();
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        m_hWnd = nullptr;
        return 0;
    default:
        return DefWindowProcW(m_hWnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK CDMarker::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* marker = static_cast<CDMarker*>(create->lpCreateParams);
        marker->m_hWnd = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(marker));
    }
    auto* marker = reinterpret_cast<CDMarker*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (marker == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    return marker->OnMessage(message, wParam, lParam);
}
