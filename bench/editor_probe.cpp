// editor_probe: measurements of QELT_Settings for bench/editor_bench.sh (prints figures, asserts
// nothing). A window counts as shown once it is visible and neither it nor any child has a part
// left to paint.
//   editor_probe start EDITOR COUNT          process start -> main window shown; private memory
//   editor_probe floor COUNT                 the same for a trivial window program (this one)
//   editor_probe switch EDITOR X1 Y1 X2 Y2 COUNT
//                                            click on the profile buttons at two screen points ->
//                                            repainted and the set-profile request received (this
//                                            program plays the agent's window)
//   editor_probe assign EDITOR SX SY K1X K1Y K2X K2Y LX LY COUNT
//                                            with the slot at (SX, SY) selected: click on keys at
//                                            two points -> repainted; click on the slot's label at
//                                            (LX, LY) -> the function menu shown
//   editor_probe apply X Y                   click on the button at (X, Y) of the running editor
//                                            (Apply & Close) -> the download dialog has closed
//   editor_probe record LIST EVENTS          with the macro editor recording: EVENTS key events
//                                            (presses and releases of letters) injected at once;
//                                            events per second taken into the step list LIST
//                                            (a window handle) and the number lost
//   editor_probe macro-edit LIST DX DY COUNT with the macro editor showing a long macro (key steps on
//                                            even lines, pauses on odd ones), COUNT times: click on
//                                            a key line of the step list LIST (a window handle) ->
//                                            selected and the editor repainted; click on the Delete
//                                            button at the screen point (DX, DY) -> the key's four
//                                            lines gone and the editor repainted
//   editor_probe memory TITLE LABEL          private memory of the process whose window is titled
//                                            TITLE, printed after LABEL
//   editor_probe trivial                     the trivial window program itself
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "agent_protocol.h"

namespace {

constexpr wchar_t kTrivialTitle[] = L"QELT Trivial Window";

LARGE_INTEGER g_frequency;
LONGLONG g_requestSeenAt = 0;
LPARAM g_requestProfile = -1;

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Ms(LONGLONG ticks) { return 1000.0 * double(ticks) / double(g_frequency.QuadPart); }

void PrintStats(const char* what, std::vector<double> values)
{
    if (values.empty()) {
        std::printf("%s: no samples\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%s: n=%zu median=%.1f ms min=%.1f ms max=%.1f ms\n", what, values.size(), values[values.size() / 2],
                values.front(), values.back());
}

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

BOOL CALLBACK ChildNeedsPaint(HWND child, LPARAM result)
{
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(result) = true;
        return FALSE;
    }
    return TRUE;
}

bool Painted(HWND window)
{
    if (!IsWindowVisible(window) || GetUpdateRect(window, nullptr, FALSE))
        return false;
    bool pending = false;
    EnumChildWindows(window, ChildNeedsPaint, reinterpret_cast<LPARAM>(&pending));
    return !pending;
}

// Waits (pumping this program's own messages) until the window titled `title` is shown.
HWND WaitShown(const wchar_t* title, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < deadline) {
        HWND window = FindWindowW(nullptr, title);
        if (window != nullptr && Painted(window))
            return window;
        Pump();
        Sleep(1);
    }
    return nullptr;
}

bool WaitGone(const wchar_t* title, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < deadline) {
        if (FindWindowW(nullptr, title) == nullptr)
            return true;
        Pump();
        Sleep(1);
    }
    return false;
}

PROCESS_INFORMATION Launch(const std::wstring& commandLine)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        std::printf("cannot start %ls (error %lu)\n", commandLine.c_str(), GetLastError());
    return process;
}

void Close(PROCESS_INFORMATION& process, const wchar_t* title)
{
    if (HWND window = FindWindowW(nullptr, title))
        PostMessageW(window, WM_CLOSE, 0, 0);
    if (process.hProcess != nullptr) {
        if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    process = {};
}

// Private memory and working set of the process, in MiB; false when it cannot be read.
bool ProcessMemory(HANDLE process, double& privateMiB, double& workingSetMiB)
{
    PROCESS_MEMORY_COUNTERS_EX memory{};
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory)))
        return false;
    // Wine reports private bytes as the page-file usage only.
    const SIZE_T privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
    privateMiB = double(privateBytes) / 1048576.0;
    workingSetMiB = double(memory.WorkingSetSize) / 1048576.0;
    return true;
}

int MeasureStarts(const std::wstring& commandLine, const wchar_t* title, int count, const char* what)
{
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        const LONGLONG start = Now();
        PROCESS_INFORMATION process = Launch(commandLine);
        if (process.hProcess == nullptr)
            return 1;
        const bool shown = WaitShown(title, 30000) != nullptr;
        const LONGLONG end = Now();
        if (shown)
            samples.push_back(Ms(end - start));
        double privateMiB = 0, workingSetMiB = 0;
        if (i == 0 && shown && ProcessMemory(process.hProcess, privateMiB, workingSetMiB))
            std::printf("%s: private memory after start %.1f MiB, working set %.1f MiB\n", what, privateMiB,
                        workingSetMiB);
        Close(process, title);
    }
    PrintStats(what, samples);
    return 0;
}

LRESULT CALLBACK AgentStandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_AP_MESSAGE && wParam == AP_SET_PROFILE) {
        g_requestSeenAt = Now();
        g_requestProfile = lParam;
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow(const wchar_t* className, const wchar_t* title, WNDPROC procedure, DWORD style)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&windowClass);
    return CreateWindowW(className, title, style, 100, 100, 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr),
                         nullptr);
}

int MeasureSwitch(const std::wstring& editor, POINT first, POINT second, int count)
{
    HWND agent = MakeWindow(L"QeltProbeAgent", qelt::kAgentWindowTitle, AgentStandInProc, WS_OVERLAPPED);
    PROCESS_INFORMATION process = Launch(L"\"" + editor + L"\"");
    HWND main = WaitShown(qelt::kEditorWindowTitle, 30000);
    if (main == nullptr) {
        std::printf("switch: the editor did not open\n");
        Close(process, qelt::kEditorWindowTitle);
        return 1;
    }
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        const POINT at = i % 2 == 0 ? second : first;
        HWND button = WindowFromPoint(at);
        if (GetParent(button) != main) {
            std::printf("switch: no editor button at %ld,%ld\n", at.x, at.y);
            break;
        }
        g_requestSeenAt = 0;
        const LONGLONG start = Now();
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        const ULONGLONG deadline = GetTickCount64() + 10000;
        while ((g_requestSeenAt == 0 || !Painted(main)) && GetTickCount64() < deadline) {
            Pump();
            Sleep(0);
        }
        if (g_requestSeenAt != 0 && Painted(main))
            samples.push_back(Ms(std::max(Now(), g_requestSeenAt) - start));
        else
            std::printf("switch %d: %s\n", i, g_requestSeenAt == 0 ? "no set-profile request" : "not repainted");
    }
    Close(process, qelt::kEditorWindowTitle);
    DestroyWindow(agent);
    PrintStats("profile switch: click -> repainted and set-profile request received", samples);
    return 0;
}

struct MenuSearch {
    HWND owner;
    HWND menu;
};

BOOL CALLBACK FindMenu(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<MenuSearch*>(data);
    wchar_t className[16] = L"", title[4] = L"";
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, title, 4);
    if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window) && wcscmp(className, L"#32770") == 0 &&
        title[0] == L'\0') {
        search->menu = window;
        return FALSE;
    }
    return TRUE;
}

void Click(HWND main, POINT at)
{
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(WindowFromPoint(at)));
}

bool WaitPainted(HWND window, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!Painted(window)) {
        if (GetTickCount64() >= deadline)
            return false;
        Pump();
        Sleep(0);
    }
    return true;
}

int MeasureAssign(const std::wstring& editor, POINT slot, POINT key1, POINT key2, POINT label, int count)
{
    HWND agent = MakeWindow(L"QeltProbeAgent", qelt::kAgentWindowTitle, AgentStandInProc, WS_OVERLAPPED);
    PROCESS_INFORMATION process = Launch(L"\"" + editor + L"\"");
    HWND main = WaitShown(qelt::kEditorWindowTitle, 30000);
    if (main == nullptr) {
        std::printf("assign: the editor did not open\n");
        Close(process, qelt::kEditorWindowTitle);
        return 1;
    }
    Click(main, slot);
    WaitPainted(main, 5000);
    std::vector<double> binds, menus;
    for (int i = 0; i < count; ++i) {
        LONGLONG start = Now();
        Click(main, i % 2 == 0 ? key1 : key2);
        // The key click is handled before the check: a message round trip, then the paint.
        SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
        if (WaitPainted(main, 5000))
            binds.push_back(Ms(Now() - start));

        start = Now();
        Click(main, label);
        MenuSearch search{main, nullptr};
        const ULONGLONG deadline = GetTickCount64() + 10000;
        while (GetTickCount64() < deadline) {
            search.menu = nullptr;
            EnumWindows(FindMenu, reinterpret_cast<LPARAM>(&search));
            if (search.menu != nullptr && Painted(search.menu))
                break;
            Pump();
            Sleep(0);
        }
        if (search.menu == nullptr) {
            std::printf("assign: no function menu\n");
            break;
        }
        menus.push_back(Ms(Now() - start));
        // The first item is "No function": the slot keeps its key and the next round starts alike.
        PostMessageW(search.menu, WM_LBUTTONDOWN, 0, MAKELPARAM(-5, -5));
        const ULONGLONG closeBy = GetTickCount64() + 5000;
        while (IsWindow(search.menu) && GetTickCount64() < closeBy) {
            Pump();
            Sleep(1);
        }
        WaitPainted(main, 5000);
    }
    Close(process, qelt::kEditorWindowTitle);
    DestroyWindow(agent);
    PrintStats("bind a key: click -> repainted", binds);
    PrintStats("function menu: click on the label -> menu shown", menus);
    return 0;
}

int MeasureApply(POINT at)
{
    HWND main = FindWindowW(nullptr, qelt::kEditorWindowTitle);
    if (main == nullptr) {
        std::printf("apply: no editor\n");
        return 1;
    }
    HWND button = WindowFromPoint(at);
    const LONGLONG start = Now();
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    const bool opened = WaitShown(qelt::kLoadingWindowTitle, 10000) != nullptr;
    const bool closed = opened && WaitGone(qelt::kLoadingWindowTitle, 30000);
    const LONGLONG end = Now();
    if (!closed) {
        std::printf("apply: the download dialog did not %s\n", opened ? "close" : "open");
        return 1;
    }
    std::printf("apply: click -> download dialog closed %.1f ms\n", Ms(end - start));
    return 0;
}

int MeasureRecording(HWND list, int events)
{
    std::vector<INPUT> inputs;
    for (int i = 0; i < events; ++i) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = WORD('A' + (i / 2) % 26);
        input.ki.dwFlags = i % 2 == 0 ? 0 : KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    const LRESULT before = SendMessageW(list, LB_GETCOUNT, 0, 0);
    const LONGLONG start = Now();
    const UINT sent = SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
    const LONGLONG sentAt = Now();
    LRESULT lines = before;
    LONGLONG lastChange = sentAt;
    // Taken: a line per event and one per pause between two of them. The recording is over when
    // no line came for a second.
    while (Ms(Now() - lastChange) < 1000.0 && lines < before + 2 * events - 1) {
        const LRESULT now = SendMessageW(list, LB_GETCOUNT, 0, 0);
        if (now != lines) {
            lines = now;
            lastChange = Now();
        }
        Sleep(1);
    }
    const long taken = long(lines - before + 1) / 2;
    std::printf("recording: %u events injected in %.1f ms, %ld taken in %.1f ms (%.0f events/s), %ld lost\n", sent,
                Ms(sentAt - start), taken, Ms(lastChange - start),
                taken > 0 ? 1000.0 * double(taken) / Ms(lastChange - start) : 0.0, long(events) - taken);
    return 0;
}

// Waits (up to 5 s) until done() holds and the editor has nothing left to paint.
template <class Done>
bool WaitSettled(HWND window, Done done)
{
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (!(done() && Painted(window))) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(0);
    }
    return true;
}

int MeasureMacroEdit(HWND list, POINT deleteAt, int count)
{
    HWND editor = GetParent(list);
    // Disabled until a line is selected, so WindowFromPoint would pass it by.
    POINT inEditor = deleteAt;
    ScreenToClient(editor, &inEditor);
    HWND deleteButton = ChildWindowFromPointEx(editor, inEditor, CWP_SKIPINVISIBLE);
    std::vector<double> clicks, deletes, floors;
    for (int round = 0; round < count; ++round) {
        const LRESULT lines = SendMessageW(list, LB_GETCOUNT, 0, 0);
        // A key line in view, two lines below the top one.
        const LRESULT top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
        const int line = int(std::min<LRESULT>((top + 2) & ~LRESULT(1), lines - 4));
        RECT item{};
        if (lines < 4 || line < 0 || SendMessageW(list, LB_GETITEMRECT, WPARAM(line), LPARAM(&item)) == LB_ERR) {
            std::printf("macro edit: no key line left to click\n");
            break;
        }
        const LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);

        // The floor: a message that changes nothing, waited for the same way.
        LONGLONG start = Now();
        PostMessageW(list, WM_NULL, 0, 0);
        WaitSettled(editor, [&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == lines; });
        floors.push_back(Ms(Now() - start));

        start = Now();
        PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
        PostMessageW(list, WM_LBUTTONUP, 0, point);
        if (!WaitSettled(editor, [&] { return SendMessageW(list, LB_GETCURSEL, 0, 0) == line; })) {
            std::printf("macro edit: line %d was not selected\n", line);
            return 1;
        }
        clicks.push_back(Ms(Now() - start));

        start = Now();
        PostMessageW(editor, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(deleteButton));
        if (!WaitSettled(editor, [&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == lines - 4; })) {
            std::printf("macro edit: Delete did not take the key's four lines (line %d of %ld)\n", line, long(lines));
            return 1;
        }
        deletes.push_back(Ms(Now() - start));
    }
    PrintStats("macro editor: floor (a message that changes nothing -> settled)", floors);
    PrintStats("macro editor: click on a line -> repainted", clicks);
    PrintStats("macro editor: Delete -> repainted", deletes);
    return 0;
}

int MeasureMemory(const wchar_t* title, const wchar_t* label)
{
    HWND window = FindWindowW(nullptr, title);
    DWORD processId = 0;
    if (window != nullptr)
        GetWindowThreadProcessId(window, &processId);
    HANDLE process = processId != 0 ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId) : nullptr;
    double privateMiB = 0, workingSetMiB = 0;
    const bool read = process != nullptr && ProcessMemory(process, privateMiB, workingSetMiB);
    if (process != nullptr)
        CloseHandle(process);
    if (!read) {
        std::printf("memory: no process with a window \"%ls\"\n", title);
        return 1;
    }
    std::printf("%ls: private memory %.1f MiB, working set %.1f MiB\n", label, privateMiB, workingSetMiB);
    return 0;
}

LRESULT CALLBACK TrivialProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int RunTrivial()
{
    HWND window = MakeWindow(L"QeltTrivialWindow", kTrivialTitle, TrivialProc, WS_OVERLAPPEDWINDOW);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    QueryPerformanceFrequency(&g_frequency);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"trivial")
        return RunTrivial();
    if (command == L"start" && argc >= 4)
        return MeasureStarts(L"\"" + std::wstring(argv[2]) + L"\"", qelt::kEditorWindowTitle, _wtoi(argv[3]),
                             "editor start: process start -> main window shown");
    if (command == L"floor" && argc >= 3) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        return MeasureStarts(L"\"" + std::wstring(self) + L"\" trivial", kTrivialTitle, _wtoi(argv[2]),
                             "floor: trivial window program start -> window shown");
    }
    if (command == L"switch" && argc >= 8)
        return MeasureSwitch(argv[2], POINT{_wtoi(argv[3]), _wtoi(argv[4])}, POINT{_wtoi(argv[5]), _wtoi(argv[6])},
                             _wtoi(argv[7]));
    if (command == L"assign" && argc >= 12)
        return MeasureAssign(argv[2], POINT{_wtoi(argv[3]), _wtoi(argv[4])}, POINT{_wtoi(argv[5]), _wtoi(argv[6])},
                             POINT{_wtoi(argv[7]), _wtoi(argv[8])}, POINT{_wtoi(argv[9]), _wtoi(argv[10])},
                             _wtoi(argv[11]));
    if (command == L"record" && argc >= 4)
        return MeasureRecording(reinterpret_cast<HWND>(std::wcstoull(argv[2], nullptr, 16)), _wtoi(argv[3]));
    if (command == L"apply" && argc >= 4)
        return MeasureApply(POINT{_wtoi(argv[2]), _wtoi(argv[3])});
    if (command == L"memory" && argc >= 4)
        return MeasureMemory(argv[2], argv[3]);
    if (command == L"macro-edit" && argc >= 6)
        return MeasureMacroEdit(reinterpret_cast<HWND>(std::wcstoull(argv[2], nullptr, 16)),
                                POINT{_wtoi(argv[3]), _wtoi(argv[4])}, _wtoi(argv[5]));
    std::printf("usage: editor_probe start EDITOR COUNT | floor COUNT | switch EDITOR X1 Y1 X2 Y2 COUNT |\n"
                "       assign EDITOR SX SY K1X K1Y K2X K2Y LX LY COUNT | apply X Y | memory TITLE LABEL |\n"
                "       macro-edit LIST DX DY COUNT\n");
    return 2;
}
