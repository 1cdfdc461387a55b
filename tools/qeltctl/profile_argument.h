#pragma once
// Profiles as the user names them on qeltctl's command line and in its output: 1 to 5 as the
// editor's buttons show them, and "pc" for PC mode (profile index 5).
#include <optional>
#include <string>
#include <string_view>

namespace qelt {

// "1"-"5" give the profile index 0-4; "pc" (any case) gives 5 when PC mode is allowed.
std::optional<int> ParseUserProfile(std::wstring_view text, bool allowPcMode);

// "1"-"5" for the indices 0-4, "PC mode" for 5, "none" for anything else (a Config.config
// without a current profile).
std::wstring UserProfileName(int index);

} // namespace qelt
