#pragma once
// The window in front and the program that owns it, for the program profiles.
#include <windows.h>

#include "app_follower.h"

namespace qelt {

// The foreground window's title and its program's full path. For a window of the UWP frame host
// ("ApplicationFrameHost.exe") the program is that of its content window, the app itself.
// Empty when there is no foreground window or its program cannot be asked.
FrontWindow QueryFrontWindow();

// The same for a given window (the foreground window, or one a test names).
FrontWindow DescribeWindow(HWND window);

} // namespace qelt
