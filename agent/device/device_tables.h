#pragma once
// The device tables the keyboard's filter driver takes for one profile: a key-mapping table (which
// keys are programmable, with which parameter), an index table (where each key's data lies) and a
// macro data block (the data). The encoder turns the ten slots of a profile into ten device
// entries and serialises them byte for byte. No input or output here; the link sends the buffers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "keycodes.h"
#include "profile_records.h"

namespace qelt {

constexpr uint8_t ENTRY_NONE = 0x00;
constexpr uint8_t ENTRY_LAUNCH_APP = 0x11;
constexpr uint8_t ENTRY_MACRO = 0x20;

constexpr size_t DEVICE_ENTRY_DATA_SIZE = 8193;
constexpr size_t MACRO_BLOCK_CAPACITY = 8192;
constexpr size_t KEYMAP_TABLE_SIZE = 21;
constexpr size_t INDEX_TABLE_SIZE = 55;
constexpr int KEYNUM_103 = 103;
constexpr size_t KEYPOS_103_COUNT = 114;
constexpr size_t KEYPOS_OTHER_COUNT = 120;

// Windows virtual key of the physical key at each MappingKey index, for the 103-key layout and
// for every other one.
extern const uint8_t KEYPOS_103[KEYPOS_103_COUNT];
extern const uint8_t KEYPOS_OTHER[KEYPOS_OTHER_COUNT];

struct DEVICE_ENTRY {
    uint8_t bEntryType;
    uint8_t bKeyCode;
    uint8_t bKeyParam;
    uint8_t Data[DEVICE_ENTRY_DATA_SIZE];
    uint16_t wDataLength;
};

using DeviceTableRow = DEVICE_ENTRY[BUTTON_COUNT];

// Entry types that carry data in the index table and the macro data block (the driver knows more
// of them than the encoder produces).
bool IsDataEntryType(uint8_t entryType);

// The steps of a macro that are encoded: its length when that is 700 or less; otherwise (a missing
// or damaged length) the steps before the first one whose code is 0, at most 700.
int MacroStepsToSend(const MACRO_DATA& macro);

// Device key code (HID usage) of a key position; 0 for UNASSIGNED or an index beyond the table.
// usEnglish must be the US-English layout (0x409), whatever layout the user has.
uint8_t DeviceKeyCode(int keyNum, uint8_t mappingKey, const KeyboardLayout& usEnglish);

// Owns device_table and the working list. device_table is about half a megabyte: keep the encoder
// in static storage or on the heap, not on a thread's stack. Reads the profile records it was given (the agent's
// profile_config); rows and profiles are indexed 0 to PROFILE_COUNT - 1, other indices are
// refused with a diagnostic (nothing changes; the built tables are those of an empty row).
class DeviceTableEncoder {
public:
    DeviceTableEncoder(const PROFILE_CONFIG (&profiles)[PROFILE_COUNT], const KeyboardLayout& usEnglish);

    // Rewrites the ten entries of row profile from the profile's ten slots. When the data would not
    // fit MACRO_BLOCK_CAPACITY, the entries that fit (in slot order) keep it and the rest become
    // entries without data (type 0, parameter 0), with a diagnostic.
    void FormatKeyMappingData(int keyNum, int profile);
    // Zeroes key codes and parameters of row profile; types, data and lengths stay.
    void ClearKeyMapEntries(int profile);

    std::vector<uint8_t> BuildKeyMapTable(int profile) const;     // 21 bytes
    std::vector<uint8_t> BuildIndexTable(int profile) const;      // 55 bytes
    std::vector<uint8_t> BuildMacroDataBlock(int profile) const;  // 0 to MACRO_BLOCK_CAPACITY bytes

    const DEVICE_ENTRY& Entry(int profile, int slot) const { return device_table[profile][slot]; }
    const PROFILE_CONFIG& Profile(int profile) const { return m_profiles[profile]; }
    static bool ValidProfile(int profile) { return profile >= 0 && profile < PROFILE_COUNT; }

private:
    // False when the macro's items would not fit the data block (pauses of hours split into
    // 6375 ms entries).
    bool FormatMacro2Data(int slot, int profile);
    void LimitToBlockCapacity(int profile);
    const DeviceTableRow& RowOrEmpty(int profile) const;

    const PROFILE_CONFIG (&m_profiles)[PROFILE_COUNT];
    const KeyboardLayout& m_usEnglish;
    DeviceTableRow device_table[PROFILE_COUNT] = {};
    std::vector<KB_DATA> m_workingList;
};

} // namespace qelt
