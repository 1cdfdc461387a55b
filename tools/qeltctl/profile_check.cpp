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

// A present key whose text is not a plain number, or a number the reader cuts to `bits` (32 for
// the fields it keeps whole); -1, the readers' "not set", is taken as written.
void CheckInteger(const CSettingRW& file, const wchar_t* section, const wchar_t* key, int bits,
                  std::vector<std::wstring>& problems)
{
    const std::wstring text = file.ReadString(section, key, kMissing);
    if (text == kMissing)
        return;
    // What the reader gets: the platform's reading, cut to the field.
    const long long read = file.ReadInt(section, key, -1);
    const unsigned long long mask = bits >= 32 ? 0xFFFFFFFFull : (1ull << bits) - 1;
    const unsigned long long stored = static_cast<unsigned long long>(read) & mask;
    const std::wstring storedText = bits >= 32 ? std::to_wstring(static_cast<int>(read)) : std::to_wstring(stored);
    long long value = 0;
    if (!ParseInteger(text, value)) {
        problems.push_back(Describe(section, key, L"\"" + text + L"\" is not a number, read as " + storedText));
        return;
    }
    const bool fits = bits >= 32 ? value >= -2147483647LL - 1 && value <= 2147483647LL
                                 : value == -1 || (value >= 0 && static_cast<unsigned long long>(value) <= mask);
    if (!fits)
        problems.push_back(Describe(section, key, L"value " + text + L" does not fit in " + std::to_wstring(bits) +
                                                      L" bits, read as " + storedText));
}

bool UsesMacro(int funId) { return (funId >= FUN_CTRL_X && funId <= FUN_CTRL_S) || funId == FUN_MACRO; }

} // namespace

std::vector<std::wstring> CheckProfileFile(const std::wstring& path)
{
    std::vector<std::wstring> problems;
    const CSettingRW file(path);
    CheckInteger(file, L"Setting", L"MacroLength", 32, problems);
    CheckInteger(file, L"Setting", L"DiableWinKey", 32, problems);
    for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
        const std::wstring button = L"BUTTONCONFIG" + std::to_wstring(slot);
        const std::wstring macro = L"MACROG" + std::to_wstring(slot);
        CheckInteger(file, button.c_str(), L"FunID", 8, problems);
        CheckInteger(file, button.c_str(), L"Mappinkey", 8, problems);
        CheckInteger(file, macro.c_str(), L"RepeatOption", 8, problems);
        CheckInteger(file, macro.c_str(), L"MacroLength", 16, problems);

        // Steps that do not decode are encoded as whatever the record held before.
        const int funId = file.ReadInt(button.c_str(), L"FunID", -1) & 0xFF;
        const int length = file.ReadInt(macro.c_str(), L"MacroLength", -1) & 0xFFFF;
        if (!UsesMacro(funId) || length == 0)
            continue;
        std::vector<MACRO_STEP> steps(MACRO_MAX_STEPS);
        if (!file.ReadStruct(macro.c_str(), L"Macro", steps.data(), sizeof(MACRO_STEP) * MACRO_MAX_STEPS))
            problems.push_back(Describe(macro.c_str(), L"Macro",
                                        L"missing or damaged (needs 11202 hexadecimal digits with a matching checksum) "
                                        L"while MacroLength is " + std::to_wstring(length) +
                                        L"; the agent keeps the steps it held before, shown here as none"));
    }
    return problems;
}

} // namespace qelt
