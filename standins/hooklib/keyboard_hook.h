#pragma once
// The low-level keyboard hook behind installhook/removehook. It runs on a thread of its own that
// does nothing but post each key event to the target window and pass the event on.
//
// Why not the caller's thread: the system calls a low-level hook on the thread that set it and
// holds every key until the hook returns. The caller is the macro editor's UI thread, which is
// also the target; a slow handler or a modal loop there would stall all typing and, past the
// system's time limit, lose events or get the hook dropped. Why post, not send: a sent message
// would run the editor's handler (with its list updates, its modal warning and its own call of
// removehook) inside the hook; the handler's result is not needed.
#include "handles.h"

#include <windows.h>

#include <mutex>

namespace plexin {

class KeyboardHook {
public:
    // Points the hook at target, starting the hook thread when none runs (one hook, whatever the
    // number of calls). False, with a diagnostic: target is not a window or the hook could not be
    // set; the previous state stays.
    bool Install(HWND target);
    // Unhooks and ends the hook thread, then drops the events it posted that a target of the
    // calling thread has not taken yet: no event arrives after this. False when nothing was
    // installed.
    bool Remove();
    // The library is leaving the process.
    void Detach();

private:
    static DWORD WINAPI ThreadMain(void* parameter);
    bool StartThread();
    void EndThread();

    std::mutex m_lock;  // Install and Remove may come from any thread
    qelt::UniqueKernelObject m_thread;
    DWORD m_threadId = 0;
};

} // namespace plexin
