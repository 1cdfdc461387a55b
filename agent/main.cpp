// QELT_Core: the background agent. One instance per session, a hidden window, a tray icon.
#include "agent_protocol.h"
#include "handles.h"
#include "hid_window.h"
#include "window_base.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // CHIDApp::hSingleInstanceMutex: held for the whole run, released by the process ending.
    qelt::UniqueKernelObject hSingleInstanceMutex(CreateMutexW(nullptr, FALSE, qelt::kAgentMutexName));
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;

    auto dialog = qelt::CHIDDlg::Create(instance);
    if (!dialog)
        return 1;
    qelt::RunMessageLoop();
    return 0;
}
