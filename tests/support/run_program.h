#pragma once
// For tests that run one of the suite's console programs and read what it printed.
#include <windows.h>

#include <string>
#include <vector>

namespace qelt::testing {

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;  // stays so when the program could not be started or did not end
    std::string out;
    std::string err;
};

// The folder of the running test program, ending in a backslash.
std::wstring TestProgramFolder();
// The folder the build puts the programs in (beside the tests folder), ending in a backslash.
std::wstring ProgramOutputFolder();
// The developer tools' folder (the simulated keyboard's tool, the test tool), ending in a backslash.
std::wstring DevToolsFolder();

// Runs PROGRAM ARGUMENTS (program quoted for the caller), waits up to 30 s and collects both
// output streams; carriage returns are dropped.
RunResult RunProgram(const std::wstring& program, const std::wstring& arguments);

// Lines of a program's output, without their line ends.
std::vector<std::string> SplitLines(const std::string& text);

} // namespace qelt::testing
