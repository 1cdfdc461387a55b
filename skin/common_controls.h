#pragma once
// Which Common Controls the process runs with. A program without a Common Controls 6 manifest
// gets version 5.82 on Windows, whose tooltips refuse a TOOLINFOW larger than
// TTTOOLINFOW_V2_SIZE; version 6 takes the full structure.
#include <windows.h>

namespace qelt {

// Major version of the comctl32 this thread's activation context resolves to (5 or 6), 0 when
// it cannot be told.
DWORD CommonControlsMajorVersion();

// The TOOLINFOW size that the loaded Common Controls accept.
UINT ToolInfoSize();

} // namespace qelt
