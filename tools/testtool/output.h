#pragma once
// Where the test tool's results go: stdout lines for the calling script, stderr for errors,
// and append-only log files that a scenario polls while the tool keeps running.
#include <windows.h>

#include <string>

#include "handles.h"

namespace qelt::testtool {

// Exit codes of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // not found, timed out, a platform call failed
constexpr int kExitUsage = 2;

// printf-style (wide format, %ls for strings); written as UTF-8 with "\n" line ends.
void PrintLine(const wchar_t* format, ...);
void PrintError(const wchar_t* format, ...);

// Microseconds of the high-resolution counter; comparable between processes on one machine,
// so a benchmark can subtract a time printed by one command from a time logged by another.
long long NowMicroseconds();

// Appends whole lines to a file, each written by one call so a reader never sees half a line
// from this writer. Opened with sharing so scripts can read and truncate it meanwhile.
class LogFile {
public:
    bool Open(const std::wstring& path);
    bool IsOpen() const { return m_file.Valid(); }
    void Line(const wchar_t* format, ...);

private:
    UniqueHandle m_file;
};

// "0x" and lowercase hex of a handle or pointer-sized value.
std::wstring HexValue(unsigned long long value);

} // namespace qelt::testtool
