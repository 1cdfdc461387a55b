// agent_probe: measurements of QELT_Core for bench/agent_bench.sh (prints figures, asserts nothing).
//   agent_probe latency COUNT   injected media-key event -> synthesised key seen by a low-level hook
//   agent_probe memory          working set of the running agent
//   agent_probe start EXE COUNT process start -> agent window exists / start-up finished
//   agent_probe busy PROFILE    during a download of PROFILE (this program plays "DLGLoading"):
//                               media-key latency and the agent window's WM_NULL answer times
//   agent_probe front OTHER COUNT  the front window switched COUNT times between this program's
//                               window (a rule gives agent_probe.exe profile 2) and the window
//                               titled OTHER (no rule: profile 1); time until the keyboard has
//                               received the set-profile request for the new front program
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "agent_protocol.h"
#include "kbsim_protocol.h"

namespace {

constexpr DWORD kNextTrackVk = 0xB0;

LARGE_INTEGER g_frequency;
volatile LONGLONG g_keySeenAt = 0;
std::atomic<bool> g_downloadStarted{false};
std::atomic<LONGLONG> g_downloadDoneAt{0};

LONGLONG Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Ms(LONGLONG ticks) { return 1000.0 * static_cast<double>(ticks) / static_cast<double>(g_frequency.QuadPart); }

LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if (key->vkCode == kNextTrackVk && !(key->flags & LLKHF_UP) && g_keySeenAt == 0)
            g_keySeenAt = Now();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void PrintStats(const char* what, std::vector<double> values)
{
    if (values.empty()) {
        std::printf("%s: no samples\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    auto at = [&](double q) { return values[std::min(values.size() - 1, static_cast<size_t>(q * values.size()))]; };
    std::printf("%s: n=%zu median=%.2f ms p99=%.2f ms min=%.2f ms max=%.2f ms\n", what, values.size(), at(0.5),
                at(0.99), values.front(), values.back());
}

// Waits up to 2 s for the synthesised next-track key, pumping this thread's messages (the hook and
// any window of this program run here); returns the latency in ms, or a negative value.
double InjectAndWaitForKey(HANDLE sim)
{
    g_keySeenAt = 0;
    unsigned int word = 0xB500;
    DWORD returned = 0;
    const LONGLONG start = Now();
    if (!DeviceIoControl(sim, KBSIM_IOCTL_INJECT, &word, sizeof word, nullptr, 0, &returned, nullptr)) {
        std::printf("inject failed (error %lu)\n", GetLastError());
        return -2;
    }
    const LONGLONG deadline = start + 2 * g_frequency.QuadPart;
    while (g_keySeenAt == 0 && Now() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    const double latency = g_keySeenAt ? Ms(g_keySeenAt - start) : -1;
    // Let the key-up pass before the next event.
    const LONGLONG settle = Now() + g_frequency.QuadPart / 50;
    while (Now() < settle) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    return latency;
}

int Latency(int count)
{
    HANDLE sim = CreateFileW(KBSIM_USER_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (sim == INVALID_HANDLE_VALUE) {
        std::printf("latency: cannot open the simulated keyboard (error %lu)\n", GetLastError());
        return 1;
    }
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, Hook, GetModuleHandleW(nullptr), 0);
    std::vector<double> samples;
    int missed = 0;
    for (int i = 0; i < count; ++i) {
        const double latency = InjectAndWaitForKey(sim);
        if (latency < -1)
            break;
        if (latency >= 0)
            samples.push_back(latency);
        else
            ++missed;
    }
    UnhookWindowsHookEx(hook);
    CloseHandle(sim);
    PrintStats("media key latency (inject -> hook)", samples);
    std::printf("media key latency: missed=%d\n", missed);
    return 0;
}

// The process's handles as the system's handle list counts them (SystemExtendedHandleInformation).
unsigned long HandlesOfProcess(DWORD pid)
{
    struct HandleEntry {
        void* object;
        ULONG_PTR processId;
        ULONG_PTR handleValue;
        ULONG grantedAccess;
        USHORT creatorBackTraceIndex;
        USHORT objectTypeIndex;
        ULONG attributes;
        ULONG reserved;
    };
    struct HandleList {
        ULONG_PTR count;
        ULONG_PTR reserved;
        HandleEntry entries[1];
    };
    using QueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return 0;
    constexpr ULONG kSystemExtendedHandleInformation = 64;
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    LONG status = 0;
    while ((status = query(kSystemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                           &needed)) == static_cast<LONG>(0xC0000004) && buffer.size() < (64u << 20))
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return 0;
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    unsigned long count = 0;
    for (ULONG_PTR i = 0; i < list->count; ++i)
        count += list->entries[i].processId == pid;
    return count;
}

int Memory()
{
    HWND agent = FindWindowW(nullptr, qelt::kAgentWindowTitle);
    DWORD pid = 0;
    if (!agent || !GetWindowThreadProcessId(agent, &pid)) {
        std::printf("memory: no agent window\n");
        return 1;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!process || !GetProcessMemoryInfo(process, &counters, sizeof counters)) {
        std::printf("memory: cannot query (error %lu)\n", GetLastError());
        return 1;
    }
    DWORD handles = 0;
    if (!GetProcessHandleCount(process, &handles) || handles == 0)
        handles = HandlesOfProcess(pid);  // Wine answers 0 above
    std::printf("agent working set: %.1f MiB (peak %.1f MiB), private %.1f MiB, handles %lu\n",
                counters.WorkingSetSize / 1048576.0, counters.PeakWorkingSetSize / 1048576.0,
                counters.PagefileUsage / 1048576.0, static_cast<unsigned long>(handles));
    CloseHandle(process);
    return 0;
}

int Start(const wchar_t* program, int count)
{
    std::vector<double> toWindow, toReady;
    for (int i = 0; i < count; ++i) {
        std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        const LONGLONG start = Now();
        if (!CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info)) {
            std::printf("start: CreateProcessW failed (error %lu)\n", GetLastError());
            return 1;
        }
        HWND window = nullptr;
        const LONGLONG deadline = start + 20 * g_frequency.QuadPart;
        while (!(window = FindWindowW(nullptr, qelt::kAgentWindowTitle)) && Now() < deadline)
            Sleep(1);
        if (window) {
            toWindow.push_back(Ms(Now() - start));
            // The window answers once its creation (device open, settings, icon) has finished.
            DWORD_PTR result = 0;
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result);
            toReady.push_back(Ms(Now() - start));
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        WaitForSingleObject(info.hProcess, 20000);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    PrintStats("start -> window exists", toWindow);
    PrintStats("start -> start-up finished", toReady);
    return 0;
}

LRESULT CALLBACK LoadingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LOADING_PROGRESS) {
        if (wParam == LOADING_STEP)
            g_downloadStarted = true;
        else if (wParam == LOADING_DONE)
            g_downloadDoneAt = Now();
        return PROTOCOL_ANSWER;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int Busy(int profile)
{
    HWND agent = FindWindowW(nullptr, qelt::kAgentWindowTitle);
    HANDLE sim = CreateFileW(KBSIM_USER_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!agent || sim == INVALID_HANDLE_VALUE) {
        std::printf("busy: no agent window or no simulated keyboard\n");
        return 1;
    }
    // The editor's download dialog, played by this program.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = LoadingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"AgentProbeLoading";
    RegisterClassW(&windowClass);
    HWND loading = CreateWindowExW(0, windowClass.lpszClassName, qelt::kLoadingWindowTitle, WS_POPUP, 0, 0, 10, 10, nullptr,
                                   nullptr, windowClass.hInstance, nullptr);
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, Hook, GetModuleHandleW(nullptr), 0);

    // Another thread asks the agent's window for WM_NULL answers, as often as it gets them.
    std::vector<double> answers;
    std::atomic<bool> stop{false};
    std::thread asker([&] {
        while (!stop) {
            const LONGLONG start = Now();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(agent, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &result))
                std::printf("busy: WM_NULL not answered within 20 s\n");
            if (g_downloadStarted && g_downloadDoneAt == 0)
                answers.push_back(Ms(Now() - start));
            Sleep(5);
        }
    });

    const LONGLONG posted = Now();
    PostMessageW(agent, WM_AP_MESSAGE, AP_RELOAD_SETTINGS, 0);
    PostMessageW(agent, WM_AP_MESSAGE, AP_DOWNLOAD_PROFILE, profile);
    std::vector<double> keys;
    int missed = 0;
    const LONGLONG deadline = posted + 60 * g_frequency.QuadPart;
    while (g_downloadDoneAt == 0 && Now() < deadline) {
        if (!g_downloadStarted) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            continue;
        }
        const double latency = InjectAndWaitForKey(sim);
        if (latency < -1)
            break;
        if (g_downloadDoneAt != 0)
            break;  // the download ended meanwhile: not a sample taken during it
        if (latency >= 0)
            keys.push_back(latency);
        else
            ++missed;
    }
    stop = true;
    asker.join();
    UnhookWindowsHookEx(hook);
    DestroyWindow(loading);
    CloseHandle(sim);
    if (g_downloadDoneAt == 0) {
        std::printf("busy: the download did not end within 60 s\n");
        return 1;
    }
    std::printf("download of profile %d: %.0f ms from the request to its end\n", profile,
                Ms(g_downloadDoneAt - posted));
    PrintStats("media key latency during the download (inject -> hook)", keys);
    std::printf("media key latency during the download: missed=%d\n", missed);
    PrintStats("agent window WM_NULL answer during the download", answers);
    return 0;
}

void PumpFor(LONGLONG ticks)
{
    const LONGLONG until = Now() + ticks;
    while (Now() < until) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
}

unsigned CurrentProfileOnKeyboard(HANDLE sim)
{
    KBSIM_STATE state{};
    DWORD returned = 0;
    if (!DeviceIoControl(sim, KBSIM_IOCTL_STATE, nullptr, 0, &state, sizeof state, &returned, nullptr))
        return 0xFFFFFFFFu;
    return state.currentProfile;
}

int Front(const wchar_t* otherTitle, int count)
{
    HANDLE sim = CreateFileW(KBSIM_USER_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (sim == INVALID_HANDLE_VALUE) {
        std::printf("front: cannot open the simulated keyboard (error %lu)\n", GetLastError());
        return 1;
    }
    HWND other = FindWindowW(nullptr, otherTitle);
    if (!other) {
        std::printf("front: no window \"%ls\"\n", otherTitle);
        return 1;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QeltFrontProbe";
    RegisterClassW(&windowClass);
    HWND own = CreateWindowExW(0, L"QeltFrontProbe", L"QELT Front Probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 450,
                               400, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
    PumpFor(g_frequency.QuadPart);
    std::vector<double> samples;
    int missed = 0;
    for (int i = 0; i < count; ++i) {
        const bool toOwn = i % 2 == 1;  // this window is in front (profile 2) since it was shown
        const unsigned wanted = toOwn ? 2 : 1;  // the keyboard's numbers of profiles 2 and 1
        const LONGLONG start = Now();
        SetForegroundWindow(toOwn ? own : other);
        const LONGLONG deadline = start + 3 * g_frequency.QuadPart;
        while (CurrentProfileOnKeyboard(sim) != wanted && Now() < deadline)
            PumpFor(g_frequency.QuadPart / 1000);
        if (CurrentProfileOnKeyboard(sim) == wanted)
            samples.push_back(Ms(Now() - start));
        else
            ++missed;
        PumpFor(g_frequency.QuadPart * 3 / 10);  // the request's last pause, so each change stands alone
    }
    std::sort(samples.begin(), samples.end());
    if (samples.empty()) {
        std::printf("front window change -> set-profile request on the keyboard: no samples (missed=%d)\n", missed);
    } else {
        auto at = [&](double q) { return samples[std::min(samples.size() - 1, static_cast<size_t>(q * samples.size()))]; };
        std::printf("front window change -> set-profile request on the keyboard: n=%zu median=%.0f ms p95=%.0f ms "
                    "min=%.0f ms max=%.0f ms missed=%d\n",
                    samples.size(), at(0.5), at(0.95), samples.front(), samples.back(), missed);
    }
    DestroyWindow(own);
    CloseHandle(sim);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    QueryPerformanceFrequency(&g_frequency);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"latency")
        return Latency(argc > 2 ? _wtoi(argv[2]) : 300);
    if (command == L"memory")
        return Memory();
    if (command == L"start" && argc > 2)
        return Start(argv[2], argc > 3 ? _wtoi(argv[3]) : 10);
    if (command == L"busy" && argc > 2)
        return Busy(_wtoi(argv[2]));
    if (command == L"front" && argc > 2)
        return Front(argv[2], argc > 3 ? _wtoi(argv[3]) : 50);
    std::printf("usage: agent_probe latency [COUNT] | memory | start EXE [COUNT] | busy PROFILE | front OTHER [COUNT]\n");
    return 2;
}
