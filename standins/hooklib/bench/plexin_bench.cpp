// Prints how fast key events go through Plexin.dll: a second thread injects EVENTS key events with
// SendInput, one call per event, as fast as the platform takes them, while this thread's window
// (the target, as the editor's window is) takes the WM_RECORDED_KEY messages. Injection alone,
// without the hook, is measured first for comparison. --handler-ms MS makes the window sleep MS
// milliseconds on each event, a slow target: the injection rate shows whether typing waits for it.
//   plexin_bench.exe [EVENTS] [--handler-ms MS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "handles.h"
#include "plexin.h"
#include "plexin_library.h"
#include "window_base.h"

namespace {

using plexin::WM_RECORDED_KEY;

// Nobody types it, and it is bound to nothing: the injected keys disturb no window.
constexpr WORD kBenchKey = VK_F24;
// How long the target may stay silent, after the last injection, before the rest counts as lost.
constexpr DWORD kQuietMs = 2000;

long long Now()
{
    static const long long frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart * 1000000 / frequency;  // microseconds
}

struct Injection {
    int events = 0;
    std::vector<long long> sentAt;  // per event, before its SendInput call
    long long endedAt = 0;
    int refused = 0;
};

// Presses and releases the key in turn, so no two events are alike (a target that drops repeats
// of the last event, as the editor does for a held key, keeps them all).
DWORD WINAPI InjectAll(void* parameter)
{
    auto* run = static_cast<Injection*>(parameter);
    const WORD scan = static_cast<WORD>(MapVirtualKeyW(kBenchKey, MAPVK_VK_TO_VSC));
    run->sentAt.reserve(run->events);
    for (int i = 0; i < run->events; ++i) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = kBenchKey;
        input.ki.wScan = scan;
        input.ki.dwFlags = (i % 2) ? KEYEVENTF_KEYUP : 0;
        run->sentAt.push_back(Now());
        if (SendInput(1, &input, sizeof(INPUT)) != 1)
            ++run->refused;
    }
    run->endedAt = Now();
    return 0;
}

class TargetWindow final : public qelt::WindowBase {
public:
    explicit TargetWindow(DWORD handlerMs) : m_handlerMs(handlerMs)
    {
        qelt::WindowParams params;
        params.style = 0;
        params.parent = HWND_MESSAGE;
        CreateWindowOf(qelt::WindowClassInfo{L"PlexinBenchTarget"}, params);
    }
    HWND Handle() const { return Window(); }
    const std::vector<long long>& ReceivedAt() const { return m_receivedAt; }
    void Expect(int events) { m_receivedAt.reserve(events); }

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_RECORDED_KEY)
            return DefWindowProcW(m_window, message, wParam, lParam);
        m_receivedAt.push_back(Now());
        if (m_handlerMs)
            Sleep(m_handlerMs);
        return 1;
    }

    DWORD m_handlerMs;
    std::vector<long long> m_receivedAt;
};

// Runs this thread's messages until the injecting thread has ended and then the window has either
// received `events` or heard nothing for kQuietMs.
void PumpUntilSettled(HANDLE injector, const TargetWindow& target, size_t events)
{
    size_t seen = 0;
    ULONGLONG lastChange = GetTickCount64();
    for (;;) {
        const bool injecting = WaitForSingleObject(injector, 0) == WAIT_TIMEOUT;
        if (!injecting && (target.ReceivedAt().size() >= events || GetTickCount64() - lastChange > kQuietMs))
            return;
        MsgWaitForMultipleObjects(1, &injector, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        if (target.ReceivedAt().size() != seen || injecting) {
            seen = target.ReceivedAt().size();
            lastChange = GetTickCount64();
        }
    }
}

double PerSecond(int events, long long microseconds)
{
    return microseconds > 0 ? events * 1e6 / double(microseconds) : 0.0;
}

// Injects `events` keys from a second thread while this one pumps; the window counts what arrives.
bool Run(const char* label, int events, TargetWindow& target, bool hooked)
{
    Injection run;
    run.events = events;
    target.Expect(events);
    qelt::UniqueKernelObject injector(CreateThread(nullptr, 0, InjectAll, &run, 0, nullptr));
    if (!injector) {
        std::fprintf(stderr, "plexin_bench: CreateThread failed, error %lx\n", GetLastError());
        return false;
    }
    PumpUntilSettled(injector.Get(), target, hooked ? events : 0);
    const long long injectTime = run.endedAt - run.sentAt.front();
    std::printf("%-22s injected %d in %.1f ms: %.0f events/s taken by SendInput%s\n", label, events,
                injectTime / 1000.0, PerSecond(events, injectTime),
                run.refused ? " (some refused, see below)" : "");
    if (run.refused)
        std::printf("%-22s SendInput refused %d\n", label, run.refused);
    if (!hooked)
        return true;
    const auto& received = target.ReceivedAt();
    const int delivered = static_cast<int>(received.size());
    const long long deliverTime = delivered ? received.back() - run.sentAt.front() : 0;
    std::printf("%-22s delivered %d, lost %d: %.0f events/s delivered\n", label, delivered, events - delivered,
                PerSecond(delivered, deliverTime));
    if (delivered == events) {
        std::vector<long long> latency;
        for (int i = 0; i < events; ++i)
            latency.push_back(received[i] - run.sentAt[i]);
        std::sort(latency.begin(), latency.end());
        std::printf("%-22s SendInput -> WM_RECORDED_KEY: median %lld us, p99 %lld us, max %lld us\n", label,
                    latency[latency.size() / 2], latency[latency.size() * 99 / 100], latency.back());
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int events = 2000;
    int handlerMs = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--handler-ms") == 0 && i + 1 < argc)
            handlerMs = std::max(0, std::atoi(argv[++i]));
        else
            events = std::max(2, std::atoi(argv[i]));
    }
    plexin::PlexinLibrary plexin;
    if (!plexin.Loaded()) {
        std::fprintf(stderr, "plexin_bench: %ls with installhook and removehook not found (error %lx)\n",
                     plexin::PlexinLibrary::Path().c_str(), GetLastError());
        return 1;
    }
    std::printf("%d key events, the target sleeps %d ms per event\n", events, handlerMs);
    {
        TargetWindow idle(0);
        if (!Run("without hook:", events, idle, false))
            return 1;
    }
    TargetWindow target(static_cast<DWORD>(handlerMs));
    if (!target.Handle() || !plexin.installhook(target.Handle())) {
        std::fprintf(stderr, "plexin_bench: installhook failed\n");
        return 1;
    }
    const bool ok = Run("with Plexin.dll:", events, target, true);
    plexin.removehook();
    return ok ? 0 : 1;
}
