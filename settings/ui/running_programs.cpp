#include "running_programs.h"

#include <windows.h>

#include "process_program.h"

namespace qelt {

namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter)
{
    auto* windows = reinterpret_cast<std::vector<RunningProgram>*>(parameter);
    if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER) != nullptr)
        return TRUE;  // hidden windows and owned ones (dialogs, tool windows) are no program's face
    wchar_t title[256] = L"";
    if (GetWindowTextW(window, title, 256) == 0)
        return TRUE;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId())
        return TRUE;
    windows->push_back({ProgramOfProcess(processId), title});
    return TRUE;
}

} // namespace

std::vector<RunningProgram> WindowsOfOtherPrograms()
{
    std::vector<RunningProgram> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

} // namespace qelt
