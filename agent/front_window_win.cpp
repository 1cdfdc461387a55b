#include "front_window_win.h"

#include <string>

#include "diag.h"
#include "handles.h"

namespace qelt {

namespace {

std::wstring ProgramOfProcess(DWORD processId)
{
    UniqueKernelObject process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process)
        return L"";  // a protected or elevated process: no rule can name it then
    std::wstring path(32768, L'\0');
    DWORD length = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process.Get(), 0, path.data(), &length))
        return L"";
    path.resize(length);
    return path;
}

bool IsFrameHost(const std::wstring& program)
{
    const size_t slash = program.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? program : program.substr(slash + 1);
    return CompareStringOrdinal(name.c_str(), -1, L"ApplicationFrameHost.exe", -1, TRUE) == CSTR_EQUAL;
}

struct ContentSearch {
    DWORD hostProcess;
    DWORD contentProcess;
};

// A UWP app's frame belongs to the frame host; its content is a child window of the app's own
// process.
BOOL CALLBACK FindContentChild(HWND child, LPARAM parameter)
{
    auto* search = reinterpret_cast<ContentSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(child, &processId);
    if (processId != 0 && processId != search->hostProcess) {
        search->contentProcess = processId;
        return FALSE;
    }
    return TRUE;
}

} // namespace

FrontWindow DescribeWindow(HWND window)
{
    FrontWindow front;
    if (window == nullptr)
        return front;
    wchar_t title[512] = L"";
    GetWindowTextW(window, title, 512);  // another process's window: no message is sent
    front.title = title;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    front.program = ProgramOfProcess(processId);
    if (IsFrameHost(front.program)) {
        ContentSearch search{processId, 0};
        EnumChildWindows(window, FindContentChild, reinterpret_cast<LPARAM>(&search));
        if (search.contentProcess != 0)
            front.program = ProgramOfProcess(search.contentProcess);
    }
    return front;
}

FrontWindow QueryFrontWindow()
{
    return DescribeWindow(GetForegroundWindow());
}

} // namespace qelt
