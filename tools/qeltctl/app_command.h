#pragma once
// qeltctl app list | add PROGRAM N [--title TEXT] | remove PROGRAM [--title TEXT]: the program
// profiles, as the editor's "Program profiles" dialog keeps them.
#include <string>
#include <vector>

namespace qelt {

// `arguments` are those after "app". Returns an exit status of ControlStatus.
int RunAppCommand(const std::vector<std::wstring>& arguments, const std::wstring& dataFolder);

} // namespace qelt
