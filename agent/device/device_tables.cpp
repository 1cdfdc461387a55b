#include "device_tables.h"

#include <algorithm>
#include <cstring>

#include "diag.h"

namespace qelt {

const uint8_t KEYPOS_103[KEYPOS_103_COUNT] = {
    0x1B, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x2C, 0x91, 0x13, 0xC0, 0x31, 0x32, 0x33,
    0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30, 0xBD, 0xBB, 0x08, 0x2D, 0x24, 0x21, 0x90, 0x6F, 0x6A, 0x6D, 0x09, 0x51, 0x57,
    0x45, 0x52, 0x54, 0x59, 0x55, 0x49, 0x4F, 0x50, 0xDB, 0xDD, 0xDC, 0x2E, 0x23, 0x22, 0x67, 0x68, 0x69, 0x6B, 0x14, 0x41,
    0x53, 0x44, 0x46, 0x47, 0x48, 0x4A, 0x4B, 0x4C, 0xBA, 0xDE, 0x0D, 0x64, 0x65, 0x66, 0xA0, 0x5A, 0x58, 0x43, 0x56, 0x42,
    0x4E, 0x4D, 0xBC, 0xBE, 0xBF, 0xA1, 0x26, 0x61, 0x62, 0x63, 0x6C, 0xA2, 0x5B, 0xA4, 0x20, 0xA5, 0x00, 0x5D, 0xA3, 0x25,
    0x28, 0x27, 0x60, 0x6E, 0xE2, 0x16, 0x19, 0x3D, 0x1A, 0x3A, 0x3C, 0x1D, 0x1C, 0x1E,
};

const uint8_t KEYPOS_OTHER[KEYPOS_OTHER_COUNT] = {
    0x1B, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x2C, 0x91, 0x13, 0xC0, 0x31, 0x32, 0x33,
    0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30, 0xBD, 0xBB, 0x3C, 0x08, 0x2D, 0x24, 0x21, 0x90, 0x6F, 0x6A, 0x6D, 0x09, 0x51,
    0x57, 0x45, 0x52, 0x54, 0x59, 0x55, 0x49, 0x4F, 0x50, 0xDB, 0xDD, 0x2E, 0x23, 0x22, 0x67, 0x68, 0x69, 0x6B, 0x14, 0x41,
    0x53, 0x44, 0x46, 0x47, 0x48, 0x4A, 0x4B, 0x4C, 0xBA, 0xDE, 0xDC, 0x0D, 0x64, 0x65, 0x66, 0xA0, 0x5A, 0x58, 0x43, 0x56,
    0x42, 0x4E, 0x4D, 0xBC, 0xBE, 0xBF, 0x99, 0xA1, 0x26, 0x61, 0x62, 0x63, 0x6C, 0xA2, 0x5B, 0xA4, 0x98, 0x20, 0x97, 0x88,
    0xA5, 0x5C, 0x5D, 0xA3, 0x25, 0x28, 0x27, 0x60, 0x6E, 0xE2, 0x16, 0x19, 0x3D, 0x1A, 0x3A, 0x3C, 0x1D, 0x1C, 0x1E, 0x00,
};

namespace {

constexpr uint8_t TABLE_COUNT_BYTE = 0x0A;  // every table starts with the number of slots
constexpr uint8_t ITEM_KEY = 0x84;
constexpr uint8_t ITEM_END = 0x86;
constexpr uint8_t ITEM_PAUSE = 0x87;
constexpr int PAUSE_UNIT_MS = 25;
constexpr uint8_t MAX_PAUSE_UNITS = 255;  // one byte per pause entry
constexpr int MAX_PAUSE_MS = MAX_PAUSE_UNITS * PAUSE_UNIT_MS;
constexpr size_t ITEM_BYTES = 3;
constexpr uint8_t LAUNCH_EVENT_HIGH_BYTE = 0xFD;

const DeviceTableRow& EmptyRow()
{
    static const DeviceTableRow empty = {};
    return empty;
}

bool IsShortcutFunction(uint8_t funId) { return funId >= FUN_CTRL_X && funId <= FUN_CTRL_S; }

// A position without a virtual key (the 103-key board's Fn) has always been sent as 0x64, the
// table's first row without a virtual key until the ISO key got its own; it keeps that code, so a
// stored profile programs the key it always did.
constexpr uint8_t POSITION_WITHOUT_KEY_CODE = 0x64;

uint8_t PositionKeyCode(uint8_t virtualKey, const KeyboardLayout& usEnglish)
{
    return virtualKey == 0 ? POSITION_WITHOUT_KEY_CODE : KeyCodeFromVk(virtualKey, usEnglish);
}

} // namespace

int MacroStepsToSend(const MACRO_DATA& macro)
{
    // A length of up to 700 is the recorder's own count and holds every step, the ISO key's and
    // any other step with a code the table does not name included. A longer one means a missing
    // or damaged MacroLength (read as 0xFFFF): the recorded steps then end at the first step
    // without a code, so the unused rest of the 700 steps is not sent.
    if (macro.length <= MACRO_MAX_STEPS)
        return macro.length;
    int steps = 0;
    while (steps < MACRO_MAX_STEPS && macro.Steps[steps].Code != 0)
        ++steps;
    return steps;
}

bool IsDataEntryType(uint8_t entryType)
{
    switch (entryType) {
    case 0x10: case 0x11: case 0x20: case 0x30: case 0x33:
        return true;
    default:
        return false;
    }
}

uint8_t DeviceKeyCode(int keyNum, uint8_t mappingKey, const KeyboardLayout& usEnglish)
{
    if (mappingKey == UNASSIGNED)
        return 0;
    if (keyNum == KEYNUM_103) {
        if (mappingKey >= KEYPOS_103_COUNT)
            return 0;
        return PositionKeyCode(KEYPOS_103[mappingKey], usEnglish);
    }
    if (mappingKey >= KEYPOS_OTHER_COUNT)
        return 0;
    const uint8_t code = PositionKeyCode(KEYPOS_OTHER[mappingKey], usEnglish);
    // The larger boards report the key beside Enter as the non-US hash key.
    return code == 0x31 ? 0x32 : code;
}

DeviceTableEncoder::DeviceTableEncoder(const PROFILE_CONFIG (&profiles)[PROFILE_COUNT],
                                       const KeyboardLayout& usEnglish)
    : m_profiles(profiles), m_usEnglish(usEnglish)
{
    m_workingList.reserve(MACRO_MAX_STEPS + 2);
}

const DeviceTableRow& DeviceTableEncoder::RowOrEmpty(int profile) const
{
    if (!ValidProfile(profile)) {
        Diag(L"device tables: no profile %d, sending empty tables\n", profile);
        return EmptyRow();
    }
    return device_table[profile];
}

void DeviceTableEncoder::FormatKeyMappingData(int keyNum, int profile)
{
    if (!ValidProfile(profile)) {
        Diag(L"device tables: no profile %d to encode\n", profile);
        return;
    }
    for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
        const BUTTON_CONFIG& button = m_profiles[profile].TButton[slot];
        DEVICE_ENTRY& entry = device_table[profile][slot];
        m_workingList.clear();

        if (IsShortcutFunction(button.FunID)) {
            entry.bEntryType = ENTRY_MACRO;
            entry.bKeyParam = 1;
        } else if (button.FunID == FUN_LAUNCH_APP) {
            entry.bEntryType = ENTRY_LAUNCH_APP;
            entry.bKeyParam = 1;
        } else if (button.FunID == FUN_MACRO) {
            entry.bEntryType = ENTRY_MACRO;
            entry.bKeyParam = button.Macro.RepeatOption;
        } else {
            entry.bEntryType = ENTRY_NONE;
            entry.bKeyParam = 0;
        }
        entry.bKeyCode = DeviceKeyCode(keyNum, button.MappingKey, m_usEnglish);

        if (entry.bEntryType == ENTRY_LAUNCH_APP) {
            // The device reports the key back as the event word 0xFD00 + slot + 1.
            entry.Data[0] = static_cast<uint8_t>(slot + 1);
            entry.Data[1] = LAUNCH_EVENT_HIGH_BYTE;
            entry.wDataLength = 2;
            continue;
        }
        if (entry.bEntryType != ENTRY_NONE && !FormatMacro2Data(slot, profile)) {
            // Pauses of hours would need more entries than the block holds: the key gets no
            // function rather than a macro cut short (a key left pressed).
            Diag(L"device tables: Profile %d,TButton[%d] macro needs more than the %u-byte block, sent without "
                 L"function\n",
                 profile, slot, static_cast<unsigned>(MACRO_BLOCK_CAPACITY));
            m_workingList.clear();
            entry.bEntryType = ENTRY_NONE;
            entry.bKeyParam = 0;
        }
        size_t offset = 0;
        for (const KB_DATA& item : m_workingList) {
            entry.Data[offset++] = static_cast<uint8_t>(item.wCode & 0xFF);
            entry.Data[offset++] = static_cast<uint8_t>(item.wCode >> 8);
            entry.Data[offset++] = item.bParam;
        }
        entry.wDataLength = static_cast<uint16_t>(offset);
    }
    m_workingList.clear();
    LimitToBlockCapacity(profile);
}

bool DeviceTableEncoder::FormatMacro2Data(int slot, int profile)
{
    constexpr size_t maxItems = MACRO_BLOCK_CAPACITY / ITEM_BYTES;
    const MACRO_DATA& macro = m_profiles[profile].TButton[slot].Macro;
    const int steps = MacroStepsToSend(macro);
    for (int k = 0; k < steps; ++k) {
        const MACRO_STEP& step = macro.Steps[k];
        if (step.Code == MACRO_STEP_DELAY && step.Value > MAX_PAUSE_MS) {
            // A pause entry holds at most 255 units: a longer pause is played as several.
            int32_t units = step.Value / PAUSE_UNIT_MS;
            if (m_workingList.size() + size_t(units / MAX_PAUSE_UNITS) + 1 > maxItems)
                return false;
            for (; units > 0; units -= std::min<int32_t>(units, MAX_PAUSE_UNITS))
                m_workingList.push_back(KB_DATA{ITEM_PAUSE, static_cast<uint8_t>(std::min<int32_t>(units, MAX_PAUSE_UNITS))});
        } else if (step.Code == MACRO_STEP_DELAY) {
            uint8_t units = static_cast<uint8_t>(step.Value / PAUSE_UNIT_MS);
            if (units == 0)
                units = 1;
            m_workingList.push_back(KB_DATA{ITEM_PAUSE, units});
        } else {
            m_workingList.push_back(
                KB_DATA{static_cast<uint16_t>(step.Code * 256 + ITEM_KEY), static_cast<uint8_t>(step.Value)});
        }
    }
    if (!m_workingList.empty()) {
        m_workingList.push_back(KB_DATA{ITEM_END, 1});
        m_workingList.push_back(KB_DATA{ITEM_PAUSE, 1});
    }
    return m_workingList.size() <= maxItems;
}

// The driver's data block holds MACRO_BLOCK_CAPACITY bytes. Entries keep their data in slot order
// while it fits; every later data entry is sent as a key without a function, so the three tables
// always agree with each other.
void DeviceTableEncoder::LimitToBlockCapacity(int profile)
{
    size_t total = 0;
    bool full = false;
    for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
        DEVICE_ENTRY& entry = device_table[profile][slot];
        if (!IsDataEntryType(entry.bEntryType))
            continue;
        if (!full && total + entry.wDataLength <= MACRO_BLOCK_CAPACITY) {
            total += entry.wDataLength;
            continue;
        }
        full = true;
        Diag(L"device tables: Profile %d,TButton[%d] data of %u bytes does not fit the %u-byte block "
             L"(%u used), sent without function\n",
             profile, slot, static_cast<unsigned>(entry.wDataLength), static_cast<unsigned>(MACRO_BLOCK_CAPACITY),
             static_cast<unsigned>(total));
        entry.bEntryType = ENTRY_NONE;
        entry.bKeyParam = 0;
        entry.wDataLength = 0;
    }
}

void DeviceTableEncoder::ClearKeyMapEntries(int profile)
{
    if (!ValidProfile(profile)) {
        Diag(L"device tables: no profile %d to clear\n", profile);
        return;
    }
    for (DEVICE_ENTRY& entry : device_table[profile]) {
        entry.bKeyCode = 0;
        entry.bKeyParam = 0;
    }
}

std::vector<uint8_t> DeviceTableEncoder::BuildKeyMapTable(int profile) const
{
    const DeviceTableRow& row = RowOrEmpty(profile);
    std::vector<uint8_t> table(KEYMAP_TABLE_SIZE, 0);
    table[0] = TABLE_COUNT_BYTE;
    for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
        table[1 + 2 * slot] = row[slot].bKeyCode;
        table[2 + 2 * slot] = row[slot].bKeyParam;
    }
    return table;
}

std::vector<uint8_t> DeviceTableEncoder::BuildIndexTable(int profile) const
{
    const DeviceTableRow& row = RowOrEmpty(profile);
    std::vector<uint8_t> table(INDEX_TABLE_SIZE, 0);
    uint16_t offset = 0;
    for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
        const DEVICE_ENTRY& entry = row[slot];
        uint8_t* field = &table[5 + 5 * slot];
        field[0] = entry.bEntryType;
        if (!IsDataEntryType(entry.bEntryType))
            continue;
        field[1] = static_cast<uint8_t>(offset >> 8);
        field[2] = static_cast<uint8_t>(offset & 0xFF);
        field[3] = static_cast<uint8_t>(entry.wDataLength >> 8);
        field[4] = static_cast<uint8_t>(entry.wDataLength & 0xFF);
        offset = static_cast<uint16_t>(offset + entry.wDataLength);
    }
    table[0] = TABLE_COUNT_BYTE;
    table[1] = 0x00;
    table[2] = static_cast<uint8_t>(INDEX_TABLE_SIZE);
    table[3] = static_cast<uint8_t>(offset >> 8);
    table[4] = static_cast<uint8_t>(offset & 0xFF);
    return table;
}

std::vector<uint8_t> DeviceTableEncoder::BuildMacroDataBlock(int profile) const
{
    const DeviceTableRow& row = RowOrEmpty(profile);
    std::vector<uint8_t> block;
    for (const DEVICE_ENTRY& entry : row) {
        if (IsDataEntryType(entry.bEntryType))
            block.insert(block.end(), entry.Data, entry.Data + entry.wDataLength);
    }
    return block;
}

} // namespace qelt
