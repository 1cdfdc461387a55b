#include "text.h"

#include <algorithm>
#include <cwctype>

namespace qelt::testtool {

namespace {

struct NamedMessage {
    const wchar_t* name;
    unsigned value;
};

// The messages scenarios commonly post by name; anything else is given as a number.
constexpr NamedMessage kMessages[] = {
    {L"WM_NULL", 0x0000},         {L"WM_CREATE", 0x0001},       {L"WM_DESTROY", 0x0002},
    {L"WM_CLOSE", 0x0010},        {L"WM_QUERYENDSESSION", 0x0011}, {L"WM_QUIT", 0x0012},
    {L"WM_ENDSESSION", 0x0016},   {L"WM_COPYDATA", 0x004A},     {L"WM_KEYDOWN", 0x0100},
    {L"WM_KEYUP", 0x0101},        {L"WM_CHAR", 0x0102},         {L"WM_SYSKEYDOWN", 0x0104},
    {L"WM_COMMAND", 0x0111},      {L"WM_SYSCOMMAND", 0x0112},   {L"WM_TIMER", 0x0113},
    {L"WM_MOUSEMOVE", 0x0200},    {L"WM_LBUTTONDOWN", 0x0201},  {L"WM_LBUTTONUP", 0x0202},
    {L"WM_LBUTTONDBLCLK", 0x0203}, {L"WM_RBUTTONDOWN", 0x0204}, {L"WM_RBUTTONUP", 0x0205},
    {L"WM_POWERBROADCAST", 0x0218}, {L"WM_DEVICECHANGE", 0x0219},
    {L"WM_WTSSESSION_CHANGE", 0x02B1}, {L"WM_USER", 0x0400},   {L"WM_APP", 0x8000},
};

bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return c - L'A' + 10;
}

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return std::towupper(x) == std::towupper(y); });
}

std::optional<unsigned> ParseMessageBase(std::wstring_view text, const MessageRegistrar& registerName)
{
    if (text.size() > 4 && EqualsIgnoreCase(text.substr(0, 4), L"reg:")) {
        unsigned id = registerName ? registerName(std::wstring(text.substr(4))) : 0;
        if (id == 0)
            return std::nullopt;
        return id;
    }
    for (const auto& known : kMessages)
        if (EqualsIgnoreCase(text, known.name))
            return known.value;
    auto number = ParseInteger(text);
    if (!number || *number < 0 || *number > 0xFFFFFFFFLL)
        return std::nullopt;
    return static_cast<unsigned>(*number);
}

} // namespace

std::optional<long long> ParseInteger(std::wstring_view text)
{
    bool negative = false;
    if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) {
        negative = text[0] == L'-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    unsigned long long value = 0;
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        text.remove_prefix(2);
        if (text.size() > 16)
            return std::nullopt;
        for (wchar_t c : text) {
            if (!IsHexDigit(c))
                return std::nullopt;
            value = value * 16 + static_cast<unsigned>(HexValue(c));
        }
        // Full 64-bit patterns ("0xFFFFFFFFFFFFFFFF") are taken as their two's complement.
        long long result = static_cast<long long>(value);
        return negative ? -result : result;
    }
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        if (value > (0x7FFFFFFFFFFFFFFFULL - static_cast<unsigned>(c - L'0')) / 10)
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    long long result = static_cast<long long>(value);
    return negative ? -result : result;
}

std::optional<unsigned> ParseMessage(std::wstring_view text, const MessageRegistrar& registerName)
{
    // "reg:" names may themselves hold '+', so only a sum of a plain name or number is split.
    size_t plus = text.find(L'+');
    bool registered = text.size() > 4 && EqualsIgnoreCase(text.substr(0, 4), L"reg:");
    if (plus == std::wstring_view::npos || plus == 0 || registered)
        return ParseMessageBase(text, registerName);
    auto base = ParseMessageBase(text.substr(0, plus), registerName);
    auto offset = ParseInteger(text.substr(plus + 1));
    if (!base || !offset || *offset < 0 || *base + static_cast<unsigned long long>(*offset) > 0xFFFFFFFFULL)
        return std::nullopt;
    return static_cast<unsigned>(*base + *offset);
}

std::optional<unsigned> ParseVirtualKey(std::wstring_view text)
{
    if (text.size() == 1) {
        wchar_t c = static_cast<wchar_t>(std::towupper(text[0]));
        if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'))
            return static_cast<unsigned>(c);
        return std::nullopt;
    }
    auto number = ParseInteger(text);
    if (!number || *number <= 0 || *number > 0xFE)
        return std::nullopt;
    return static_cast<unsigned>(*number);
}

std::string HexBytes(const void* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(std::wstring_view text)
{
    std::wstring digits;
    for (wchar_t c : text) {
        if (c == L' ')
            continue;
        if (!IsHexDigit(c))
            return std::nullopt;
        digits.push_back(c);
    }
    if (digits.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(HexValue(digits[i]) * 16 + HexValue(digits[i + 1])));
    return bytes;
}

std::optional<std::wstring> PayloadAsUtf16(const uint8_t* data, size_t size)
{
    if (size < 2 || size % 2 != 0)
        return std::nullopt;
    std::wstring text;
    for (size_t i = 0; i < size; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    if (text.empty())
        return std::nullopt;
    for (wchar_t c : text)
        if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0xD800 && c < 0xE000) || c >= 0xFFFE)
            return std::nullopt;
    return text;
}

std::optional<std::wstring> PayloadAsAscii(const uint8_t* data, size_t size)
{
    while (size > 0 && data[size - 1] == 0)
        --size;
    if (size == 0)
        return std::nullopt;
    std::wstring text;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] < 0x20 || data[i] > 0x7E)
            return std::nullopt;
        text.push_back(static_cast<wchar_t>(data[i]));
    }
    return text;
}

std::wstring Quoted(const std::wstring& text)
{
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\')
            quoted.push_back(L'\\');
        quoted.push_back(c);
    }
    quoted.push_back(L'"');
    return quoted;
}

std::wstring WindowsPathFromArgument(const std::wstring& path)
{
    if (path.empty() || path[0] != L'/')
        return path;
    std::wstring converted = L"Z:" + path;
    std::replace(converted.begin(), converted.end(), L'/', L'\\');
    return converted;
}

std::string Utf8FromWide(std::wstring_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // a lone surrogate
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool Arguments::Parse(const std::vector<std::wstring>& args, const std::vector<std::wstring>& valueOptions,
                      const std::vector<std::wstring>& flagOptions, std::wstring& error)
{
    auto contains = [](const std::vector<std::wstring>& list, const std::wstring& item) {
        return std::find(list.begin(), list.end(), item) != list.end();
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        // A lone "-" or a negative number is a value, not an option.
        bool looksLikeOption = arg.size() > 2 && arg[0] == L'-' && arg[1] == L'-';
        if (!looksLikeOption) {
            m_positional.push_back(arg);
            continue;
        }
        if (contains(flagOptions, arg)) {
            m_values[arg].push_back(L"");
        } else if (contains(valueOptions, arg)) {
            if (i + 1 >= args.size()) {
                error = L"option " + arg + L" needs a value";
                return false;
            }
            m_values[arg].push_back(args[++i]);
        } else {
            error = L"unknown option " + arg;
            return false;
        }
    }
    return true;
}

std::wstring Arguments::Value(const std::wstring& option, const std::wstring& fallback) const
{
    auto found = m_values.find(option);
    return found == m_values.end() ? fallback : found->second.back();
}

std::vector<std::wstring> Arguments::Values(const std::wstring& option) const
{
    auto found = m_values.find(option);
    return found == m_values.end() ? std::vector<std::wstring>{} : found->second;
}

} // namespace qelt::testtool
