#include "osd_window.h"

#include "agent_protocol.h"
#include "diag.h"

namespace qelt {
namespace {

constexpr wchar_t kWindowClass[] = L"QeltOsdWindow";
constexpr UINT_PTR kHideTimer = 1;
constexpr UINT_PTR kFadeTimer = 2;
constexpr UINT kFadeStepMs = 30;
constexpr BYTE kPanelAlpha = 225;
constexpr BYTE kFadeStep = 45;
constexpr COLORREF kPanelColor = RGB(14, 16, 22);
constexpr COLORREF kShadowColor = RGB(0, 0, 0);

int Scaled(int size, int numerator, int denominator) { return size * numerator / denominator; }

} // namespace

bool COsdWindow::Create(HINSTANCE instance)
{
    // Layered and transparent to the mouse: the panel never takes a click or the focus.
    WindowParams params;
    params.title = kOsdWindowTitle;
    params.exStyle = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    params.rect = RECT{0, 0, 10, 10};
    return CreateWindowOf(WindowClassInfo{kWindowClass}, params, instance);
}

LRESULT COsdWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COPYDATA:
        return OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_CLOSE:
        DestroyWindow(m_window);
        return 0;
    case WM_DESTROY:
        // Also posted by the agent when its own window goes away.
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

bool COsdWindow::OnCopyData(const COPYDATASTRUCT& copy)
{
    const auto content = ParseOsdMessage(copy.lpData, copy.cbData);
    if (!content) {
        Diag(L"OSD: record refused (%lu bytes, a text without terminator or the wrong length)\n",
             static_cast<unsigned long>(copy.cbData));
        return false;
    }
    Show(*content);
    return true;
}

void COsdWindow::Show(const OsdContent& content)
{
    m_text.assign(content.text.begin(), content.text.end());
    m_color = content.color;
    const std::wstring face(content.face.begin(), content.face.end());
    m_font.Reset(CreateFontW(-content.size, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, face.c_str()));
    if (!m_font)
        DiagLastError(L"CreateFontW");

    // Size the panel around the text, with room for the accent bar.
    SIZE extent{content.size * 4, content.size};
    {
        WindowDc screen(nullptr);
        SelectedObject font(screen.Get(), m_font ? m_font.Get() : GetStockObject(DEFAULT_GUI_FONT));
        if (!m_text.empty())
            GetTextExtentPoint32W(screen.Get(), m_text.c_str(), static_cast<int>(m_text.size()), &extent);
    }
    const int padX = Scaled(content.size, 9, 10) + 8;
    const int padY = Scaled(content.size, 2, 5) + 6;
    const int width = extent.cx + 2 * padX;
    const int height = extent.cy + 2 * padY;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.bottom - height - (work.bottom - work.top) / 8;

    const int corner = height / 2;
    HRGN shape = CreateRoundRectRgn(0, 0, width + 1, height + 1, corner, corner);
    SetWindowPos(m_window, HWND_TOPMOST, x, y, width, height, SWP_NOACTIVATE);
    if (shape && !SetWindowRgn(m_window, shape, FALSE))
        DeleteObject(shape);  // the window owns the region only when it took it

    KillTimer(m_window, kFadeTimer);
    m_alpha = kPanelAlpha;
    SetLayeredWindowAttributes(m_window, 0, m_alpha, LWA_ALPHA);
    ShowWindow(m_window, SW_SHOWNOACTIVATE);
    InvalidateRect(m_window, nullptr, TRUE);
    UpdateWindow(m_window);
    SetTimer(m_window, kHideTimer, static_cast<UINT>(content.durationMs), nullptr);
}

void COsdWindow::Paint()
{
    PaintDc paint(m_window);
    RECT client;
    GetClientRect(m_window, &client);
    UniqueBrush panel(CreateSolidBrush(kPanelColor));
    FillRect(paint.Get(), &client, panel.Get());

    // A thin accent bar along the bottom in the text's colour.
    const int bar = (client.bottom - client.top) / 14 + 2;
    RECT accent{client.left + (client.bottom - client.top) / 2, client.bottom - bar - 2,
                client.right - (client.bottom - client.top) / 2, client.bottom - 2};
    UniqueBrush accentBrush(CreateSolidBrush(m_color));
    FillRect(paint.Get(), &accent, accentBrush.Get());

    SelectedObject font(paint.Get(), m_font ? m_font.Get() : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(paint.Get(), TRANSPARENT);
    RECT text = client;
    text.bottom -= bar;
    RECT shadow = text;
    OffsetRect(&shadow, 2, 2);
    SetTextColor(paint.Get(), kShadowColor);
    DrawTextW(paint.Get(), m_text.c_str(), static_cast<int>(m_text.size()), &shadow,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(paint.Get(), m_color);
    DrawTextW(paint.Get(), m_text.c_str(), static_cast<int>(m_text.size()), &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void COsdWindow::OnTimer(UINT_PTR id)
{
    if (id == kHideTimer) {
        KillTimer(m_window, kHideTimer);
        SetTimer(m_window, kFadeTimer, kFadeStepMs, nullptr);
        return;
    }
    if (id == kFadeTimer) {
        if (m_alpha <= kFadeStep) {
            KillTimer(m_window, kFadeTimer);
            ShowWindow(m_window, SW_HIDE);
            m_alpha = 0;
            return;
        }
        m_alpha = static_cast<BYTE>(m_alpha - kFadeStep);
        SetLayeredWindowAttributes(m_window, 0, m_alpha, LWA_ALPHA);
    }
}

} // namespace qelt
