#include "profile_check.h"

#include <cwchar>
#include <cwctype>

#include "profile_records.h"
#include "setting_rw.h"

namespace qelt {
namespace {

constexpr wchar_t kMissing[] = L"\x01missing";

// Decimal integer, optional sign, nothing else.
bool ParseInteger(const std::wstring& text, long long& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        negative = text[i++] == L'-';
    if (i == text.size() || text.size() - i > 12)
        return false;
    value = 0;
    for (; i < text.size(); ++i) {
        if (!std::iswdigit(text[i]))
            return false;
        value = value * 10 + (text[i] - L'0');
    }
    if (negative)
        value = -value;
    return true;
}

std::wstring Describe(const wchar_t* section, const wchar_t* key, const std::wstring& problem)
{
    return L"[" + std::wstring(section) + L"] " + key + L": " + problem;
}

// A present key must hold a number in [low, high]; -1 (the readers' "not set") is accepted too.
void CheckInteger(const CSettingRW& file, const wchar_t* section, const wchar_t* key, long long low, long long high,
                  std::vector<std::wstring>& problems)
{
    const std::wstring text = file.ReadString(section, key, kMissing);
    if (text == kMissing)
        return;
    long long value = 0;
    if (!ParseInteger(text, value))
        problems.push_back(Describe(section, key, L"\"" + text + L"\" is not a number"));
    else if (value != -1 && (value < low || value > high))
        problems.push_back(Describe(section, key, L"value " + text + L" is outside " + std::to_wstring(low) + L" to " +
                                                      std::to_wstring(high)));
}

bool UsesMacro(int funId) { return (funId >= FUN_CTRL_X && funId <= FUN_CTRL_S) || funId == FUN_MACRO; }

} // namespace

std::vector<std::wstring> CheckProfileFile(const std::wstring& path)
{
    std::vector<std::wstring> problems;
    const CSettingRW file(path);
    CheckInteger(file, L"Setting", L"MacroLength", -2147483647LL - 1, 2147483647LL, problems);
    CheckInteger(file, L"Setting", L"DiableWinKey", -2147483647LL - 1, 2147483647LL, problems);
    for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
        const std::wstring button = L"BUTTONCONFIG" + std::to_wstring(slot);
        const std::wstring macro = L"MACROG" + std::to_wstring(slot);
        CheckInteger(file, button.c_str(), L"FunID", 0, 255, problems);
        CheckInteger(file, button.c_str(), L"Mappinkey", 0, 255, problems);
        CheckInteger(file, macro.c_str(), L"RepeatOption", 0, 255, problems);
        CheckInteger(file, macro.c_str(), L"MacroLength", 0, 65535, problems);

        // Steps that do not decode would be encoded as whatever the record held before.
        const int funId = file.ReadInt(button.c_str(), L"FunID", -1) & 0xFF;
        const int length = file.ReadInt(macro.c_str(), L"MacroLength", -1) & 0xFFFF;
        if (!UsesMacro(funId) || length == 0)
            continue;
        std::vector<MACRO_STEP> steps(MACRO_MAX_STEPS);
        if (!file.ReadStruct(macro.c_str(), L"Macro", steps.data(), sizeof(MACRO_STEP) * MACRO_MAX_STEPS))
            problems.push_back(Describe(macro.c_str(), L"Macro",
                                        L"missing or damaged (needs 11202 hexadecimal digits with a matching checksum) "
                                        L"while MacroLength is " + std::to_wstring(length)));
    }
    return problems;
}

} // namespace qelt
