// `window`: a plain top-level window that stands in for a peer program's window and writes down
// the messages other programs send it, so a scenario can read what the program under test sent.
#include <windows.h>
#include <shellapi.h>

#include <map>
#include <optional>
#include <vector>

#include "commands.h"
#include "handles.h"
#include "output.h"
#include "text.h"
#include "window_base.h"

namespace qelt::testtool {

namespace {

constexpr wchar_t kDefaultClass[] = L"QeltTestWindow";
// The tray icon's callback message; in the WM_APP range, so it is logged like any other.
constexpr UINT kTrayCallback = WM_APP + 0x3FF;

// Messages a peer sends by number: the private ranges WM_USER..0x7FFF, WM_APP..0xBFFF and the
// registered ones (0xC000..0xFFFF).
bool IsPrivateMessage(UINT message)
{
    return message >= WM_USER && message <= 0xFFFF;
}

class ProbeWindow final : public WindowBase {
public:
    // replies: the answer per message; stalls: milliseconds to sit on a message before
    // answering (a hung peer); closers: messages after which the window closes itself.
    ProbeWindow(LogFile& log, std::map<UINT, LRESULT> replies, std::map<UINT, LRESULT> stalls,
                std::map<UINT, LRESULT> closers, std::vector<std::wstring> menuItems)
        : m_log(log), m_replies(std::move(replies)), m_stalls(std::move(stalls)), m_closers(std::move(closers)),
          m_menuItems(std::move(menuItems))
    {
    }

    ~ProbeWindow() override { RemoveTrayIcon(); }

    bool Create(const std::wstring& className, const std::wstring& title, COLORREF color, POINT position, SIZE size,
                bool visible, bool topmost, bool trayIcon)
    {
        m_background.Reset(CreateSolidBrush(color));
        WindowClassInfo windowClass{className.c_str()};
        windowClass.background = m_background.Get();
        WindowParams params;
        params.title = title.c_str();
        params.style = WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0);
        params.exStyle = topmost ? WS_EX_TOPMOST : 0;
        params.rect = RECT{position.x, position.y, position.x + size.cx, position.y + size.cy};
        if (!CreateWindowOf(windowClass, params)) {
            PrintError(L"window %ls (class %ls) could not be made", title.c_str(), className.c_str());
            return false;
        }
        HWND window = m_window;
        if (visible)
            UpdateWindow(window);
        if (trayIcon && !AddTrayIcon(window, title))
            return false;
        DWORD processId = GetCurrentProcessId();
        m_log.Line(L"ready hwnd=%ls pid=%lu t=%lld", HexValue(reinterpret_cast<uintptr_t>(window)).c_str(),
                   static_cast<unsigned long>(processId), NowMicroseconds());
        PrintLine(L"%ls", HexValue(reinterpret_cast<uintptr_t>(window)).c_str());
        return true;
    }

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        return Handle(m_window, message, wParam, lParam);
    }

    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_COPYDATA:
            LogCopyData(wParam, *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            return Answer(window, message, TRUE);
        case WM_CLOSE:
            m_log.Line(L"close t=%lld", NowMicroseconds());
            // --stall WM_CLOSE=MS: a program slow to end, or hung, when asked to close.
            if (auto stall = m_stalls.find(message); stall != m_stalls.end()) {
                m_log.Line(L"stall ms=%lld t=%lld", static_cast<long long>(stall->second), NowMicroseconds());
                Sleep(static_cast<DWORD>(stall->second));
            }
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            RemoveTrayIcon();
            PostQuitMessage(0);
            return 0;
        default:
            if (message == kTrayCallback && lParam == WM_RBUTTONUP && !m_menuItems.empty()) {
                LogMessage(message, wParam, lParam);
                ShowTrayMenu(window);
                return 0;
            }
            if (IsPrivateMessage(message)) {
                LogMessage(message, wParam, lParam);
                return Answer(window, message, 0);
            }
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    void LogMessage(UINT message, WPARAM wParam, LPARAM lParam)
    {
        m_log.Line(L"msg msg=%ls wParam=%ls lParam=%ls t=%lld", HexValue(message).c_str(), HexValue(wParam).c_str(),
                   HexValue(static_cast<unsigned long long>(lParam)).c_str(), NowMicroseconds());
    }

    // The usual tray menu: at the cursor, the window in front so a click elsewhere dismisses it.
    void ShowTrayMenu(HWND window)
    {
        UniqueMenu menu(CreatePopupMenu());
        if (!menu) {
            PrintError(L"CreatePopupMenu failed, error=%lx", GetLastError());
            return;
        }
        for (size_t i = 0; i < m_menuItems.size(); ++i)
            AppendMenuW(menu.Get(), MF_STRING, i + 1, m_menuItems[i].c_str());
        POINT cursor{};
        GetCursorPos(&cursor);
        SetForegroundWindow(window);
        m_log.Line(L"menu-open t=%lld", NowMicroseconds());
        UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                       cursor.x, cursor.y, 0, window, nullptr));
        PostMessageW(window, WM_NULL, 0, 0);
        std::wstring text = chosen >= 1 && chosen <= m_menuItems.size() ? m_menuItems[chosen - 1] : L"";
        m_log.Line(L"menu item=%u t=%lld text=%ls", chosen, NowMicroseconds(), Quoted(text).c_str());
    }

    bool AddTrayIcon(HWND window, const std::wstring& tip)
    {
        m_trayIcon = NOTIFYICONDATAW{};
        m_trayIcon.cbSize = sizeof(m_trayIcon);
        m_trayIcon.hWnd = window;
        m_trayIcon.uID = 1;
        m_trayIcon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
        m_trayIcon.uCallbackMessage = kTrayCallback;
        m_trayIcon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);  // shared: never destroyed
        lstrcpynW(m_trayIcon.szTip, tip.c_str(), ARRAYSIZE(m_trayIcon.szTip));
        if (!Shell_NotifyIconW(NIM_ADD, &m_trayIcon)) {
            PrintError(L"Shell_NotifyIconW(NIM_ADD) failed, error=%lx", GetLastError());
            m_trayIcon.hWnd = nullptr;
            return false;
        }
        return true;
    }

    void RemoveTrayIcon()
    {
        if (m_trayIcon.hWnd) {
            Shell_NotifyIconW(NIM_DELETE, &m_trayIcon);
            m_trayIcon.hWnd = nullptr;
        }
    }

    LRESULT Answer(HWND window, UINT message, LRESULT fallback)
    {
        auto stall = m_stalls.find(message);
        if (stall != m_stalls.end()) {
            m_log.Line(L"stall ms=%lld t=%lld", static_cast<long long>(stall->second), NowMicroseconds());
            Sleep(static_cast<DWORD>(stall->second));
        }
        if (m_closers.count(message))
            PostMessageW(window, WM_CLOSE, 0, 0);
        auto found = m_replies.find(message);
        return found == m_replies.end() ? fallback : found->second;
    }

    void LogCopyData(WPARAM sender, const COPYDATASTRUCT& data)
    {
        const auto* bytes = static_cast<const uint8_t*>(data.lpData);
        size_t size = bytes ? data.cbData : 0;
        std::wstring extras;
        if (auto text = PayloadAsUtf16(bytes, size))
            extras += L" wtext=" + Quoted(*text);
        if (auto text = PayloadAsAscii(bytes, size))
            extras += L" atext=" + Quoted(*text);
        std::string hexNarrow = HexBytes(bytes, size);
        std::wstring hex(hexNarrow.begin(), hexNarrow.end());
        m_log.Line(L"copydata from=%ls dwData=%ls cbData=%lu bytes=%ls t=%lld%ls", HexValue(sender).c_str(),
                   HexValue(data.dwData).c_str(), static_cast<unsigned long>(data.cbData), hex.c_str(),
                   NowMicroseconds(), extras.c_str());
    }

    LogFile& m_log;
    std::map<UINT, LRESULT> m_replies;
    std::map<UINT, LRESULT> m_stalls;
    std::map<UINT, LRESULT> m_closers;
    std::vector<std::wstring> m_menuItems;
    UniqueBrush m_background;
    NOTIFYICONDATAW m_trayIcon{};
};

unsigned RegisteredMessage(const std::wstring& name)
{
    return RegisterWindowMessageW(name.c_str());
}

// "MSG=VALUE" options into a table; false (reported) on a malformed one.
bool ParseMessageValues(const std::vector<std::wstring>& options, std::map<UINT, LRESULT>& table)
{
    for (const auto& option : options) {
        size_t at = option.find(L'=');
        auto message = at == std::wstring::npos ? std::nullopt : ParseMessage(option.substr(0, at), RegisteredMessage);
        auto value = at == std::wstring::npos ? std::nullopt : ParseInteger(option.substr(at + 1));
        if (!message || !value) {
            PrintError(L"bad option value %ls (want MSG=VALUE)", option.c_str());
            return false;
        }
        table[*message] = static_cast<LRESULT>(*value);
    }
    return true;
}

std::optional<POINT> ParsePair(const std::wstring& text, wchar_t separator)
{
    size_t at = text.find(separator);
    if (at == std::wstring::npos)
        return std::nullopt;
    auto first = ParseInteger(text.substr(0, at));
    auto second = ParseInteger(text.substr(at + 1));
    if (!first || !second)
        return std::nullopt;
    return POINT{static_cast<LONG>(*first), static_cast<LONG>(*second)};
}

} // namespace

int WindowCommand(const Args& args)
{
    Arguments parsed;
    std::wstring error;
    if (!parsed.Parse(args, {L"--class", L"--log", L"--pos", L"--size", L"--color", L"--reply", L"--stall", L"--close-on",
                       L"--tray-menu"}, {L"--hidden", L"--topmost", L"--tray"}, error) ||
        parsed.Positional().size() != 1) {
        PrintError(L"%ls", error.empty() ? L"usage: window TITLE [options]" : error.c_str());
        return kExitUsage;
    }
    auto position = ParsePair(parsed.Value(L"--pos", L"100,100"), L',');
    auto size = ParsePair(parsed.Value(L"--size", L"400x300"), L'x');
    auto color = ParseInteger(L"0x" + parsed.Value(L"--color", L"2080c0"));
    if (!position || !size || !color || *color < 0 || *color > 0xFFFFFF) {
        PrintError(L"bad --pos X,Y, --size WxH or --color RRGGBB");
        return kExitUsage;
    }
    std::map<UINT, LRESULT> replies, stalls, closers;
    if (!ParseMessageValues(parsed.Values(L"--reply"), replies) ||
        !ParseMessageValues(parsed.Values(L"--stall"), stalls)) {
        return kExitUsage;
    }
    for (const auto& text : parsed.Values(L"--close-on")) {
        auto message = ParseMessage(text, RegisteredMessage);
        if (!message) {
            PrintError(L"bad --close-on %ls (want MSG)", text.c_str());
            return kExitUsage;
        }
        closers[*message] = 1;
    }

    LogFile log;
    if (parsed.Has(L"--log") && !log.Open(WindowsPathFromArgument(parsed.Value(L"--log")))) {
        PrintError(L"cannot open log %ls", parsed.Value(L"--log").c_str());
        return kExitFailed;
    }
    // RRGGBB as written, COLORREF is 0x00BBGGRR.
    auto rgb = static_cast<unsigned>(*color);
    COLORREF fill = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    // "Open|Exit": the items of the menu a right click on the tray icon opens.
    std::vector<std::wstring> menuItems;
    if (parsed.Has(L"--tray-menu")) {
        std::wstring items = parsed.Value(L"--tray-menu");
        for (size_t start = 0;;) {
            size_t bar = items.find(L'|', start);
            menuItems.push_back(items.substr(start, bar - start));
            if (bar == std::wstring::npos)
                break;
            start = bar + 1;
        }
    }
    bool trayIcon = parsed.Has(L"--tray") || !menuItems.empty();
    ProbeWindow window(log, std::move(replies), std::move(stalls), std::move(closers), std::move(menuItems));
    if (!window.Create(parsed.Value(L"--class", kDefaultClass), parsed.Positional()[0], fill, *position,
                       SIZE{size->x, size->y}, !parsed.Has(L"--hidden"), parsed.Has(L"--topmost"), trayIcon))
        return kExitFailed;
    RunMessageLoop();
    return kExitOk;
}

} // namespace qelt::testtool
