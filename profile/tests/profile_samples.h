#pragma once
// Profile records with content in every field the files hold, for the file tests.
#include <cstring>
#include <memory>

#include "profile_ops.h"

namespace qelt::testing {

struct Image {
    KB_CONFIG keyboard;
    ProfileArray profiles;
};

// Every byte set to one value, so a field that a read forgets shows.
inline std::unique_ptr<Image> FilledImage(unsigned char fill)
{
    auto image = std::make_unique<Image>();
    std::memset(image.get(), fill, sizeof(Image));
    return image;
}

// A full macro: 700 steps alternating key press/release and pauses.
inline MACRO_DATA FullMacro(int seed)
{
    MACRO_DATA macro{};
    for (int i = 0; i < MACRO_MAX_STEPS; ++i) {
        MACRO_STEP& step = macro.Steps[i];
        if (i % 3 == 2) {
            step.Code = MACRO_STEP_DELAY;
            step.Value = (seed * 131 + i * 7) % 100000;
        } else {
            step.Code = static_cast<uint8_t>(0x04 + (seed + i) % 0x60);
            step.Value = i % 3 == 0 ? 1 : 0;
        }
    }
    macro.length = MACRO_MAX_STEPS;
    macro.RepeatOption = static_cast<uint8_t>(seed % 4);
    return macro;
}

// Slots with every kind of function; the profile number varies keys and values.
inline void FillProfile(PROFILE_CONFIG& profile, int number)
{
    std::memset(&profile, 0, sizeof profile);
    profile.nMacroTotal = 100 + number;
    profile.DiableWinKey = number % 2;
    const uint8_t codes[BUTTON_COUNT] = {FUN_CTRL_X, FUN_CTRL_S, FUN_LAUNCH_APP, FUN_DISABLE_KEY, FUN_MACRO,
                                         FUN_NONE, 0, 0x42, FUN_MACRO, FUN_LAUNCH_APP};
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        BUTTON_CONFIG& slot = profile.TButton[s];
        slot.FunID = codes[s];
        slot.MappingKey = slot.FunID == FUN_NONE ? UNASSIGNED : static_cast<uint8_t>(number * 10 + s);
        slot.Macro = FullMacro(number * 10 + s);
        if (slot.FunID == FUN_LAUNCH_APP)
            std::swprintf(slot.AppPath, APP_PATH_CHARS, L"C:\\Program Files\\Tool %d-%d\\run me.exe", number, s);
    }
}

} // namespace qelt::testing
