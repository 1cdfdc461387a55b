#pragma once
// The macro editor's tests: key codes of the US layout, fixed key names, and key events as the
// hook library sends them.
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "keycodes.h"
#include "layout_data.h"
#include "macro_recorder.h"

namespace qelt::testing {

// Names are "A".."Z" for the letters, "Ctrl" for the left Ctrl key, "code<hex>" otherwise.
class UsKeyText final : public MacroKeyText {
public:
    uint8_t KeyCodeOf(unsigned virtualKey) const override { return KeyCodeFromVk(virtualKey, m_layout); }
    std::wstring NameOfCode(uint8_t keyCode) const override
    {
        if (keyCode >= 0x04 && keyCode <= 0x1D)
            return std::wstring(1, wchar_t(L'A' + keyCode - 0x04));
        if (keyCode == 0xE0)
            return L"Ctrl";
        wchar_t name[16];
        std::swprintf(name, 16, L"code%02X", unsigned(keyCode));
        return name;
    }

private:
    LayoutData m_layout = UsLayout();
};

// Key events of the US keys by letter: press and release.
inline RecordedKey Press(char letter)
{
    static const unsigned kScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                       0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    return RecordedKey{unsigned(letter), kScan[letter - 'A'], 0x00};
}
inline RecordedKey Release(char letter)
{
    RecordedKey key = Press(letter);
    key.flags = 0x80;
    return key;
}
// Each letter pressed and released in turn.
inline std::vector<RecordedKey> Typed(const char* letters)
{
    std::vector<RecordedKey> keys;
    for (const char* c = letters; *c != '\0'; ++c) {
        keys.push_back(Press(*c));
        keys.push_back(Release(*c));
    }
    return keys;
}

struct Step {
    uint8_t code;
    int32_t value;
    bool operator==(const Step&) const = default;
};
inline void PrintTo(const Step& step, std::ostream* out)
{
    *out << "{0x" << std::hex << unsigned(step.code) << std::dec << ", " << step.value << "}";
}

inline std::vector<Step> StepsOf(const MACRO_DATA& macro, int count)
{
    std::vector<Step> steps;
    for (int i = 0; i < count; ++i)
        steps.push_back(Step{macro.Steps[i].Code, macro.Steps[i].Value});
    return steps;
}

inline MACRO_DATA MacroOf(const std::vector<Step>& steps, uint16_t length, uint8_t repeatOption)
{
    MACRO_DATA macro{};
    for (size_t i = 0; i < steps.size(); ++i) {
        macro.Steps[i].Code = steps[i].code;
        macro.Steps[i].Value = steps[i].value;
    }
    macro.length = length;
    macro.RepeatOption = repeatOption;
    return macro;
}

} // namespace qelt::testing
