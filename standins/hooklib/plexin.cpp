// Plexin.dll: the keyboard hook library the macro editor loads to record key presses and releases.
#include "keyboard_hook.h"

#include <windows.h>

namespace {

plexin::KeyboardHook g_keyboardHook;  // one hook per process, whoever calls

} // namespace

// Exported under these plain names (plexin.def), as the editor's GetProcAddress asks for them.
extern "C" BOOL WINAPI installhook(HWND target)
{
    return g_keyboardHook.Install(target) ? TRUE : FALSE;
}

extern "C" BOOL WINAPI removehook()
{
    return g_keyboardHook.Remove() ? TRUE : FALSE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    else if (reason == DLL_PROCESS_DETACH)
        g_keyboardHook.Detach();
    return TRUE;
}
