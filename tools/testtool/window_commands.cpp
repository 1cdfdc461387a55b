// Commands that look up windows and talk to them from outside.
#include <windows.h>

#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "handles.h"
#include "output.h"
#include "text.h"

namespace qelt::testtool {

namespace {

constexpr int kPollMilliseconds = 20;

bool ParseArgs(Arguments& parsed, const Args& args, const std::vector<std::wstring>& valueOptions,
               const std::vector<std::wstring>& flagOptions, size_t positionalMin, size_t positionalMax)
{
    std::wstring error;
    if (!parsed.Parse(args, valueOptions, flagOptions, error)) {
        PrintError(L"%ls", error.c_str());
        return false;
    }
    size_t count = parsed.Positional().size();
    if (count < positionalMin || count > positionalMax) {
        PrintError(L"wrong number of arguments (see: qelt_testtool help)");
        return false;
    }
    return true;
}

std::optional<long long> IntegerArgument(const std::wstring& text, const wchar_t* what)
{
    auto value = ParseInteger(text);
    if (!value)
        PrintError(L"%ls: not a number: %ls", what, text.c_str());
    return value;
}

std::optional<unsigned> MessageArgument(const std::wstring& text)
{
    auto message = ParseMessage(text, [](const std::wstring& name) { return RegisterWindowMessageW(name.c_str()); });
    if (!message)
        PrintError(L"not a message: %ls", text.c_str());
    return message;
}

DWORD TimeoutOption(const Arguments& parsed, DWORD fallback)
{
    auto value = ParseInteger(parsed.Value(L"--timeout", std::to_wstring(fallback)));
    return value && *value >= 0 ? static_cast<DWORD>(*value) : fallback;
}

// A window named by title (FindWindowW: top-level windows, hidden ones included), by title and
// class with --class (title "*": any title), or directly by "hwnd:0x..." as printed by find/list.
HWND LookUp(const std::wstring& target, const Arguments& parsed)
{
    if (target.rfind(L"hwnd:", 0) == 0) {
        auto value = ParseInteger(target.substr(5));
        HWND window = value ? reinterpret_cast<HWND>(static_cast<intptr_t>(*value)) : nullptr;
        return window && IsWindow(window) ? window : nullptr;
    }
    std::wstring windowClass = parsed.Value(L"--class");
    // "*" with --class: any title (menus and tooltips have none).
    const wchar_t* title = target == L"*" && !windowClass.empty() ? nullptr : target.c_str();
    return FindWindowW(windowClass.empty() ? nullptr : windowClass.c_str(), title);
}

HWND LookUpOrReport(const std::wstring& target, const Arguments& parsed)
{
    HWND window = LookUp(target, parsed);
    if (!window)
        PrintError(L"no window \"%ls\"", target.c_str());
    return window;
}

std::wstring HandleText(HWND window)
{
    return HexValue(reinterpret_cast<uintptr_t>(window));
}

std::wstring WindowText(HWND window, size_t capacity = 512)
{
    // Never blocks on a hung owner, unlike GetWindowTextW for another process's window.
    std::wstring buffer(capacity, L'\0');
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, 1000, &length))
        return L"";
    buffer.resize(wcsnlen(buffer.c_str(), capacity - 1));
    return buffer;
}

// Whole lines: the platform's "\r\n" as "\n".
std::wstring WithPlainLineEnds(std::wstring text)
{
    size_t at = 0;
    while ((at = text.find(L"\r\n", at)) != std::wstring::npos)
        text.erase(at, 1);
    return text;
}


std::wstring ClassText(HWND window)
{
    wchar_t buffer[256] = L"";
    GetClassNameW(window, buffer, 256);
    return buffer;
}

struct ChildTexts {
    std::wstring windowClass;
    std::vector<std::wstring> texts;
};

BOOL CALLBACK CollectChildText(HWND window, LPARAM context)
{
    auto* collected = reinterpret_cast<ChildTexts*>(context);
    if (_wcsicmp(ClassText(window).c_str(), collected->windowClass.c_str()) == 0) {
        std::wstring text = WindowText(window, 8192);
        if (!text.empty())
            collected->texts.push_back(std::move(text));
    }
    return TRUE;
}

// One tab-separated line: handle, visible, Windows process id, rect "l,t,r,b", class, title.
void PrintWindowLine(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    PrintLine(L"%ls\t%d\t%lu\t%ld,%ld,%ld,%ld\t%ls\t%ls", HandleText(window).c_str(), IsWindowVisible(window) ? 1 : 0,
              static_cast<unsigned long>(processId), rect.left, rect.top, rect.right, rect.bottom,
              ClassText(window).c_str(), WindowText(window).c_str());
}

BOOL CALLBACK PrintEach(HWND window, LPARAM)
{
    PrintWindowLine(window);
    return TRUE;
}

struct ClassSearch {
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK FindByClassOrTitle(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<ClassSearch*>(context);
    if (ClassText(window) == search->className || WindowText(window) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

int SendOrPost(const Args& args, bool send)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {L"--class", L"--timeout"}, {L"--time"}, 4, 4))
        return kExitUsage;
    const auto& p = parsed.Positional();
    auto message = MessageArgument(p[1]);
    auto wParam = IntegerArgument(p[2], L"wParam");
    auto lParam = IntegerArgument(p[3], L"lParam");
    if (!message || !wParam || !lParam)
        return kExitUsage;
    HWND window = LookUpOrReport(p[0], parsed);
    if (!window)
        return kExitFailed;
    long long startedAt = NowMicroseconds();
    if (!send) {
        if (!PostMessageW(window, *message, static_cast<WPARAM>(*wParam), static_cast<LPARAM>(*lParam))) {
            PrintError(L"PostMessageW failed, error=%lx", GetLastError());
            return kExitFailed;
        }
        if (parsed.Has(L"--time"))
            PrintLine(L"t=%lld", startedAt);
        return kExitOk;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, *message, static_cast<WPARAM>(*wParam), static_cast<LPARAM>(*lParam),
                             SMTO_ABORTIFHUNG, TimeoutOption(parsed, 5000), &result)) {
        PrintError(L"SendMessageTimeoutW failed or timed out, error=%lx", GetLastError());
        return kExitFailed;
    }
    PrintLine(L"%lld", static_cast<long long>(static_cast<LRESULT>(result)));
    if (parsed.Has(L"--time"))
        PrintLine(L"t=%lld", startedAt);
    return kExitOk;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::wstring& path)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        PrintError(L"cannot open %ls, error=%lx", path.c_str(), GetLastError());
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > 64 * 1024 * 1024) {
        PrintError(L"cannot size %ls (or larger than 64 MB)", path.c_str());
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        PrintError(L"cannot read %ls, error=%lx", path.c_str(), GetLastError());
        return std::nullopt;
    }
    return bytes;
}

} // namespace

int FindCommand(const Args& args)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {L"--class"}, {}, 1, 1))
        return kExitUsage;
    HWND window = LookUp(parsed.Positional()[0], parsed);
    if (!window)
        return kExitFailed;
    PrintLine(L"%ls", HandleText(window).c_str());
    return kExitOk;
}

int WaitCommand(const Args& args)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {L"--class", L"--timeout"}, {L"--visible"}, 1, 1))
        return kExitUsage;
    const std::wstring& target = parsed.Positional()[0];
    DWORD timeout = TimeoutOption(parsed, 10000);
    ULONGLONG deadline = GetTickCount64() + timeout;
    for (;;) {
        HWND window = LookUp(target, parsed);
        if (window && (!parsed.Has(L"--visible") || IsWindowVisible(window))) {
            PrintLine(L"%ls", HandleText(window).c_str());
            return kExitOk;
        }
        if (GetTickCount64() >= deadline) {
            PrintError(L"no window \"%ls\" within %lu ms", target.c_str(), static_cast<unsigned long>(timeout));
            return kExitFailed;
        }
        Sleep(kPollMilliseconds);
    }
}

int WaitGoneCommand(const Args& args)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {L"--class", L"--timeout"}, {}, 1, 1))
        return kExitUsage;
    const std::wstring& target = parsed.Positional()[0];
    DWORD timeout = TimeoutOption(parsed, 10000);
    ULONGLONG deadline = GetTickCount64() + timeout;
    while (LookUp(target, parsed)) {
        if (GetTickCount64() >= deadline) {
            PrintError(L"window \"%ls\" still there after %lu ms", target.c_str(), static_cast<unsigned long>(timeout));
            return kExitFailed;
        }
        Sleep(kPollMilliseconds);
    }
    return kExitOk;
}

int RectCommand(const Args& args)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {L"--class"}, {L"--client"}, 1, 1))
        return kExitUsage;
    HWND window = LookUpOrReport(parsed.Positional()[0], parsed);
    if (!window)
        return kExitFailed;
    RECT rect{};
    if (parsed.Has(L"--client")) {
        // The client area in screen coordinates (ClientToScreen: a zero offset is no failure).
        POINT corners[2];
        if (!GetClientRect(window, &rect)) {
            PrintError(L"GetClientRect failed, error=%lx", GetLastError());
            return kExitFailed;
        }
        corners[0] = POINT{rect.left, rect.top};
        corners[1] = POINT{rect.right, rect.bottom};
        if (!ClientToScreen(window, &corners[0]) || !ClientToScreen(window, &corners[1])) {
            PrintError(L"ClientToScreen failed, error=%lx", GetLastError());
            return kExitFailed;
        }
        rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    } else if (!GetWindowRect(window, &rect)) {
        PrintError(L"GetWindowRect failed, error=%lx", GetLastError());
        return kExitFailed;
    }
    PrintLine(L"%ld %ld %ld %ld", rect.left, rect.top, rect.right, rect.bottom);
    return kExitOk;
}

int ListCommand(const Args& args)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {}, {}, 0, 0))
        return kExitUsage;
    EnumWindows(PrintEach, 0);
    return kExitOk;
}

int ChildrenCommand(const Args& args)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {L"--class"}, {}, 1, 1))
        return kExitUsage;
    HWND window = LookUpOrReport(parsed.Positional()[0], parsed);
    if (!window)
        return kExitFailed;
    EnumChildWindows(window, PrintEach, 0);
    return kExitOk;
}

int TextCommand(const Args& args)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {L"--class", L"--child"}, {}, 1, 1))
        return kExitUsage;
    HWND window = LookUpOrReport(parsed.Positional()[0], parsed);
    if (!window)
        return kExitFailed;
    if (!parsed.Has(L"--child")) {
        PrintLine(L"%ls", WithPlainLineEnds(WindowText(window, 8192)).c_str());
        return kExitOk;
    }
    // A message box's text is its static control's; the icon beside it is one without text.
    ChildTexts collected{parsed.Value(L"--child"), {}};
    EnumChildWindows(window, CollectChildText, reinterpret_cast<LPARAM>(&collected));
    if (collected.texts.empty()) {
        PrintError(L"no %ls child with text", collected.windowClass.c_str());
        return kExitFailed;
    }
    for (const std::wstring& text : collected.texts)
        PrintLine(L"%ls", WithPlainLineEnds(text).c_str());
    return kExitOk;
}

int TrayCommand(const Args& args)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {}, {}, 0, 0))
        return kExitUsage;
    // Wine's own tray, shown when the X display has no system tray of its own.
    ClassSearch search{L"__winex11_standalone_tray", L"Wine System Tray", nullptr};
    EnumWindows(FindByClassOrTitle, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        PrintError(L"no Wine system tray window");
        return kExitFailed;
    }
    PrintWindowLine(search.found);
    EnumChildWindows(search.found, PrintEach, 0);
    return kExitOk;
}

int PostCommand(const Args& args)
{
    return SendOrPost(args, false);
}

int SendCommand(const Args& args)
{
    return SendOrPost(args, true);
}

int CopyDataCommand(const Args& args)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {L"--class", L"--timeout", L"--hex", L"--wtext", L"--from"}, {L"--time"}, 2, 3))
        return kExitUsage;
    const auto& p = parsed.Positional();
    auto dwData = IntegerArgument(p[1], L"dwData");
    if (!dwData)
        return kExitUsage;
    std::vector<uint8_t> payload;
    if (p.size() == 3) {
        auto bytes = ReadWholeFile(WindowsPathFromArgument(p[2]));
        if (!bytes)
            return kExitFailed;
        payload = std::move(*bytes);
    } else if (parsed.Has(L"--hex")) {
        auto bytes = ParseHexBytes(parsed.Value(L"--hex"));
        if (!bytes) {
            PrintError(L"--hex: not hex bytes");
            return kExitUsage;
        }
        payload = std::move(*bytes);
    } else if (parsed.Has(L"--wtext")) {
        std::wstring text = parsed.Value(L"--wtext");
        const auto* begin = reinterpret_cast<const uint8_t*>(text.c_str());
        payload.assign(begin, begin + (text.size() + 1) * sizeof(wchar_t));  // with its NUL
    } else {
        PrintError(L"copydata needs FILE, --hex BYTES or --wtext TEXT");
        return kExitUsage;
    }
    auto from = IntegerArgument(parsed.Value(L"--from", L"0"), L"--from");
    if (!from)
        return kExitUsage;
    HWND window = LookUpOrReport(p[0], parsed);
    if (!window)
        return kExitFailed;
    COPYDATASTRUCT data{};
    data.dwData = static_cast<ULONG_PTR>(*dwData);
    data.cbData = static_cast<DWORD>(payload.size());
    data.lpData = payload.empty() ? nullptr : payload.data();
    long long startedAt = NowMicroseconds();
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_COPYDATA, static_cast<WPARAM>(*from), reinterpret_cast<LPARAM>(&data),
                             SMTO_ABORTIFHUNG, TimeoutOption(parsed, 5000), &result)) {
        PrintError(L"WM_COPYDATA failed or timed out, error=%lx", GetLastError());
        return kExitFailed;
    }
    PrintLine(L"%lld", static_cast<long long>(static_cast<LRESULT>(result)));
    if (parsed.Has(L"--time"))
        PrintLine(L"t=%lld", startedAt);
    return kExitOk;
}

int KeyCommand(const Args& args)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {}, {L"--down", L"--up"}, 1, 32))
        return kExitUsage;
    std::vector<INPUT> inputs;
    for (const auto& text : parsed.Positional()) {
        auto vk = ParseVirtualKey(text);
        if (!vk) {
            PrintError(L"not a virtual key: %ls", text.c_str());
            return kExitUsage;
        }
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(*vk);
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(*vk, MAPVK_VK_TO_VSC));
        if (!parsed.Has(L"--up"))
            inputs.push_back(input);
        if (!parsed.Has(L"--down")) {
            input.ki.dwFlags = KEYEVENTF_KEYUP;
            inputs.push_back(input);
        }
    }
    long long startedAt = NowMicroseconds();
    UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size()) {
        PrintError(L"SendInput sent %u of %u events, error=%lx", sent, static_cast<unsigned>(inputs.size()),
                   GetLastError());
        return kExitFailed;
    }
    PrintLine(L"t=%lld", startedAt);
    return kExitOk;
}

int TerminateCommand(const Args& args)
{
    Arguments parsed;
    if (!ParseArgs(parsed, args, {L"--class", L"--exit-code"}, {}, 1, 1))
        return kExitUsage;
    auto exitCode = ParseInteger(parsed.Value(L"--exit-code", L"1"));
    if (!exitCode) {
        PrintError(L"--exit-code: not a number");
        return kExitUsage;
    }
    HWND window = LookUpOrReport(parsed.Positional()[0], parsed);
    if (!window)
        return kExitFailed;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    UniqueKernelObject process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (!process || !TerminateProcess(process.Get(), static_cast<UINT>(*exitCode))) {
        PrintError(L"cannot terminate process %lu, error=%lx", static_cast<unsigned long>(processId), GetLastError());
        return kExitFailed;
    }
    WaitForSingleObject(process.Get(), 5000);
    PrintLine(L"%lu", static_cast<unsigned long>(processId));
    return kExitOk;
}

int NowCommand(const Args& args)
{
    if (!args.empty()) {
        PrintError(L"now takes no arguments");
        return kExitUsage;
    }
    PrintLine(L"t=%lld", NowMicroseconds());
    return kExitOk;
}

} // namespace qelt::testtool
