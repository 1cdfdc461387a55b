#pragma once
// The programs that have a visible top-level window now, for the "Program profiles" dialog.
#include "program_profiles_edit.h"

#include <vector>

namespace qelt {

// One entry per visible, titled top-level window of another process, in the platform's window
// order (front first); a program that cannot be asked has an empty path.
std::vector<RunningProgram> WindowsOfOtherPrograms();

} // namespace qelt
