#include "setting_section.h"

#include <windows.h>

#include <cwctype>

#include "diag.h"

namespace qelt {
namespace {

// A section with a full 700-step macro (11202 digits) fits the first buffer.
constexpr unsigned kFirstCapacity = 16384;

// Spaces and control characters at either end of a name or value are trimmed by the platforms,
// but not necessarily by the same rule.
bool IsEdgeSpace(wchar_t c)
{
    return c <= L' ' || std::iswspace(c);
}

bool HasEdgeSpace(std::wstring_view text)
{
    return !text.empty() && (IsEdgeSpace(text.front()) || IsEdgeSpace(text.back()));
}

// Letter case of names beyond ASCII is folded differently by the platforms.
bool IsAscii(std::wstring_view text)
{
    for (wchar_t c : text)
        if (c >= 0x80)
            return false;
    return true;
}

wchar_t AsciiUpper(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool SameName(std::wstring_view name, const wchar_t* key)
{
    size_t i = 0;
    for (; i < name.size() && key[i]; ++i)
        if (AsciiUpper(name[i]) != AsciiUpper(key[i]))
            return false;
    return i == name.size() && !key[i];
}

// "0" or an optional '-' and up to nine digits without a leading zero: the form WriteInt gives,
// read alike by every platform. Anything else ("", "+5", "0x10", "007", "12abc", overflow) is the
// platform's to read.
bool ParsePlainDecimal(std::wstring_view text, int& result)
{
    const bool negative = !text.empty() && text.front() == L'-';
    const std::wstring_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 9 || (digits.front() == L'0' && (digits.size() > 1 || negative)))
        return false;
    int value = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + (c - L'0');
    }
    result = negative ? -value : value;
    return true;
}

int UpperHexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// The form WritePrivateProfileStructW gives: two uppercase hex digits per byte and two for the
// byte sum. Writes the destination only when the whole value is in that form and its sum matches.
bool DecodePlainStruct(std::wstring_view text, void* destination, unsigned size)
{
    if (text.size() != 2 * static_cast<size_t>(size) + 2)
        return false;
    unsigned sum = 0;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = UpperHexDigit(text[i]);
        const int low = UpperHexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        if (i + 2 < text.size())
            sum += static_cast<unsigned>(high * 16 + low);
        else if (static_cast<unsigned>(high * 16 + low) != (sum & 0xFF))
            return false;
    }
    auto* bytes = static_cast<unsigned char*>(destination);
    for (unsigned b = 0; b < size; ++b)
        bytes[b] = static_cast<unsigned char>(UpperHexDigit(text[2 * b]) * 16 + UpperHexDigit(text[2 * b + 1]));
    return true;
}

} // namespace

SettingSection::SettingSection(const CSettingRW& file, std::wstring name, settingRW::ReadPath path)
    : m_file(file), m_name(std::move(name)), m_keyByKey(path == settingRW::ReadPath::KeyByKey)
{
    if (!m_keyByKey)
        Fetch();
}

void SettingSection::Fetch()
{
    for (unsigned capacity = kFirstCapacity;; capacity *= 4) {
        m_text.reset(new wchar_t[capacity]);
        // A missing file or section gives 0 and an empty list, as every key then reads missing.
        const DWORD length = GetPrivateProfileSectionW(m_name.c_str(), m_text.get(), capacity, Path().c_str());
        // The platform gives capacity - 2 when the section did not fit.
        if (length + 2 < capacity) {
            Split(length);
            return;
        }
        if (capacity >= kLargestSection) {
            Diag(L"Section [%ls] of %ls is larger than %u characters, read key by key\n", m_name.c_str(),
                 Path().c_str(), kLargestSection);
            m_text.reset();
            m_keyByKey = true;
            return;
        }
    }
}

// The text is "name=value" strings, each ended by a NUL, in file order.
void SettingSection::Split(size_t length)
{
    const wchar_t* text = m_text.get();
    for (size_t start = 0; start < length;) {
        const std::wstring_view line(text + start);
        start += line.size() + 1;
        const size_t equals = line.find(L'=');
        if (equals == std::wstring_view::npos) {
            // A line without '=': what the platform makes of it is its own business.
            m_entries.push_back({line, {}, false});
            continue;
        }
        const std::wstring_view name = line.substr(0, equals);
        const std::wstring_view value = line.substr(equals + 1);
        const bool plain = !name.empty() && IsAscii(name) && !HasEdgeSpace(name) && !HasEdgeSpace(value);
        m_entries.push_back({name, value, plain});
    }
}

// The first line of the key answers, as it does for the platform. A line the platform might read
// differently, met before the key is found, leaves the answer to the platform.
SettingSection::Lookup SettingSection::Find(const wchar_t* key, std::wstring_view& value) const
{
    if (m_keyByKey)
        return Lookup::AskPlatform;
    for (const Entry& entry : m_entries) {
        if (!entry.plain)
            return Lookup::AskPlatform;
        if (SameName(entry.name, key)) {
            value = entry.value;
            return Lookup::Found;
        }
    }
    return Lookup::Missing;
}

std::wstring SettingSection::ReadString(const wchar_t* key, const wchar_t* defaultValue) const
{
    std::wstring_view value;
    switch (Find(key, value)) {
    case Lookup::Missing:
        return defaultValue;
    case Lookup::Found:
        // The platform strips one pair of enclosing quotes; an empty value is left to it as well.
        if (!value.empty() && value.front() != L'"' && value.front() != L'\'')
            return std::wstring(value.substr(0, CSettingRW::kStringCapacity - 1));
        break;
    case Lookup::AskPlatform:
        break;
    }
    return m_file.ReadString(m_name.c_str(), key, defaultValue);
}

int SettingSection::ReadInt(const wchar_t* key, int defaultValue) const
{
    std::wstring_view value;
    switch (Find(key, value)) {
    case Lookup::Missing:
        return defaultValue;
    case Lookup::Found: {
        int result = 0;
        if (ParsePlainDecimal(value, result))
            return result;
        break;
    }
    case Lookup::AskPlatform:
        break;
    }
    return m_file.ReadInt(m_name.c_str(), key, defaultValue);
}

bool SettingSection::ReadStruct(const wchar_t* key, void* destination, unsigned size) const
{
    std::wstring_view value;
    switch (Find(key, value)) {
    case Lookup::Missing:
        return false;
    case Lookup::Found:
        // A value that does not decode here (lowercase digits, a bad sum, a wrong length) gets the
        // platform's verdict.
        if (DecodePlainStruct(value, destination, size))
            return true;
        break;
    case Lookup::AskPlatform:
        break;
    }
    return m_file.ReadStruct(m_name.c_str(), key, destination, size);
}

bool SettingSection::Holds(const wchar_t* key) const
{
    std::wstring_view value;
    switch (Find(key, value)) {
    case Lookup::Missing:
        return false;
    case Lookup::Found:
        return true;
    case Lookup::AskPlatform:
        break;
    }
    // No value read from a file can hold a control character the platform keeps.
    constexpr wchar_t kAbsent[] = L"\x01qelt-absent\x01";
    return m_file.ReadString(m_name.c_str(), key, kAbsent) != kAbsent;
}

} // namespace qelt
