#include "bitmap_btn.h"

#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>
#include <windowsx.h>

#include <map>

#include "common_controls.h"
#include "diag.h"
#include "skin_files.h"

namespace {

constexpr UINT_PTR kToolId = 1;

// Every button shows the same three indicator images: one decoded copy serves all the buttons
// alive at a time, and goes with the last of them (so none outlives the imaging library).
std::shared_ptr<Gdiplus::Image> LoadIndicator(const std::wstring& path)
{
    static std::map<std::wstring, std::weak_ptr<Gdiplus::Image>> decoded;
    if (std::shared_ptr<Gdiplus::Image> shared = decoded[path].lock())
        return shared;
    std::shared_ptr<Gdiplus::Image> image(Gdiplus::Image::FromFile(path.c_str()));
    if (!image || image->GetLastStatus() != Gdiplus::Ok || image->GetWidth() == 0) {
        qelt::Diag(L"ERROR: indicator image %ls could not be loaded\n", path.c_str());
        decoded.erase(path);
        return nullptr;
    }
    decoded[path] = image;
    return image;
}

// Clears style bits only when set: each change is a round trip to the window manager.
void RemoveStyles(HWND window, LONG_PTR styles)
{
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    if (style & styles)
        SetWindowLongPtrW(window, GWL_STYLE, style & ~styles);
}

UINT DrawTextFormat(int align)
{
    const UINT common = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
    switch (align) {
    case BTN_ALIGN_CENTRE: return common | DT_CENTER;
    case BTN_ALIGN_LEFT: return common | DT_LEFT;
    case BTN_ALIGN_RIGHT: return common | DT_RIGHT;
    default: return DT_VCENTER | DT_WORDBREAK | DT_SINGLELINE | DT_NOCLIP | DT_END_ELLIPSIS;
    }
}

// A bitmap to draw a button on before it goes to dc. On a true-colour display an in-process one
// (a DIB section), which is much cheaper to select into a DC than a device-dependent bitmap.
HBITMAP OffscreenBitmap(HDC dc, SIZE size)
{
    if (GetDeviceCaps(dc, BITSPIXEL) != 32)
        return CreateCompatibleBitmap(dc, size.cx, size.cy);
    const BITMAPINFO info = TrueColourLayout(size);
    void* bits = nullptr;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

} // namespace

IndicatorImages LoadIndicatorImages(const std::wstring& programFolder)
{
    CSkinFile mainFile(programFolder, L"main.ini");
    const wchar_t* keys[3] = {L"Red", L"Green", L"Blue"};
    IndicatorImages images;
    for (size_t i = 0; i < images.size(); ++i)
        images[i] = LoadIndicator(mainFile.ImagePath(SKIN_SCREEN, keys[i]));
    return images;
}

CBitmapBtn::CBitmapBtn() = default;

CBitmapBtn::~CBitmapBtn()
{
    m_tooltip.Reset();  // before the button window it belongs to
}

bool CBitmapBtn::Create(HWND parent, const RECT& rect, const std::wstring& programFolder)
{
    if (!CreateButtonWindow(parent, rect))
        return false;
    LoadIndicators(programFolder);
    return true;
}

bool CBitmapBtn::Create(HWND parent, const RECT& rect, const IndicatorImages& indicators)
{
    if (!CreateButtonWindow(parent, rect))
        return false;
    m_indicators = indicators;
    return true;
}

bool CBitmapBtn::CreateButtonWindow(HWND parent, const RECT& rect)
{
    if (!CreateControl(L"BUTTON", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, rect, parent, 0, L"bitmap button"))
        return false;
    RemoveStyles(Window(), WS_TABSTOP);  // buttons are not reached by the tab key
    m_sizeIndicator = SIZE{17, 17};
    return true;
}

CBitmapBtn* CBitmapBtn::FromHandle(HWND window)
{
    return Attached<CBitmapBtn>(window);
}

bool CBitmapBtn::ReflectDrawItem(const DRAWITEMSTRUCT* item)
{
    if (item == nullptr || item->CtlType != ODT_BUTTON)
        return false;
    CBitmapBtn* button = FromHandle(item->hwndItem);
    if (button == nullptr)
        return false;
    RECT client{};
    GetClientRect(item->hwndItem, &client);
    button->Paint(item->hDC, SIZE{client.right - client.left, client.bottom - client.top}, item->itemState);
    return true;
}

void CBitmapBtn::LoadIndicators(const std::wstring& programFolder)
{
    m_indicators = LoadIndicatorImages(programFolder);
}

void CBitmapBtn::SetStateImages(const SkinBitmap& normal, const SkinBitmap& over, const SkinBitmap& pressed,
                                const SkinBitmap& greyed, const RECT& rect)
{
    m_bmpNormal.ShowRectOf(normal, rect);
    m_bmpOver.ShowRectOf(over, rect);
    m_bmpPressed.ShowRectOf(pressed, rect);
    m_bmpGreyed.ShowRectOf(greyed, rect);
    if (Window())
        RemoveStyles(Window(), WS_BORDER | WS_TABSTOP);
}

void CBitmapBtn::SetSelected(bool selected)
{
    if (m_bSelected == selected)
        return;
    m_bSelected = selected;
    Repaint();
}

void CBitmapBtn::SetGreyed(bool greyed)
{
    if (m_bGreyed == greyed)
        return;
    m_bGreyed = greyed;
    Repaint();
}

void CBitmapBtn::Repaint() const
{
    if (Window())
        InvalidateRect(Window(), nullptr, FALSE);
}

// A tooltip is a top-level window, about as dear to make as the button itself: a window of 190
// buttons makes the few the mouse reaches, not all of them.
void CBitmapBtn::EnsureTooltip() const
{
    if (m_tooltip || Window() == nullptr)
        return;
    m_tooltip.Reset(CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, Window(), nullptr, GetModuleHandleW(nullptr), nullptr));
    if (!m_tooltip) {
        qelt::DiagLastError(L"CreateWindowExW (tooltip)");
        return;
    }
    SendMessageW(m_tooltip.Get(), TTM_ACTIVATE, FALSE, 0);
    if (m_bHasToolText)
        ApplyToolText();
}

void CBitmapBtn::ApplyToolText() const
{
    SendMessageW(m_tooltip.Get(), TTM_ACTIVATE, FALSE, 0);
    TOOLINFOW tool{};
    tool.cbSize = qelt::ToolInfoSize();
    tool.hwnd = Window();
    tool.uId = kToolId;
    tool.lpszText = const_cast<wchar_t*>(m_strToolText.c_str());
    if (!m_bToolAdded) {
        tool.rect = m_rcTool;
        m_bToolAdded = SendMessageW(m_tooltip.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
    }
    SendMessageW(m_tooltip.Get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(m_tooltip.Get(), TTM_ACTIVATE, TRUE, 0);
}

void CBitmapBtn::SetTooltipText(const std::wstring& text)
{
    if (Window() == nullptr)
        return;
    if (!m_bHasToolText && !m_bToolAdded)
        GetClientRect(Window(), &m_rcTool);  // the rectangle stays that of the first call
    m_strToolText = text;
    m_bHasToolText = true;
    if (m_tooltip)
        ApplyToolText();
}

HWND CBitmapBtn::Tooltip() const
{
    if (m_bHasToolText)
        EnsureTooltip();
    return m_tooltip.Get();
}

const SkinBitmap& CBitmapBtn::StateImage(UINT itemState) const
{
    if (m_bSelected || (itemState & ODS_SELECTED))
        return m_bmpPressed;
    if (m_bHover)
        return m_bmpOver;
    if (m_bGreyed)
        return m_bmpGreyed;
    return m_bmpNormal;
}

int CBitmapBtn::IndicatorIndex(UINT itemState) const
{
    if (m_bSelected)
        return 0;
    if (itemState & ODS_SELECTED)
        return 1;
    if (m_bHover)
        return 0;
    if ((itemState & ODS_DISABLED) || m_bGreyed)
        return 2;
    return 0;
}

void CBitmapBtn::Paint(HDC dc, SIZE client, UINT itemState) const
{
    const SkinBitmap& image = StateImage(itemState);
    const int indicator = m_nIndicatorMode != 0 ? IndicatorIndex(itemState) : 0;

    if (m_strCaption.empty()) {
        image.CopyTo(dc, client);
        return;
    }

    // Off screen, so the caption never flickers over the image.
    qelt::UniqueMemoryDc memoryDc(CreateCompatibleDC(dc));
    qelt::UniqueBitmap memoryBitmap(OffscreenBitmap(dc, client));
    if (!memoryDc || !memoryBitmap) {
        qelt::DiagLastError(L"CreateCompatibleBitmap (button)");
        return;
    }
    {
        qelt::SelectedObject bitmapSelected(memoryDc.Get(), memoryBitmap.Get());
        HDC mem = memoryDc.Get();
        // Areas without an image keep what the target had. An image as large as the button (the
        // rule) leaves none, and reading back from a window's DC is dear.
        const SIZE imageSize = image.Size();
        if (imageSize.cx < client.cx || imageSize.cy < client.cy)
            BitBlt(mem, 0, 0, client.cx, client.cy, dc, 0, 0, SRCCOPY);
        image.CopyTo(mem, client);
        SetBkMode(mem, TRANSPARENT);

        COLORREF colour = BTN_TEXT_COLOUR;
        if ((itemState & ODS_DISABLED) || m_bGreyed)
            colour = BTN_DIM_TEXT_COLOUR;
        if (m_bSelected)
            colour = m_crSelectedText;
        SetTextColor(mem, colour);

        qelt::SelectedObject fontSelected(mem, CaptionFont());

        SIZE extent{0, 0};
        GetTextExtentPoint32W(mem, m_strCaption.c_str(), int(m_strCaption.size()), &extent);
        const int centredX = client.cx / 2 - extent.cx / 2;
        const int centredY = client.cy / 2 - extent.cy / 2;
        const int length = int(m_strCaption.size());

        if (m_bUseTextRect) {
            RECT textRect = m_rcText;
            DrawTextW(mem, m_strCaption.c_str(), length, &textRect, DrawTextFormat(m_nAlign));
        } else if (m_nAlign == BTN_ALIGN_LEFT) {
            TextOutW(mem, 5, centredY - 2, m_strCaption.c_str(), length);
        } else if (m_nAlign == BTN_ALIGN_CENTRE) {
            if (m_nIndicatorMode == 1) {
                TextOutW(mem, centredX, 6, m_strCaption.c_str(), length);
                if (Gdiplus::Image* picture = m_indicators[size_t(indicator)].get()) {
                    Gdiplus::Graphics graphics(mem);
                    graphics.DrawImage(picture, centredX + 1, 10, int(m_sizeIndicator.cx), int(m_sizeIndicator.cy));
                }
            } else {
                TextOutW(mem, centredX, centredY, m_strCaption.c_str(), length);
            }
        } else {
            TextOutW(mem, client.cx - extent.cx - 2, centredY, m_strCaption.c_str(), length);
        }
        BitBlt(dc, 0, 0, client.cx, client.cy, mem, 0, 0, SRCCOPY);
    }
}

void CBitmapBtn::OnMouseMove(WPARAM wParam, LPARAM lParam)
{
    const bool leftDown = (wParam & MK_LBUTTON) != 0;
    if (leftDown && !m_bHover)
        return;  // a drag that started elsewhere does not light the button
    if (GetCapture() != Window()) {
        if (GetActiveWindow() != nullptr && GetParent(Window()) != nullptr) {
            m_bHover = true;
            SetCapture(Window());
            Repaint();
        }
        return;
    }
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ClientToScreen(Window(), &point);
    HWND under = WindowFromPoint(point);
    if (under == nullptr || under == Window())
        return;
    if (m_bHover) {
        m_bHover = false;
        Repaint();
    }
    if (!leftDown)
        ReleaseCapture();
}

LRESULT CBitmapBtn::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
        // The tooltip only sees the mouse through this relay.
        EnsureTooltip();
        if (m_tooltip) {
            MSG relayed{Window(), message, wParam, lParam, DWORD(GetMessageTime()), {}};
            DWORD pos = GetMessagePos();
            relayed.pt = POINT{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
            SendMessageW(m_tooltip.Get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
        }
    }

    switch (message) {
    case WM_MOUSEMOVE: {
        LRESULT result = CallBase(message, wParam, lParam);
        OnMouseMove(wParam, lParam);
        return result;
    }
    case WM_CAPTURECHANGED:
        if (m_bHover) {
            // Only our own capture is ours to release; another window may have just taken it.
            if (GetCapture() == Window())
                ReleaseCapture();
            Repaint();
        }
        return CallBase(message, wParam, lParam);
    case WM_KILLFOCUS: {
        LRESULT result = CallBase(message, wParam, lParam);
        m_bHover = false;
        Repaint();
        return result;
    }
    case WM_LBUTTONDOWN: {
        HWND owner = GetParent(Window());
        if (owner != nullptr && GetActiveWindow() != GetAncestor(owner, GA_ROOT))
            SetActiveWindow(GetAncestor(owner, GA_ROOT));
        return CallBase(message, wParam, lParam);
    }
    case WM_ERASEBKGND:
        return 0;  // the owner draw covers the whole button
    default:
        return CallBase(message, wParam, lParam);
    }
}

HFONT CBitmapBtn::CaptionFont() const
{
    SkinFonts& fonts = m_pFonts != nullptr ? *m_pFonts : m_ownFonts;
    return fonts.Get(skinfont::Caption(m_nFontHeight));
}

void CBitmapBtn::OnWindowGone()
{
    m_tooltip.Reset();
    m_bToolAdded = false;
    m_bHasToolText = false;
    m_strToolText.clear();
    m_bmpNormal.Reset();
    m_bmpOver.Reset();
    m_bmpPressed.Reset();
    m_bmpGreyed.Reset();
    m_strCaption.clear();
}

std::unique_ptr<CBitmapBtn> CreateSkinButton(HWND parent, const ButtonInfo& info, const SkinBitmap& main,
                                             const SkinBitmap& over, const SkinBitmap& down,
                                             const SkinBitmap& disabled, const std::wstring& programFolder)
{
    return CreateSkinButton(parent, info, main, over, down, disabled, LoadIndicatorImages(programFolder));
}

std::unique_ptr<CBitmapBtn> CreateSkinButton(HWND parent, const ButtonInfo& info, const SkinBitmap& main,
                                             const SkinBitmap& over, const SkinBitmap& down,
                                             const SkinBitmap& disabled, const IndicatorImages& indicators)
{
    auto button = std::make_unique<CBitmapBtn>();
    RECT rect{info.nLeft, info.nTop, info.nRight, info.nBottom};
    if (!button->Create(parent, rect, indicators))
        return nullptr;
    button->SetStateImages(main, over, down, disabled, rect);
    button->SetSelected(info.bSelected);
    button->SetTooltipText(info.szCaption);
    return button;
}
