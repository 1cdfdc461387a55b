// `window`: a plain top-level window that stands in for a peer program's window and writes down
// the messages other programs send it, so a scenario can read what the program under test sent.
#include <windows.h>

#include <map>
#include <optional>

#include "commands.h"
#include "handles.h"
#include "output.h"
#include "text.h"

namespace qelt::testtool {

namespace {

constexpr wchar_t kDefaultClass[] = L"QeltTestWindow";

// Messages a peer sends by number: the private ranges WM_USER..0x7FFF, WM_APP..0xBFFF and the
// registered ones (0xC000..0xFFFF).
bool IsPrivateMessage(UINT message)
{
    return message >= WM_USER && message <= 0xFFFF;
}

class ProbeWindow {
public:
    ProbeWindow(LogFile& log, std::map<UINT, LRESULT> replies) : m_log(log), m_replies(std::move(replies)) {}

    bool Create(const std::wstring& className, const std::wstring& title, COLORREF color, POINT position, SIZE size,
                bool visible)
    {
        m_background.Reset(CreateSolidBrush(color));
        WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &ProbeWindow::Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = m_background.Get();
        windowClass.lpszClassName = className.c_str();
        if (!RegisterClassExW(&windowClass)) {
            PrintError(L"RegisterClassExW(%ls) failed, error=%lx", className.c_str(), GetLastError());
            return false;
        }
        DWORD style = WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0);
        HWND window = CreateWindowExW(0, className.c_str(), title.c_str(), style, position.x, position.y, size.cx,
                                      size.cy, nullptr, nullptr, GetModuleHandleW(nullptr), this);
        if (!window) {
            PrintError(L"CreateWindowExW failed, error=%lx", GetLastError());
            return false;
        }
        if (visible)
            UpdateWindow(window);
        DWORD processId = GetCurrentProcessId();
        m_log.Line(L"ready hwnd=%ls pid=%lu t=%lld", HexValue(reinterpret_cast<uintptr_t>(window)).c_str(),
                   static_cast<unsigned long>(processId), NowMicroseconds());
        PrintLine(L"%ls", HexValue(reinterpret_cast<uintptr_t>(window)).c_str());
        return true;
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<ProbeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        return self ? self->Handle(window, message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
    }

    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_COPYDATA:
            LogCopyData(wParam, *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            return Reply(message, TRUE);
        case WM_CLOSE:
            m_log.Line(L"close t=%lld", NowMicroseconds());
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            if (IsPrivateMessage(message)) {
                m_log.Line(L"msg msg=%ls wParam=%ls lParam=%ls t=%lld", HexValue(message).c_str(),
                           HexValue(wParam).c_str(), HexValue(static_cast<unsigned long long>(lParam)).c_str(),
                           NowMicroseconds());
                return Reply(message, 0);
            }
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    LRESULT Reply(UINT message, LRESULT fallback) const
    {
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
    UniqueBrush m_background;
};

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
    if (!parsed.Parse(args, {L"--class", L"--log", L"--pos", L"--size", L"--color", L"--reply"}, {L"--hidden"}, error) ||
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
    std::map<UINT, LRESULT> replies;
    for (const auto& reply : parsed.Values(L"--reply")) {
        size_t at = reply.find(L'=');
        auto message = at == std::wstring::npos ? std::nullopt
                                                 : ParseMessage(reply.substr(0, at), [](const std::wstring& name) {
                                                       return RegisterWindowMessageW(name.c_str());
                                                   });
        auto value = at == std::wstring::npos ? std::nullopt : ParseInteger(reply.substr(at + 1));
        if (!message || !value) {
            PrintError(L"bad --reply %ls (want MSG=VALUE)", reply.c_str());
            return kExitUsage;
        }
        replies[*message] = static_cast<LRESULT>(*value);
    }

    LogFile log;
    if (parsed.Has(L"--log") && !log.Open(WindowsPathFromArgument(parsed.Value(L"--log")))) {
        PrintError(L"cannot open log %ls", parsed.Value(L"--log").c_str());
        return kExitFailed;
    }
    // RRGGBB as written, COLORREF is 0x00BBGGRR.
    auto rgb = static_cast<unsigned>(*color);
    COLORREF fill = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    ProbeWindow window(log, std::move(replies));
    if (!window.Create(parsed.Value(L"--class", kDefaultClass), parsed.Positional()[0], fill, *position,
                       SIZE{size->x, size->y}, !parsed.Has(L"--hidden")))
        return kExitFailed;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return kExitOk;
}

} // namespace qelt::testtool
