#include "app_rules_file.h"

#include <windows.h>

#include <vector>

#include "diag.h"
#include "handles.h"

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
    const std::wstring fresh = path + L".new";
    {
        // A file that starts with the UTF-16 byte-order mark stays UTF-16 when the platform writes it.
        UniqueHandle file(CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        const unsigned char byteOrderMark[] = {0xFF, 0xFE};
        DWORD written = 0;
        if (!file || !WriteFile(file.Get(), byteOrderMark, sizeof byteOrderMark, &written, nullptr)) {
            DiagLastError(L"CreateFileW (Programs.config)");
            return false;
        }
    }
    if (!WritePrivateProfileSectionW(kAppRulesSection, rules.ToSection().c_str(), fresh.c_str())) {
        DiagLastError(L"WritePrivateProfileSectionW (Programs.config)");
        DeleteFileW(fresh.c_str());
        return false;
    }
    if (!MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DiagLastError(L"MoveFileExW (Programs.config)");
        DeleteFileW(fresh.c_str());
        return false;
    }
    return true;
}

} // namespace qelt
