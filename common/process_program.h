#pragma once
// The program a process runs, as the front-window rules and the program lists name it.
#include <windows.h>

#include <string>

namespace qelt {

// The full path of the executable process processId runs; empty when the process cannot be
// asked (a protected or elevated one, or one that has ended).
std::wstring ProgramOfProcess(DWORD processId);

} // namespace qelt
