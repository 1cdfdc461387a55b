// For the scenario: loads Plexin.dll from the program folder, points its hook at the window with
// the title given (another process's), prints "hooked", and removes the hook once that window's
// program has ended (at most two minutes later).
//   plexin_host.exe TITLE
#include <windows.h>

#include <cstdio>

#include "handles.h"
#include "plexin.h"
#include "run_program.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: plexin_host TITLE\n");
        return 2;
    }
    qelt::UniqueModule library(LoadLibraryW((qelt::testing::ProgramOutputFolder() + L"Plexin.dll").c_str()));
    auto installhook = library ? reinterpret_cast<plexin::InstallHookFunction>(reinterpret_cast<void*>(
                                     GetProcAddress(library.Get(), "installhook")))
                               : nullptr;
    auto removehook = library ? reinterpret_cast<plexin::RemoveHookFunction>(reinterpret_cast<void*>(
                                    GetProcAddress(library.Get(), "removehook")))
                              : nullptr;
    const HWND target = FindWindowW(nullptr, argv[1]);
    if (!installhook || !removehook || !target || !installhook(target)) {
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
    removehook();
    return 0;
}
