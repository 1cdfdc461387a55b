#pragma once
// A small US-English layout for the tests: virtual key <-> scan code for the keys the tests use,
// answering MapKey the way Windows does for layout 0x409.
#include "keycodes.h"

namespace qelt::test {

class UsEnglishTestLayout final : public KeyboardLayout {
public:
    unsigned MapKey(unsigned code, unsigned mapType) const override;
};

} // namespace qelt::test
