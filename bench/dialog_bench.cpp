// Creation to first paint of the macro editor and the repeat options with the shipped skin: the
// time from constructing the dialog until it and all its controls have painted once.
//   bench/dialog_bench.sh [rounds]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "dlg_macro.h"
#include "dlg_repeat.h"
#include "gdiplus_session.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr UINT kPaintedMessage = WM_APP + 0x31;
constexpr UINT_PTR kSettledTimer = 0x5131;

// One measurement, followed by the message hook of this thread.
struct FirstPaint {
    HWND host = nullptr;
    Clock::time_point start;
    Clock::time_point lastPaintEnd;
    double ms = -1;
    bool painting = false;
};
thread_local FirstPaint* t_measurement = nullptr;

bool IsDialogOf(HWND window, HWND host)
{
    HWND root = GetAncestor(window, GA_ROOT);
    return root != nullptr && GetWindow(root, GW_OWNER) == host;
}

// Each paint of the dialog or a control posts a marker, which comes back as soon as that paint
// has been handled. A timer, which the platform delivers only when no paint is due, ends the
// measurement at the end of the last paint.
LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    FirstPaint* measurement = t_measurement;
    if (code == HC_ACTION && wParam == PM_REMOVE && measurement != nullptr && measurement->ms < 0) {
        const MSG& message = *reinterpret_cast<const MSG*>(lParam);
        if (message.message == WM_PAINT && IsDialogOf(message.hwnd, measurement->host)) {
            HWND dialog = GetAncestor(message.hwnd, GA_ROOT);
            PostMessageW(dialog, kPaintedMessage, 0, 0);
            if (!measurement->painting)
                SetTimer(dialog, kSettledTimer, USER_TIMER_MINIMUM, nullptr);
            measurement->painting = true;
        } else if (message.message == kPaintedMessage) {
            measurement->lastPaintEnd = Clock::now();
        } else if (message.message == WM_TIMER && message.wParam == kSettledTimer) {
            KillTimer(message.hwnd, kSettledTimer);
            measurement->ms =
                std::chrono::duration<double, std::milli>(measurement->lastPaintEnd - measurement->start).count();
            PostMessageW(message.hwnd, WM_COMMAND, IDCANCEL, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK CancelOwnedDialog(HWND window, LPARAM host)
{
    if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(host))
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

// A dialog that never paints (no skin beside the program, say) is ended after a while.
void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD)
{
    if (t_measurement != nullptr)
        EnumWindows(CancelOwnedDialog, reinterpret_cast<LPARAM>(t_measurement->host));
}

void Report(const char* label, const std::function<void(HWND host)>& runDialog, HWND host, int rounds)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        FirstPaint measurement;
        measurement.host = host;
        t_measurement = &measurement;
        const UINT_PTR giveUp = SetTimer(nullptr, 0, 5000, GiveUp);
        measurement.start = Clock::now();
        runDialog(host);
        KillTimer(nullptr, giveUp);
        t_measurement = nullptr;
        if (measurement.ms < 0) {
            std::printf("%-40s no paint within 5 s (is the skin beside the program?)\n", label);
            return;
        }
        times.push_back(measurement.ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-40s median %7.2f ms   min %7.2f   max %7.2f   (%d runs)\n", label, times[times.size() / 2],
                times.front(), times.back(), rounds);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
    InitCommonControlsEx(&controls);
    qelt::GdiplusSession gdiplus;
    HWND host = CreateWindowExW(0, L"STATIC", L"dialog bench host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 800,
                                600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());
    if (host == nullptr || hook == nullptr) {
        std::printf("cannot make the host window or the message hook\n");
        return 1;
    }

    Report("repeat options", [](HWND owner) {
        CDlgRepeat options;
        options.SetValue(2);
        options.Run(owner);
    }, host, rounds);

    const MACRO_DATA empty{};
    Report("macro editor, empty slot", [&](HWND owner) {
        CDlgMacro editor(empty, 0);
        editor.Run(owner);
    }, host, rounds);

    // A full macro: 467 key steps listed.
    auto full = std::make_unique<MACRO_DATA>();
    for (int i = 0; i < MACRO_MAX_STEPS; ++i) {
        full->Steps[i].Code = i % 3 == 2 ? MACRO_STEP_DELAY : uint8_t(0x04 + i % 26);
        full->Steps[i].Value = i % 3 == 2 ? 25 : (i % 3 == 0 ? 1 : 0);
    }
    full->length = MACRO_MAX_STEPS;
    full->RepeatOption = 1;
    Report("macro editor, 700-step macro", [&](HWND owner) {
        CDlgMacro editor(*full, 0);
        editor.Run(owner);
    }, host, rounds);

    UnhookWindowsHookEx(hook);
    DestroyWindow(host);
    return 0;
}
