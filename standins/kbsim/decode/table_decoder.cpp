#include "table_decoder.h"

#include <cstdio>

namespace kbsim {
namespace {

constexpr size_t kIndexSize = 55;
constexpr size_t kKeymapSize = 21;
constexpr unsigned kSlots = 10;
constexpr unsigned kMsPerPauseUnit = 25;

std::string Hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

std::string KeyText(uint8_t usage)
{
    std::string name = KeyUsageName(usage);
    return name.empty() ? Hex2(usage) : Hex2(usage) + " (" + name + ")";
}

const char* EntryTypeName(uint8_t type)
{
    switch (type) {
    case 0x00: return "none";
    case 0x10: return "data";
    case 0x11: return "launch";
    case 0x20: return "macro";
    case 0x30: return "data";
    case 0x33: return "data";
    default: return "unknown";
    }
}

bool CarriesData(uint8_t type)
{
    return type == 0x10 || type == 0x11 || type == 0x20 || type == 0x30 || type == 0x33;
}

} // namespace

std::string KeyUsageName(uint8_t usage)
{
    if (usage >= 0x04 && usage <= 0x1D) return std::string(1, static_cast<char>('A' + usage - 0x04));
    if (usage >= 0x1E && usage <= 0x26) return std::string(1, static_cast<char>('1' + usage - 0x1E));
    if (usage == 0x27) return "0";
    if (usage >= 0x3A && usage <= 0x45) return "F" + std::to_string(usage - 0x3A + 1);
    switch (usage) {
    case 0x28: return "Enter";
    case 0x29: return "Esc";
    case 0x2A: return "Backspace";
    case 0x2B: return "Tab";
    case 0x2C: return "Space";
    case 0x39: return "CapsLock";
    case 0x49: return "Insert";
    case 0x4A: return "Home";
    case 0x4B: return "PageUp";
    case 0x4C: return "Delete";
    case 0x4D: return "End";
    case 0x4E: return "PageDown";
    case 0x4F: return "Right";
    case 0x50: return "Left";
    case 0x51: return "Down";
    case 0x52: return "Up";
    case 0xE0: return "LCtrl";
    case 0xE1: return "LShift";
    case 0xE2: return "LAlt";
    case 0xE3: return "LWin";
    case 0xE4: return "RCtrl";
    case 0xE5: return "RShift";
    case 0xE6: return "RAlt";
    case 0xE7: return "RWin";
    default: return {};
    }
}

std::vector<std::string> DecodeEntryData(uint8_t entryType, const uint8_t* data, size_t length)
{
    std::vector<std::string> steps;
    if (entryType == 0x11 && length == 2 && data[1] == 0xFD) {
        steps.push_back("launch slot " + std::to_string(data[0]));
        return steps;
    }
    size_t at = 0;
    for (; at + 3 <= length; at += 3) {
        const uint8_t low = data[at], high = data[at + 1], param = data[at + 2];
        if (low == 0x84 && (param == 0 || param == 1)) {
            steps.push_back((param ? "press " : "release ") + KeyText(high));
        } else if (low == 0x87 && high == 0x00) {
            steps.push_back("pause " + std::to_string(param * kMsPerPauseUnit) + " ms");
        } else if (low == 0x86 && high == 0x00 && param == 1) {
            steps.push_back("end");
        } else {
            char text[32];
            std::snprintf(text, sizeof text, "bytes %02X %02X %02X", low, high, param);
            steps.push_back(text);
        }
    }
    if (at < length) {
        std::string rest = "bytes";
        for (; at < length; ++at) {
            char text[4];
            std::snprintf(text, sizeof text, " %02X", data[at]);
            rest += text;
        }
        steps.push_back(rest);
    }
    return steps;
}

std::string DecodeProfile(unsigned profileNumber, const ProfileTables& t)
{
    std::string out = "profile " + std::to_string(profileNumber) + ":";
    std::vector<std::string> warnings;
    const bool index = t.hasIndex && t.indexTable.size() == kIndexSize;
    const bool keymap = t.hasKeymap && t.keymapTable.size() == kKeymapSize;
    out += index ? " index table," : " no index table,";
    out += t.hasData ? " data block " + std::to_string(t.dataBlock.size()) + " bytes," : " no data block,";
    out += keymap ? " key-mapping table\n" : " no key-mapping table\n";

    if (t.hasIndex && !index) warnings.push_back("index table is not 55 bytes");
    if (t.hasKeymap && !keymap) warnings.push_back("key-mapping table is not 21 bytes");
    if (index && (t.indexTable[0] != 0x0A || t.indexTable[1] != 0x00 || t.indexTable[2] != 0x37))
        warnings.push_back("index table header is not 0A 00 37");
    if (keymap && t.keymapTable[0] != 0x0A) warnings.push_back("key-mapping table does not start with 0A");
    // The index table and the data block only matter for slots whose key the key-mapping table
    // programs: a disagreement no key reaches (after a cleared key mapping) is a note.
    auto keyed = [&](unsigned s) { return keymap && t.keymapTable[1 + 2 * s] != 0; };
    bool keyReachesData = false;
    for (unsigned s = 0; index && s < kSlots; ++s)
        keyReachesData = keyReachesData || (keyed(s) && CarriesData(t.indexTable[5 + 5 * s]));
    std::vector<std::string> notes;
    if (index && t.hasData) {
        const unsigned total = (t.indexTable[3] << 8) | t.indexTable[4];
        if (total != t.dataBlock.size())
            (keyReachesData ? warnings : notes)
                .push_back("index table gives " + std::to_string(total) + " data bytes, the data block has " +
                           std::to_string(t.dataBlock.size()));
    }

    for (unsigned s = 0; (index || keymap) && s < kSlots; ++s) {
        std::string line = "  M" + std::to_string(s + 1) + ":";
        if (keymap) {
            line += " key " + KeyText(t.keymapTable[1 + 2 * s]);
            line += ", param " + std::to_string(t.keymapTable[2 + 2 * s]);
        }
        if (index) {
            const uint8_t* e = &t.indexTable[5 + 5 * s];
            const unsigned offset = (e[1] << 8) | e[2];
            const unsigned length = (e[3] << 8) | e[4];
            line += std::string(keymap ? "," : "") + " type " + Hex2(e[0]) + " " + EntryTypeName(e[0]);
            if (CarriesData(e[0])) {
                line += ", data " + std::to_string(offset) + "+" + std::to_string(length);
                if (t.hasData && offset + length <= t.dataBlock.size()) {
                    const auto steps = DecodeEntryData(e[0], t.dataBlock.data() + offset, length);
                    if (!steps.empty()) line += ":";
                    for (size_t i = 0; i < steps.size(); ++i) line += (i ? ", " : " ") + steps[i];
                } else if (t.hasData) {
                    (keyed(s) ? warnings : notes)
                        .push_back("M" + std::to_string(s + 1) + " data lies beyond the data block");
                }
            } else if (offset || length) {
                warnings.push_back("M" + std::to_string(s + 1) + " has no data type but offset/length set");
            }
        }
        out += line + "\n";
    }
    for (const auto& w : warnings) out += "  warning: " + w + "\n";
    for (const auto& n : notes) out += "  note: " + n + " (no key uses them)\n";
    return out;
}

} // namespace kbsim
