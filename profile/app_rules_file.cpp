#include "app_rules_file.h"

#include <windows.h>

#include <vector>

#include "diag.h"
#include "file_replacement.h"

namespace qelt {

std::wstring AppRulesFilePath(const std::wstring& dataFolder)
{
    return dataFolder + kAppRulesFileName;
}

AppRules ReadAppRulesFile(const std::wstring& path)
{
    // The platform cuts a section that does not fit the buffer, answering its size less two.
    std::vector<wchar_t> buffer(1u << 16);
    DWORD length = 0;
    for (;;) {
        length = GetPrivateProfileSectionW(kAppRulesSection, buffer.data(), static_cast<DWORD>(buffer.size()),
                                           path.c_str());
        if (length + 2 < buffer.size() || buffer.size() >= (1u << 24))
            break;
        buffer.resize(buffer.size() * 4);
    }
    std::vector<RejectedRule> rejected;
    AppRules rules = AppRules::FromSection(std::wstring_view(buffer.data(), length), &rejected);
    for (const RejectedRule& rule : rejected)
        Diag(L"Program profiles: rule %ls of %ls not taken: %ls\n", rule.key.c_str(), path.c_str(), rule.reason.c_str());
    return rules;
}

bool WriteAppRulesFile(const std::wstring& path, const AppRules& rules)
{
    FileReplacement replacement(path, true);
    unsigned long error = 0;
    if (replacement.Ready() &&
        !WritePrivateProfileSectionW(kAppRulesSection, rules.ToSection().c_str(), replacement.WorkPath().c_str()))
        error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
    const FileWriteResult result = replacement.Commit(error);
    if (!result.Ok()) {
        Diag(L"ERROR: Program profiles not saved: %ls\n", result.Describe().c_str());
        return false;
    }
    return true;
}

} // namespace qelt
