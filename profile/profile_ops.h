#pragma once
// Operations on the in-memory configuration image that several parts of both programs rely on.
#include <cstdint>

#include "keycodes.h"
#include "profile_records.h"

namespace qelt {

// The two programs keep their own copies of the image and differ in a few details of how they
// create and load it.
enum class ProgramRole { Editor, Agent };

using ProfileArray = PROFILE_CONFIG[PROFILE_COUNT];

// State of a configuration created from nothing: profile 0 current, light on, every slot unused.
// The editor marks the Windows-key lock on in every profile; the agent leaves it off.
void InitNewConfiguration(KB_CONFIG& keyboard, ProfileArray& profiles, ProgramRole role);

// Clears one profile: every slot unused, no macro (so RepeatOption 0), Windows-key lock off.
void ResetProfile(PROFILE_CONFIG& profile);

// Slots without a function (code 0 or 0xFF) lose their key, in all six profiles.
void ReleaseUnusedSlots(ProfileArray& profiles);

// The editor's image before the files are read: all zero, and the slots of the five user profiles
// unused (PC mode stays zero until its file is read).
void ZeroImageForLoad(KB_CONFIG& keyboard, ProfileArray& profiles);

// Virtual key of the letter of a built-in shortcut code (1-9), 0 for any other code.
unsigned ShortcutLetterVk(uint8_t funId);

// The built-in Ctrl+letter macro of a shortcut code: the keys are those that type Ctrl and the
// letter on the given layout. Returns false (and leaves the slot alone) for a code outside 1-9
// or a slot outside 0-9.
bool BuildShortcutMacro(PROFILE_CONFIG& profile, int slot, uint8_t funId, const KeyboardLayout& layout);

// Profile index to use for a CurrantProfile (or any index from a file or a message): an index
// outside 0-5 (a Config.config without CURRENTPROFILE reads as -1) stands for profile 0, with a
// diagnostic. Every use of a stored index as an array index goes through this.
int ClampedProfile(int index);
inline bool IsValidProfileIndex(int index) { return index >= 0 && index < PROFILE_COUNT; }

} // namespace qelt
