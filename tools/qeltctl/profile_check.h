#pragma once
// Checks a profile file for values the configuration reader would silently turn into defaults:
// numbers that are not numbers or out of range, and macro steps that cannot be decoded.
#include <string>
#include <vector>

namespace qelt {

// One message per problem found, each naming section and key; empty when the file reads cleanly.
std::vector<std::wstring> CheckProfileFile(const std::wstring& path);

} // namespace qelt
