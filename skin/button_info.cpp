#include "button_info.h"

#include <climits>
#include <cwctype>

namespace {

// Copies at most capacity-1 characters and terminates.
template <size_t N>
void CopyTruncated(wchar_t (&target)[N], std::wstring_view text)
{
    size_t count = text.size() < N - 1 ? text.size() : N - 1;
    text.copy(target, count);
    target[count] = L'\0';
}

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// Reads one "%d" item from text at pos the way the scan functions do: white space, optional
// sign, at least one decimal digit. Out-of-range numbers saturate instead of being undefined.
bool ScanInt(std::wstring_view text, size_t& pos, int32_t& value)
{
    size_t i = pos;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    size_t firstDigit = i;
    int64_t magnitude = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        if (magnitude <= int64_t(INT32_MAX) + 1)
            magnitude = magnitude * 10 + (text[i] - L'0');
        ++i;
    }
    if (i == firstDigit)
        return false;
    int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX)
        signedValue = INT32_MAX;
    if (signedValue < INT32_MIN)
        signedValue = INT32_MIN;
    value = int32_t(signedValue);
    pos = i;
    return true;
}

int32_t AddWrapping(int32_t a, int32_t b)
{
    return int32_t(uint32_t(a) + uint32_t(b));
}

} // namespace

ButtonInfo ParseButtonInfo(std::wstring_view value)
{
    ButtonInfo info{};

    std::wstring_view rest = value;
    size_t firstComma = value.find(L',');
    if (firstComma != std::wstring_view::npos) {
        CopyTruncated(info.szName, value.substr(0, firstComma));
        rest = value.substr(firstComma + 1);
    }

    // left,top,width,height: stop at the first item that cannot be read.
    int32_t numbers[4] = {0, 0, 0, 0};
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= rest.size() || rest[pos] != L',')
                break;
            ++pos;
        }
        if (!ScanInt(rest, pos, numbers[i]))
            break;
    }
    info.nLeft = numbers[0];
    info.nTop = numbers[1];
    info.nRight = AddWrapping(numbers[0], numbers[2]);
    info.nBottom = AddWrapping(numbers[1], numbers[3]);

    info.bSelected = rest.find(L"TRUE") != std::wstring_view::npos;

    // The caption is the field before the last one.
    size_t lastComma = rest.rfind(L',');
    std::wstring_view withoutFlag = lastComma == std::wstring_view::npos ? std::wstring_view{} : rest.substr(0, lastComma);
    size_t captionComma = withoutFlag.rfind(L',');
    CopyTruncated(info.szCaption,
                  captionComma == std::wstring_view::npos ? withoutFlag : withoutFlag.substr(captionComma + 1));
    return info;
}

namespace skinpath {

std::wstring DescriptionFile(const std::wstring& programFolder, std::wstring_view fileName)
{
    std::wstring path = programFolder;
    path += kSkinFolderName;
    path += L'\\';
    path += fileName;
    return path;
}

std::wstring ImageFile(const std::wstring& programFolder, std::wstring_view imageName)
{
    return DescriptionFile(programFolder, imageName);
}

std::wstring FolderOfModulePath(std::wstring_view modulePath)
{
    size_t lastSeparator = modulePath.find_last_of(L"\\/");
    std::wstring folder;
    if (lastSeparator != std::wstring_view::npos)
        folder.assign(modulePath.substr(0, lastSeparator + 1));
    else if (modulePath.size() >= 2 && modulePath[1] == L':')
        folder.assign(modulePath.substr(0, 2));  // "C:name.exe": the drive alone
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return folder;
}

int32_t TextToInt(std::wstring_view text)
{
    size_t pos = 0;
    int32_t value = 0;
    return ScanInt(text, pos, value) ? value : 0;
}

} // namespace skinpath
