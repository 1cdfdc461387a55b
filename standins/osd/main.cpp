// QELT_OSD: the on-screen display the agent starts and feeds with OSD_MESSAGE records.
#include "agent_protocol.h"
#include "osd_window.h"
#include "window_base.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // One display: a second start (the agent retries when the window is slow to appear) ends here.
    if (FindWindowW(nullptr, qelt::kOsdWindowTitle))
        return 0;
    qelt::COsdWindow display;
    if (!display.Create(instance))
        return 1;
    qelt::RunMessageLoop();
    return 0;
}
