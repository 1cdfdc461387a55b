#pragma once
// Key codes are USB HID keyboard usages (page 7). Windows names keys by virtual key and scan code;
// the fixed key code table ties the three together, and a keyboard layout decides which physical
// key a virtual key is on.
#include <cstdint>
#include <span>

namespace qelt {

// What the conversions ask of a keyboard layout: MapVirtualKeyExW with map types
// 0 (virtual key -> scan code), 1 (scan code -> virtual key) and 3 (scan code -> virtual key,
// extended keys told apart by the 0xE000 prefix). Tests supply layout data; production asks Windows.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    virtual unsigned MapKey(unsigned code, unsigned mapType) const = 0;
};

struct KeyCodeRow {
    uint8_t keyCode;
    uint8_t virtualKey;
    uint8_t scanCode;
    uint8_t prefix;  // 0 or 0xE0
};

// The fixed table, in its search order (151 rows).
std::span<const KeyCodeRow> KeyCodeTable();
// First row with the given key code, or nullptr.
const KeyCodeRow* FindKeyCodeRow(uint8_t keyCode);

// Key code (HID usage) of a virtual key on the given layout; 0 when the key is not in the table.
uint8_t KeyCodeFromVk(unsigned virtualKey, const KeyboardLayout& layout);
// Virtual key of a key code on the given layout; 0 when the code is not in the table.
unsigned VkFromKeyCode(uint8_t keyCode, const KeyboardLayout& layout);

} // namespace qelt
