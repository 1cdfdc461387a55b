#include "process_program.h"

#include "handles.h"

namespace qelt {

std::wstring ProgramOfProcess(DWORD processId)
{
    UniqueKernelObject process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process)
        return L"";
    std::wstring path(32768, L'\0');  // the longest path the platform gives
    DWORD length = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process.Get(), 0, path.data(), &length))
        return L"";
    path.resize(length);
    return path;
}

} // namespace qelt
