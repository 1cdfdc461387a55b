#include "us_layout.h"

#include <cstdint>

namespace qelt::test {
namespace {

struct LayoutKey {
    uint8_t virtualKey;
    uint8_t scanCode;
    bool extended;
};

constexpr LayoutKey kKeys[] = {
    {0x1B, 0x01, false}, {0x70, 0x3B, false}, {0x31, 0x02, false}, {0x30, 0x0B, false},
    {0x41, 0x1E, false}, {0x42, 0x30, false}, {0x43, 0x2E, false}, {0x44, 0x20, false},
    {0x51, 0x10, false}, {0x53, 0x1F, false}, {0x56, 0x2F, false}, {0x57, 0x11, false},
    {0x58, 0x2D, false}, {0x5A, 0x2C, false}, {0xDC, 0x2B, false}, {0x0D, 0x1C, false},
    {0x20, 0x39, false}, {0x14, 0x3A, false}, {0xA0, 0x2A, false}, {0xA1, 0x36, false},
    {0xA2, 0x1D, false}, {0xA4, 0x38, false}, {0x68, 0x48, false}, {0x6E, 0x53, false},
    {0x90, 0x45, false}, {0x13, 0x45, false},
    {0xA3, 0x1D, true},  {0xA5, 0x38, true},  {0x26, 0x48, true},  {0x25, 0x4B, true},
    {0x27, 0x4D, true},  {0x28, 0x50, true},  {0x2E, 0x53, true},  {0x5B, 0x5B, true},
    {0x5C, 0x5C, true},  {0x5D, 0x5D, true},  {0x6F, 0x35, true},
};

} // namespace

unsigned UsEnglishTestLayout::MapKey(unsigned code, unsigned mapType) const
{
    switch (mapType) {
    case 0:  // virtual key -> scan code (extended keys lose their prefix)
        for (const LayoutKey& key : kKeys)
            if (key.virtualKey == code)
                return key.scanCode;
        return 0;
    case 1:
    case 3: {
        const bool wantExtended = mapType == 3 && (code & 0xFF00) == 0xE000;
        for (const LayoutKey& key : kKeys)
            if (key.scanCode == (code & 0xFF) && key.extended == wantExtended)
                return key.virtualKey;
        return 0;
    }
    default:
        return 0;
    }
}

} // namespace qelt::test
