#pragma once
// The test tool's commands. Each takes the arguments after its command word and returns the
// process exit code (kExitOk, kExitFailed, kExitUsage).
#include <string>
#include <vector>

namespace qelt::testtool {

using Args = std::vector<std::wstring>;

int FindCommand(const Args& args);
int WaitCommand(const Args& args);
int WaitGoneCommand(const Args& args);
int RectCommand(const Args& args);
int ListCommand(const Args& args);
int ChildrenCommand(const Args& args);
int TextCommand(const Args& args);
int TrayCommand(const Args& args);
int PostCommand(const Args& args);
int SendCommand(const Args& args);
int CopyDataCommand(const Args& args);
int KeyCommand(const Args& args);
int TerminateCommand(const Args& args);
int NowCommand(const Args& args);
int WindowCommand(const Args& args);
int HookProbeCommand(const Args& args);

} // namespace qelt::testtool
