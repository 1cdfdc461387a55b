#pragma once
// A small US-English layout for the tests: virtual key <-> scan code for the keys the tests use,
// answering MapVirtualKey the way Windows does for layout 0x409.
#ifdef _WIN32
#include <windows.h>  // renames MapVirtualKey; the override must be named as the base class sees it
#endif
#include "keycodes.h"

namespace qelt::test {

class UsEnglishTestLayout final : public KeyboardLayout {
public:
    unsigned MapVirtualKey(unsigned code, unsigned mapType) const override;
};

} // namespace qelt::test
