#pragma once
// Keyboard layout data for tests, in the form MapVirtualKeyExW answers on Windows, so the key
// code conversions can be checked for several layouts without the platform.
#include <initializer_list>
#include <map>
#include <utility>

#include "keycodes.h"

namespace qelt::testing {

class LayoutData final : public KeyboardLayout {
public:
    unsigned MapKey(unsigned code, unsigned mapType) const override
    {
        switch (mapType) {
        case 0: return Find(m_vkToScan, code);
        case 1: {
            // Map type 1 does not tell left and right modifiers apart.
            unsigned generic = Find(m_genericScanToVk, code & 0xFF);
            return generic ? generic : Find(m_scanToVk, code & 0xFF);
        }
        case 3: return (code & 0xFF00) == 0xE000 ? Find(m_extendedScanToVk, code & 0xFF)
                                                 : Find(m_scanToVk, code & 0xFF);
        default: return 0;
        }
    }

    // A key on a plain scan code: both directions.
    LayoutData& Key(unsigned vk, unsigned scan)
    {
        m_vkToScan[vk] = scan;
        m_scanToVk[scan] = vk;
        return *this;
    }
    // A key behind the 0xE0 prefix: both directions.
    LayoutData& ExtendedKey(unsigned vk, unsigned scan)
    {
        m_vkToScan[vk] = scan;
        m_extendedScanToVk[scan] = vk;
        return *this;
    }
    // One direction only, for the places where a layout is not symmetric.
    LayoutData& VkToScan(unsigned vk, unsigned scan) { m_vkToScan[vk] = scan; return *this; }
    LayoutData& ScanToVk(unsigned scan, unsigned vk) { m_scanToVk[scan] = vk; return *this; }
    LayoutData& ExtendedScanToVk(unsigned scan, unsigned vk) { m_extendedScanToVk[scan] = vk; return *this; }
    LayoutData& Remove(unsigned vk) { m_vkToScan.erase(vk); return *this; }

private:
    static unsigned Find(const std::map<unsigned, unsigned>& map, unsigned key)
    {
        auto it = map.find(key);
        return it == map.end() ? 0 : it->second;
    }
    std::map<unsigned, unsigned> m_vkToScan;
    std::map<unsigned, unsigned> m_scanToVk;
    std::map<unsigned, unsigned> m_extendedScanToVk;
    std::map<unsigned, unsigned> m_genericScanToVk;

public:
    LayoutData& GenericScanToVk(unsigned scan, unsigned vk) { m_genericScanToVk[scan] = vk; return *this; }
};

// US English as Windows maps it. Written out key by key (not taken from the key code table), with
// the platform's own quirks: 0xE01C maps back to VK_RETURN (keypad Enter has no virtual key of its
// own), Num Lock and Pause both map to scan 0x45 and 0xE045 maps to VK_NUMLOCK, and the keypad's
// plain scan codes map to the navigation keys (as with Num Lock off).
inline LayoutData UsLayout()
{
    LayoutData us;
    const std::pair<unsigned, unsigned> plain[] = {
        {'Q', 0x10}, {'W', 0x11}, {'E', 0x12}, {'R', 0x13}, {'T', 0x14}, {'Y', 0x15}, {'U', 0x16},
        {'I', 0x17}, {'O', 0x18}, {'P', 0x19}, {'A', 0x1E}, {'S', 0x1F}, {'D', 0x20}, {'F', 0x21},
        {'G', 0x22}, {'H', 0x23}, {'J', 0x24}, {'K', 0x25}, {'L', 0x26}, {'Z', 0x2C}, {'X', 0x2D},
        {'C', 0x2E}, {'V', 0x2F}, {'B', 0x30}, {'N', 0x31}, {'M', 0x32},
        {'1', 0x02}, {'2', 0x03}, {'3', 0x04}, {'4', 0x05}, {'5', 0x06}, {'6', 0x07}, {'7', 0x08},
        {'8', 0x09}, {'9', 0x0A}, {'0', 0x0B},
        {0x1B, 0x01}, {0xBD, 0x0C}, {0xBB, 0x0D}, {0x08, 0x0E}, {0x09, 0x0F}, {0xDB, 0x1A},
        {0xDD, 0x1B}, {0x0D, 0x1C}, {0xA2, 0x1D}, {0xBA, 0x27}, {0xDE, 0x28}, {0xC0, 0x29},
        {0xA0, 0x2A}, {0xDC, 0x2B}, {0xBC, 0x33}, {0xBE, 0x34}, {0xBF, 0x35}, {0xA1, 0x36},
        {0x6A, 0x37}, {0xA4, 0x38}, {0x20, 0x39}, {0x14, 0x3A},
        {0x70, 0x3B}, {0x71, 0x3C}, {0x72, 0x3D}, {0x73, 0x3E}, {0x74, 0x3F}, {0x75, 0x40},
        {0x76, 0x41}, {0x77, 0x42}, {0x78, 0x43}, {0x79, 0x44}, {0x7A, 0x57}, {0x7B, 0x58},
        {0x7C, 0x64}, {0x7D, 0x65}, {0x7E, 0x66}, {0x7F, 0x67}, {0x80, 0x68}, {0x81, 0x69},
        {0x82, 0x6A}, {0x83, 0x6B}, {0x84, 0x6C}, {0x85, 0x6D}, {0x86, 0x6E}, {0x87, 0x76},
        {0x90, 0x45}, {0x91, 0x46}, {0x6D, 0x4A}, {0x6B, 0x4E}, {0x2C, 0x54}, {0xE2, 0x56},
        // keypad: the navigation keys on the plain scan codes, the digits one way only
        {0x24, 0x47}, {0x26, 0x48}, {0x21, 0x49}, {0x25, 0x4B}, {0x0C, 0x4C}, {0x27, 0x4D},
        {0x23, 0x4F}, {0x28, 0x50}, {0x22, 0x51}, {0x2D, 0x52}, {0x2E, 0x53},
    };
    for (auto [vk, scan] : plain)
        us.Key(vk, scan);
    const std::pair<unsigned, unsigned> keypadDigits[] = {
        {0x67, 0x47}, {0x68, 0x48}, {0x69, 0x49}, {0x64, 0x4B}, {0x65, 0x4C}, {0x66, 0x4D},
        {0x61, 0x4F}, {0x62, 0x50}, {0x63, 0x51}, {0x60, 0x52}, {0x6E, 0x53},
    };
    for (auto [vk, scan] : keypadDigits)
        us.VkToScan(vk, scan);
    us.VkToScan(0x13, 0x45);  // Pause shares Num Lock's scan code
    // The generic modifiers are on the left keys; scan codes give them back without a side.
    us.VkToScan(0x10, 0x2A).VkToScan(0x11, 0x1D).VkToScan(0x12, 0x38)
      .GenericScanToVk(0x2A, 0x10).GenericScanToVk(0x36, 0x10).GenericScanToVk(0x1D, 0x11)
      .GenericScanToVk(0x38, 0x12);
    // Extended keys. Navigation keys answer their plain scan code for map type 0.
    us.ExtendedKey(0xA3, 0x1D).ExtendedKey(0xA5, 0x38).ExtendedKey(0x6F, 0x35)
      .ExtendedKey(0x5B, 0x5B).ExtendedKey(0x5C, 0x5C).ExtendedKey(0x5D, 0x5D)
      .ExtendedScanToVk(0x1C, 0x0D)   // keypad Enter reports VK_RETURN
      .ExtendedScanToVk(0x45, 0x90);  // Num Lock carries the extended flag
    const std::pair<unsigned, unsigned> navigation[] = {
        {0x24, 0x47}, {0x26, 0x48}, {0x21, 0x49}, {0x25, 0x4B}, {0x27, 0x4D},
        {0x23, 0x4F}, {0x28, 0x50}, {0x22, 0x51}, {0x2D, 0x52}, {0x2E, 0x53},
    };
    for (auto [vk, scan] : navigation)
        us.ExtendedScanToVk(scan, vk);
    return us;
}

// German (QWERTZ): Y and Z swapped, the punctuation keys on other virtual keys.
inline LayoutData GermanLayout()
{
    LayoutData de = UsLayout();
    de.Key('Z', 0x15).Key('Y', 0x2C)
      .Key(0xDB, 0x0C).Key(0xDD, 0x0D).Key(0xBA, 0x1A).Key(0xBB, 0x1B).Key(0xC0, 0x27)
      .Key(0xDE, 0x28).Key(0xDC, 0x29).Key(0xBF, 0x2B).Key(0xBD, 0x35);
    return de;
}

// French (AZERTY): A/Q and Z/W swapped, M beside L.
inline LayoutData FrenchLayout()
{
    LayoutData fr = UsLayout();
    fr.Key('A', 0x10).Key('Q', 0x1E).Key('Z', 0x11).Key('W', 0x2C).Key('M', 0x27)
      .Key(0xBC, 0x32).Key(0xDD, 0x1A).Key(0xBA, 0x1B).Key(0xC0, 0x28).Key(0xDE, 0x29)
      .Key(0xDC, 0x2B).Key(0xBE, 0x33).Key(0xBF, 0x34).Key(0xDF, 0x35).Key(0xDB, 0x0C);
    return fr;
}

} // namespace qelt::testing
