#include "run_program.h"

#include <thread>

#include "handles.h"

namespace qelt::testing {
namespace {

std::string ReadAll(HANDLE pipe)
{
    std::string text;
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(pipe, chunk, sizeof(chunk), &count, nullptr) && count)
        text.append(chunk, count);
    return text;
}

std::string WithoutCarriageReturns(std::string text)
{
    std::string clean;
    clean.reserve(text.size());
    for (char c : text)
        if (c != '\r')
            clean += c;
    return clean;
}

} // namespace

std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring ProgramOutputFolder()
{
    return TestProgramFolder() + L"..\\out\\";
}

std::wstring DevToolsFolder()
{
    return TestProgramFolder() + L"..\\devtools\\";
}

RunResult RunProgram(const std::wstring& program, const std::wstring& arguments)
{
    RunResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0))
        return result;
    UniqueKernelObject outReader(outRead), outWriter(outWrite);
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0))
        return result;
    UniqueKernelObject errReader(errRead), errWriter(errWrite);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    std::wstring command = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        result.err = "CreateProcessW failed, error " + std::to_string(GetLastError());
        return result;
    }
    UniqueKernelObject processHandle(process.hProcess), threadHandle(process.hThread);
    outWriter.Reset();
    errWriter.Reset();
    // Both streams are drained at once, so a program that fills one pipe cannot stall on it.
    std::string err;
    std::thread errorReader([&] { err = ReadAll(errRead); });
    result.out = WithoutCarriageReturns(ReadAll(outRead));
    errorReader.join();
    result.err = WithoutCarriageReturns(std::move(err));
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &result.exitCode);
    return result;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

} // namespace qelt::testing
