#pragma once
// The program profiles' file, "Programs.config" in the data folder (layout: app_rules.h).
#include <string>

#include "app_rules.h"

namespace qelt {

std::wstring AppRulesFilePath(const std::wstring& dataFolder);

// The rules of the file; a missing file has none. Each line that is not taken is a diagnostic.
AppRules ReadAppRulesFile(const std::wstring& path);

// Writes the rules in UTF-16, so every program path keeps its letters, through a work file that
// then replaces the file at once (FileReplacement): a reader sees the old rules or the new, never
// half of them. False (with a diagnostic; the old file stays) when it cannot be written.
bool WriteAppRulesFile(const std::wstring& path, const AppRules& rules);

} // namespace qelt
