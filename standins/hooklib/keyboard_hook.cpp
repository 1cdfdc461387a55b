#include "keyboard_hook.h"

#include "diag.h"
#include "plexin.h"

#include <atomic>

namespace plexin {
namespace {

// A low-level hook procedure gets no context: the window it reports to, and the hook itself (for
// the library's unload), are process-wide like the hook.
std::atomic<HWND> g_target{nullptr};
std::atomic<HHOOK> g_hook{nullptr};
// Touched by the hook thread only: one diagnostic per run of failed posts, not one per key.
bool g_postFailing = false;

// How long Remove waits for the hook thread to end; it only ever posts, so it ends at once unless
// the caller holds the loader lock.
constexpr DWORD kThreadEndTimeoutMs = 5000;

struct ThreadStart {
    HMODULE library;  // the thread's own reference to this library, released as it exits
    HANDLE ready;     // set once the hook is in place or has failed; `start` is gone after that
    bool hooked;
};

void Forward(const KBDLLHOOKSTRUCT& key)
{
    HWND target = g_target.load();
    if (!target)
        return;
    if (PostMessageW(target, WM_RECORDED_KEY, RecordedKeyWord(key.vkCode, key.scanCode),
                     static_cast<LPARAM>(key.flags))) {
        g_postFailing = false;
        return;
    }
    const DWORD error = GetLastError();
    if (!IsWindow(target)) {
        // Nobody takes the events any more: stop hooking the keyboard for a window that is gone.
        // (Unless installhook has meanwhile pointed the hook elsewhere.)
        if (g_target.compare_exchange_strong(target, nullptr)) {
            qelt::Diag(L"Plexin: target window %p is gone, keyboard hook removed\n", static_cast<void*>(target));
            PostQuitMessage(0);
        }
        return;
    }
    // Typically a full queue (a target that has stopped taking messages): these events are lost.
    if (!g_postFailing)
        qelt::DiagError(L"PostMessageW (WM_RECORDED_KEY)", error);
    g_postFailing = true;
}

LRESULT CALLBACK HookProcedure(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION)
        Forward(*reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam));
    // Never swallow a key: the user's typing goes on to the other hooks and the focused window.
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Events posted to a target on this thread before the hook went away, not yet taken. Another
// thread's queue cannot be emptied from here; such a target may still see them.
void DropPostedEvents(HWND target)
{
    if (!target || GetWindowThreadProcessId(target, nullptr) != GetCurrentThreadId())
        return;
    MSG message;
    while (PeekMessageW(&message, target, WM_RECORDED_KEY, WM_RECORDED_KEY, PM_REMOVE | PM_QS_POSTMESSAGE)) {
    }
}

} // namespace

bool KeyboardHook::Install(HWND target)
{
    if (!IsWindow(target)) {
        qelt::Diag(L"Plexin: installhook: %p is not a window\n", static_cast<void*>(target));
        return false;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    const HWND previous = g_target.exchange(target);
    if (m_thread && previous && WaitForSingleObject(m_thread.Get(), 0) == WAIT_TIMEOUT)
        return true;  // already hooked: only the target changes
    // No hook thread, or one that has ended or is ending by itself (its target went away).
    EndThread();
    if (StartThread())
        return true;
    g_target.store(nullptr);
    return false;
}

bool KeyboardHook::Remove()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_thread)
        return false;
    const HWND previous = g_target.exchange(nullptr);
    EndThread();
    // The thread has ended: everything it posted is in the queue now.
    DropPostedEvents(previous);
    return true;
}

void KeyboardHook::Detach()
{
    // Normally nothing is left: the hook thread holds a reference to the library, so it cannot be
    // unloaded under a running hook. When the process ends without removehook, the system has
    // already stopped the hook thread; take its hook down with the library all the same.
    g_target.store(nullptr);
    if (HHOOK hook = g_hook.exchange(nullptr))
        UnhookWindowsHookEx(hook);
}

bool KeyboardHook::StartThread()
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&HookProcedure),
                            &self)) {
        qelt::DiagLastError(L"GetModuleHandleExW");
        return false;
    }
    qelt::UniqueModule library(self);
    qelt::UniqueKernelObject ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ready) {
        qelt::DiagLastError(L"CreateEventW");
        return false;
    }
    ThreadStart start{library.Get(), ready.Get(), false};
    DWORD threadId = 0;
    qelt::UniqueKernelObject thread(CreateThread(nullptr, 0, ThreadMain, &start, 0, &threadId));
    if (!thread) {
        qelt::DiagLastError(L"CreateThread");
        return false;
    }
    library.Release();  // the thread's now
    // `start` lives on this stack: wait until the thread is done with it.
    const HANDLE waits[] = {ready.Get(), thread.Get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 || !start.hooked) {
        WaitForSingleObject(thread.Get(), kThreadEndTimeoutMs);
        return false;
    }
    m_thread = std::move(thread);
    m_threadId = threadId;
    return true;
}

void KeyboardHook::EndThread()
{
    if (!m_thread)
        return;
    // Fails harmlessly when the thread has already left its loop.
    PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    if (WaitForSingleObject(m_thread.Get(), kThreadEndTimeoutMs) != WAIT_OBJECT_0)
        qelt::Diag(L"Plexin: the hook thread did not end within %lu ms\n", kThreadEndTimeoutMs);
    m_thread.Reset();
    m_threadId = 0;
}

DWORD WINAPI KeyboardHook::ThreadMain(void* parameter)
{
    auto* start = static_cast<ThreadStart*>(parameter);
    const HMODULE library = start->library;
    MSG message;
    // Make the message queue now, so that WM_QUIT can be posted as soon as Install returns.
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, HookProcedure, library, 0);
    if (!hook)
        qelt::DiagLastError(L"SetWindowsHookExW (WH_KEYBOARD_LL)");
    g_hook.store(hook);
    start->hooked = hook != nullptr;
    SetEvent(start->ready);
    if (hook) {
        // The system calls the hook from inside this loop.
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        HHOOK own = hook;
        g_hook.compare_exchange_strong(own, nullptr);  // unless a later hook thread has taken the slot
        if (!UnhookWindowsHookEx(hook))
            qelt::DiagLastError(L"UnhookWindowsHookEx");
        // Keys that came while the loop was ending wait here as hook calls; a call left unanswered
        // would not reach the hooks after this one. No new ones come once unhooked: answer these.
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    FreeLibraryAndExitThread(library, 0);
    return 0;
}

} // namespace plexin
