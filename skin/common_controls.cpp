#include "common_controls.h"
#include <commctrl.h>
#include <shlwapi.h>

namespace qelt {

DWORD CommonControlsMajorVersion()
{
    // The module the activation context picks: with a version 6 manifest, the side-by-side one.
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    if (comctl == nullptr)
        return 0;
    DWORD major = 0;
    auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")));
    DLLVERSIONINFO info{};
    info.cbSize = sizeof(info);
    if (getVersion != nullptr && SUCCEEDED(getVersion(&info)))
        major = info.dwMajorVersion;
    FreeLibrary(comctl);
    return major;
}

UINT ToolInfoSize()
{
    return CommonControlsMajorVersion() >= 6 ? sizeof(TOOLINFOW) : TTTOOLINFOW_V2_SIZE;
}

} // namespace qelt
