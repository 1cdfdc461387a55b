#include "diag.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qelt {
namespace {

std::mutex g_captureLock;
DiagCapture* g_capture = nullptr;

bool EchoToStderr()
{
    static const bool echo = std::getenv("QELT_DIAG_STDERR") != nullptr;
    return echo;
}

void Emit(const wchar_t* line)
{
#ifdef _WIN32
    OutputDebugStringW(line);
    if (EchoToStderr()) {
        // As UTF-8: the C runtime's wide output would turn every letter outside its locale into
        // '?', and diagnostics name the user's paths.
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
        if (bytes > 1) {
            std::string text(size_t(bytes), '\0');
            WideCharToMultiByte(CP_UTF8, 0, line, -1, text.data(), bytes, nullptr, nullptr);
            std::fwrite(text.data(), 1, size_t(bytes - 1), stderr);
            std::fflush(stderr);
        }
    }
#else
    (void)EchoToStderr;
    std::fputws(line, stderr);
#endif
    DeliverToCapture(line);
}

} // namespace

void DeliverToCapture(const wchar_t* line)
{
    std::lock_guard<std::mutex> guard(g_captureLock);
    if (g_capture) {
        std::lock_guard<std::mutex> lines(g_capture->m_lock);
        g_capture->m_lines.emplace_back(line);
    }
}

void DiagV(const wchar_t* format, va_list args)
{
    constexpr size_t kCapacity = 1024;
    wchar_t line[kCapacity];
    line[0] = L'\0';
    int written = std::vswprintf(line, kCapacity, format, args);
    if (written < 0 || static_cast<size_t>(written) >= kCapacity) {
        // Too long for one line (runtimes differ in what they leave): keep what fits, end the line.
        line[kCapacity - 1] = L'\0';
        size_t length = std::wcslen(line);
        if (length > kCapacity - 2)
            length = kCapacity - 2;
        line[length] = L'\n';
        line[length + 1] = L'\0';
    }
    Emit(line);
}

void Diag(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    DiagV(format, args);
    va_end(args);
}

void DiagError(const wchar_t* operation, unsigned long error)
{
    Diag(L"ERROR: %ls failed, error=%lx\n", operation, error);
}

void DiagLastError(const wchar_t* operation)
{
#ifdef _WIN32
    DiagError(operation, GetLastError());
#else
    DiagError(operation, 0);
#endif
}

DiagCapture::DiagCapture()
{
    std::lock_guard<std::mutex> guard(g_captureLock);
    m_previous = g_capture;
    g_capture = this;
}

DiagCapture::~DiagCapture()
{
    std::lock_guard<std::mutex> guard(g_captureLock);
    g_capture = m_previous;
}

std::vector<std::wstring> DiagCapture::Lines() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
}

bool DiagCapture::Contains(const std::wstring& fragment) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (const auto& line : m_lines)
        if (line.find(fragment) != std::wstring::npos)
            return true;
    return false;
}

void DiagCapture::Clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_lines.clear();
}

} // namespace qelt
