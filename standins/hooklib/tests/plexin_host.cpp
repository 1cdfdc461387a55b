// For the scenario: loads Plexin.dll from the program folder, points its hook at the window with
// the title given (another process's), prints "hooked", and removes the hook once that window's
// program has ended (at most two minutes later).
//   plexin_host.exe TITLE
#include <windows.h>

#include <cstdio>

#include "handles.h"
#include "plexin_library.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: plexin_host TITLE\n");
        return 2;
    }
    plexin::PlexinLibrary plexin;
    const HWND target = FindWindowW(nullptr, argv[1]);
    if (!plexin.Loaded() || !target || !plexin.installhook(target)) {
        std::fprintf(stderr, "plexin_host: no Plexin.dll, no window \"%ls\", or installhook failed\n", argv[1]);
        return 1;
    }
    std::printf("hooked\n");
    std::fflush(stdout);
    // The hook runs on the library's own thread: this one only waits for the window's program.
    DWORD processId = 0;
    GetWindowThreadProcessId(target, &processId);
    qelt::UniqueKernelObject process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (process)
        WaitForSingleObject(process.Get(), 120000);
    plexin.removehook();
    return 0;
}
