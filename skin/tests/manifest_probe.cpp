// manifest_probe PROGRAM: runs in the activation context of PROGRAM's embedded application
// manifest and prints which Common Controls load there (the side-by-side assembly of version 6
// or not, and the major version DllGetVersion reports: Wine's version 6 reports 5.81), the
// TOOLINFOW size the tooltips are given and the tools a tooltip holds after one is added with it.
// It imports no Common Controls itself, so the context decides which ones load.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "common_controls.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fputs("usage: manifest_probe PROGRAM\n", stderr);
        return 2;
    }
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = argv[1];
    request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE context = CreateActCtxW(&request);
    ULONG_PTR cookie = 0;
    if (context == INVALID_HANDLE_VALUE || !ActivateActCtx(context, &cookie)) {
        std::printf("no manifest, error=%lx\n", GetLastError());
        return 1;
    }
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(comctl, path, MAX_PATH);
    CharLowerW(path);
    const bool sideBySide6 = wcsstr(path, L"\\winsxs\\") != nullptr &&
                             wcsstr(path, L"microsoft.windows.common-controls_") != nullptr &&
                             wcsstr(path, L"_6.0.") != nullptr;
    using InitProc = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = reinterpret_cast<InitProc>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_WIN95_CLASSES};
    if (init != nullptr)
        init(&classes);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, instance, nullptr);
    HWND tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, owner, nullptr, instance, nullptr);
    TOOLINFOW tool{};
    tool.cbSize = qelt::ToolInfoSize();
    tool.hwnd = owner;
    tool.uId = 1;
    tool.rect = {0, 0, 50, 20};
    tool.lpszText = const_cast<wchar_t*>(L"Apply");
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    std::printf("side-by-side 6.0 %d, reports %lu, toolinfo %u, tools %ld\n", sideBySide6 ? 1 : 0,
                qelt::CommonControlsMajorVersion(), tool.cbSize,
                static_cast<long>(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0)));
    DestroyWindow(tooltip);
    DestroyWindow(owner);
    if (comctl != nullptr)
        FreeLibrary(comctl);
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(context);
    return 0;
}
