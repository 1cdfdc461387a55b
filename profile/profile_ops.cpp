#include "profile_ops.h"

#include <cstring>

#include "diag.h"

namespace qelt {
namespace {

void ClearSlot(BUTTON_CONFIG& slot)
{
    slot.FunID = FUN_NONE;
    slot.AppPath[0] = L'\0';
    slot.MappingKey = UNASSIGNED;
    std::memset(&slot.Macro, 0, sizeof slot.Macro);
}

void ClearSlots(PROFILE_CONFIG& profile)
{
    profile.nMacroTotal = 0;
    for (BUTTON_CONFIG& slot : profile.TButton)
        ClearSlot(slot);
}

} // namespace

void InitNewConfiguration(KB_CONFIG& keyboard, ProfileArray& profiles, ProgramRole role)
{
    keyboard.CurrantProfile = 0;
    keyboard.nLight = 1;
    for (PROFILE_CONFIG& profile : profiles) {
        ClearSlots(profile);
        // The agent's lock flags are never acted on; it keeps what it has (zero from start-up).
        if (role == ProgramRole::Editor)
            profile.DiableWinKey = 1;
    }
}

void ResetProfile(PROFILE_CONFIG& profile)
{
    ClearSlots(profile);
    profile.DiableWinKey = 0;
}

void ReleaseUnusedSlots(ProfileArray& profiles)
{
    for (PROFILE_CONFIG& profile : profiles)
        for (BUTTON_CONFIG& slot : profile.TButton)
            if (slot.FunID == 0 || slot.FunID == FUN_NONE)
                slot.MappingKey = UNASSIGNED;
}

void ZeroImageForLoad(KB_CONFIG& keyboard, ProfileArray& profiles)
{
    std::memset(&keyboard, 0, sizeof keyboard);
    std::memset(&profiles, 0, sizeof profiles);
    for (int p = 0; p < PC_MODE_PROFILE; ++p)
        for (BUTTON_CONFIG& slot : profiles[p].TButton)
            slot.MappingKey = UNASSIGNED;
}

unsigned ShortcutLetterVk(uint8_t funId)
{
    // X C V Z A F N P S for the codes 1 to 9.
    static constexpr unsigned kLetters[] = {0x58, 0x43, 0x56, 0x5A, 0x41, 0x46, 0x4E, 0x50, 0x53};
    if (funId < FUN_CTRL_X || funId > FUN_CTRL_S)
        return 0;
    return kLetters[funId - FUN_CTRL_X];
}

bool BuildShortcutMacro(PROFILE_CONFIG& profile, int slot, uint8_t funId, const KeyboardLayout& layout)
{
    const unsigned letterVk = ShortcutLetterVk(funId);
    if (letterVk == 0 || slot < 0 || slot >= BUTTON_COUNT) {
        Diag(L"No shortcut macro for code %d in slot %d\n", funId, slot);
        return false;
    }
    const uint8_t letter = KeyCodeFromVk(letterVk, layout);
    const uint8_t ctrl = KeyCodeFromVk(0xA2, layout);

    MACRO_DATA macro;
    std::memset(&macro, 0, sizeof macro);
    const MACRO_STEP steps[] = {
        {ctrl, {}, 1},
        {MACRO_STEP_DELAY, {}, 1},
        {letter, {}, 1},
        {MACRO_STEP_DELAY, {}, 0},
        {letter, {}, 0},
        {MACRO_STEP_DELAY, {}, 1},
        {ctrl, {}, 0},
    };
    static_assert(sizeof steps / sizeof steps[0] == 7);
    std::memcpy(macro.Steps, steps, sizeof steps);
    macro.length = 7;
    macro.RepeatOption = 1;
    profile.TButton[slot].Macro = macro;
    return true;
}

int ClampedProfile(int index)
{
    if (IsValidProfileIndex(index))
        return index;
    Diag(L"Profile index %d out of range, using profile 0\n", index);
    return 0;
}

} // namespace qelt
