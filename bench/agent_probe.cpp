// agent_probe: measurements of QELT_Core for bench/agent_bench.sh (prints figures, asserts nothing).
//   agent_probe latency COUNT   injected media-key event -> synthesised key seen by a low-level hook
//   agent_probe memory          working set of the running agent
//   agent_probe start EXE COUNT process start -> agent window exists / start-up finished
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "kbsim_protocol.h"

namespace {

constexpr wchar_t kAgentTitle[] = L"Func QELT HID";
constexpr DWORD kNextTrackVk = 0xB0;

LARGE_INTEGER g_frequency;
volatile LONGLONG g_keySeenAt = 0;

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
        g_keySeenAt = 0;
        unsigned int word = 0xB500;
        DWORD returned = 0;
        const LONGLONG start = Now();
        if (!DeviceIoControl(sim, KBSIM_IOCTL_INJECT, &word, sizeof word, nullptr, 0, &returned, nullptr)) {
            std::printf("latency: inject failed (error %lu)\n", GetLastError());
            break;
        }
        const LONGLONG deadline = start + 2 * g_frequency.QuadPart;
        while (g_keySeenAt == 0 && Now() < deadline) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
        }
        if (g_keySeenAt)
            samples.push_back(Ms(g_keySeenAt - start));
        else
            ++missed;
        // Let the key-up pass before the next event.
        const LONGLONG settle = Now() + g_frequency.QuadPart / 50;
        while (Now() < settle) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
        }
    }
    UnhookWindowsHookEx(hook);
    CloseHandle(sim);
    PrintStats("media key latency (inject -> hook)", samples);
    std::printf("media key latency: missed=%d\n", missed);
    return 0;
}

int Memory()
{
    HWND agent = FindWindowW(nullptr, kAgentTitle);
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
    std::printf("agent working set: %.1f MiB (peak %.1f MiB), private %.1f MiB\n",
                counters.WorkingSetSize / 1048576.0, counters.PeakWorkingSetSize / 1048576.0,
                counters.PagefileUsage / 1048576.0);
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
        while (!(window = FindWindowW(nullptr, kAgentTitle)) && Now() < deadline)
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
    std::printf("usage: agent_probe latency [COUNT] | memory | start EXE [COUNT]\n");
    return 2;
}
