#pragma once
// Text handling of the test tool that needs no window: argument parsing, number and message
// names, and the formatting of log fields. Kept apart so it can be tested on its own.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qelt::testtool {

// "123", "-1", "0x1F", "0XFF". Nothing else (no trailing garbage, no empty text).
std::optional<long long> ParseInteger(std::wstring_view text);

// A message number: an integer, a known name ("WM_CLOSE", "WM_APP"), "reg:Name" (resolved by
// registerName, i.e. RegisterWindowMessageW), each optionally followed by "+N" ("WM_APP+3").
using MessageRegistrar = std::function<unsigned(const std::wstring& name)>;
std::optional<unsigned> ParseMessage(std::wstring_view text, const MessageRegistrar& registerName);

// A virtual-key code: an integer or a single letter/digit ("A" is 0x41).
std::optional<unsigned> ParseVirtualKey(std::wstring_view text);

// Hex digits two per byte, lowercase, no separators.
std::string HexBytes(const void* data, size_t size);
// The inverse; nullopt on an odd length or a non-hex digit. Spaces are ignored.
std::optional<std::vector<uint8_t>> ParseHexBytes(std::wstring_view text);

// A WM_COPYDATA payload read as text, for the log's convenience fields. Trailing NULs are
// dropped; nullopt when what is left is empty or holds anything but printable characters.
std::optional<std::wstring> PayloadAsUtf16(const uint8_t* data, size_t size);
std::optional<std::wstring> PayloadAsAscii(const uint8_t* data, size_t size);

// Double-quoted with \" \\ escaped, so a log field stays on one line and parseable.
std::wstring Quoted(const std::wstring& text);

// Unix paths (the scripts' own) reach the tool unchanged through wine; the prefix maps the
// Unix root to drive Z:. Windows paths pass through as they are.
std::wstring WindowsPathFromArgument(const std::wstring& path);

std::string Utf8FromWide(std::wstring_view text);

// Splits the arguments after the command word into positional values and options.
// `valueOptions` take the next argument as value and may repeat; `flagOptions` take none.
class Arguments {
public:
    // False with `error` set on an unknown option or a missing value.
    bool Parse(const std::vector<std::wstring>& args, const std::vector<std::wstring>& valueOptions,
               const std::vector<std::wstring>& flagOptions, std::wstring& error);

    const std::vector<std::wstring>& Positional() const { return m_positional; }
    bool Has(const std::wstring& option) const { return m_values.count(option) != 0; }
    // The last value given for the option, or the fallback.
    std::wstring Value(const std::wstring& option, const std::wstring& fallback = L"") const;
    std::vector<std::wstring> Values(const std::wstring& option) const;

private:
    std::vector<std::wstring> m_positional;
    std::map<std::wstring, std::vector<std::wstring>> m_values;
};

} // namespace qelt::testtool
