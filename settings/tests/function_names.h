#pragma once
// Function names for the main window's tests: "name0" ... "name12", so a label shows which item
// it took its caption from.
#include <string>

#include "main_window_state.h"

inline qelt::FunctionNames TestNames()
{
    qelt::FunctionNames names;
    for (int n = 0; n < qelt::FUNCTION_NAME_COUNT; ++n)
        names[size_t(n)] = L"name" + std::to_wstring(n);
    return names;
}
