#pragma once
// The US-English keyboard layout as data: the device tables name physical keys by their US-English
// key codes, whatever layouts the user's Windows has installed. Asking the platform for layout
// 0x409 falls back to the user's own layout when US-English is not installed, which would program
// the wrong physical keys on, say, a German-only system.
#include "keycodes.h"

namespace qelt {

// Answers MapKey the way the platform's US-English layout does for every key of the keyboard
// pictures: 0 virtual key -> scan code, 1 scan code -> virtual key, 3 the same with the 0xE000
// prefix telling the extended keys apart.
class UsEnglishLayoutTable final : public KeyboardLayout {
public:
    unsigned MapKey(unsigned code, unsigned mapType) const override;
};

// The one instance the encoder's users share.
const KeyboardLayout& BuiltInUsEnglishLayout();

} // namespace qelt
