#include "output.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "diag.h"
#include "text.h"

namespace qelt::testtool {

namespace {

std::wstring FormatV(const wchar_t* format, va_list args)
{
    std::wstring text(256, L'\0');
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int written = vswprintf(text.data(), text.size(), format, copy);
        va_end(copy);
        if (written >= 0 && static_cast<size_t>(written) < text.size()) {
            text.resize(static_cast<size_t>(written));
            return text;
        }
        if (text.size() > (1u << 24))
            return L"(line too long)";
        text.resize(text.size() * 4);
    }
}

void WriteLine(DWORD which, const std::wstring& text)
{
    // Bytes straight to the handle: no C runtime text-mode "\r\n", no console code page.
    std::string bytes = Utf8FromWide(text);
    bytes.push_back('\n');
    HANDLE out = GetStdHandle(which);
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE)
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace

void PrintLine(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = FormatV(format, args);
    va_end(args);
    WriteLine(STD_OUTPUT_HANDLE, text);
}

void PrintError(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    std::wstring text = FormatV(format, args);
    va_end(args);
    WriteLine(STD_ERROR_HANDLE, L"qelt_testtool: " + text);
}

long long NowMicroseconds()
{
    LARGE_INTEGER frequency{}, counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    long long f = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
    return counter.QuadPart / f * 1000000 + counter.QuadPart % f * 1000000 / f;
}

bool LogFile::Open(const std::wstring& path)
{
    m_file.Reset(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file) {
        DiagLastError(L"CreateFileW (log)");
        return false;
    }
    return true;
}

void LogFile::Line(const wchar_t* format, ...)
{
    if (!m_file)
        return;
    va_list args;
    va_start(args, format);
    std::string bytes = Utf8FromWide(FormatV(format, args));
    va_end(args);
    bytes.push_back('\n');
    DWORD written = 0;
    if (!WriteFile(m_file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        DiagLastError(L"WriteFile (log)");
}

std::wstring HexValue(unsigned long long value)
{
    wchar_t buffer[24];
    swprintf(buffer, 24, L"0x%llx", value);
    return buffer;
}

} // namespace qelt::testtool
