#pragma once
// What the encoder and link tests share: unused profile records and macro steps.
#include <cstring>
#include <memory>
#include <vector>

#include "profile_records.h"

namespace qelt::test {

// Six profiles as the agent holds them after loading a new configuration: every slot unused.
inline std::unique_ptr<PROFILE_CONFIG[]> MakeUnusedProfiles()
{
    auto profiles = std::make_unique<PROFILE_CONFIG[]>(PROFILE_COUNT);
    std::memset(profiles.get(), 0, sizeof(PROFILE_CONFIG) * PROFILE_COUNT);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        for (BUTTON_CONFIG& button : profiles[p].TButton) {
            button.FunID = FUN_NONE;
            button.MappingKey = UNASSIGNED;
        }
    return profiles;
}

// The encoder takes the records as the fixed array the agent owns.
inline PROFILE_CONFIG (&AsProfileArray(const std::unique_ptr<PROFILE_CONFIG[]>& profiles))[PROFILE_COUNT]
{
    return *reinterpret_cast<PROFILE_CONFIG(*)[PROFILE_COUNT]>(profiles.get());
}

inline MACRO_STEP Key(uint8_t code, int pressed) { return MACRO_STEP{code, {0, 0, 0}, pressed}; }
inline MACRO_STEP PauseMs(int milliseconds) { return MACRO_STEP{MACRO_STEP_DELAY, {0, 0, 0}, milliseconds}; }

} // namespace qelt::test
