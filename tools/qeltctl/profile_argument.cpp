#include "profile_argument.h"

#include <cwctype>

#include "profile_records.h"

namespace qelt {

std::optional<int> ParseUserProfile(std::wstring_view text, bool allowPcMode)
{
    if (text.size() == 1 && text[0] >= L'1' && text[0] <= L'5')
        return text[0] - L'1';
    if (allowPcMode && text.size() == 2 && std::towlower(text[0]) == L'p' && std::towlower(text[1]) == L'c')
        return PC_MODE_PROFILE;
    return std::nullopt;
}

std::wstring UserProfileName(int index)
{
    if (index == PC_MODE_PROFILE)
        return L"PC mode";
    if (index >= 0 && index < PC_MODE_PROFILE)
        return std::to_wstring(index + 1);
    return L"none";
}

} // namespace qelt
