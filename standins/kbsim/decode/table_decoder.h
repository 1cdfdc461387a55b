#pragma once
// Turns the three tables the keyboard filter keeps for one profile number back into readable
// text: per slot the key, the key parameter, the entry type and its data as steps. Platform-free.
#include <cstdint>
#include <string>
#include <vector>

namespace kbsim {

struct ProfileTables {
    bool hasIndex = false;
    bool hasData = false;
    bool hasKeymap = false;
    std::vector<uint8_t> indexTable;  // 55 bytes when present
    std::vector<uint8_t> dataBlock;   // 0..8192 bytes when present
    std::vector<uint8_t> keymapTable; // 21 bytes when present
};

// One entry's data as steps: "press 0x04 (A)", "release 0x04 (A)", "pause 25 ms", "end",
// "launch slot 1"; bytes that form no known item are shown as "bytes XX XX XX".
std::vector<std::string> DecodeEntryData(uint8_t entryType, const uint8_t* data, size_t length);

// The whole profile, several lines, each ending with '\n'. Inconsistencies between the tables
// (total length, entry ranges beyond the data block, bad headers) are reported on lines
// starting with "  warning: "; a disagreement between the index table and the data block that no
// programmed key reaches (the key-mapping table gives none of those slots a key) only on a line
// starting with "  note: ".
std::string DecodeProfile(unsigned profileNumber, const ProfileTables& tables);

// Short name of a keyboard usage ("A", "1", "Enter", "LCtrl"...), empty when unknown.
std::string KeyUsageName(uint8_t usage);

} // namespace kbsim
