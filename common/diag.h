#pragma once
// One diagnostic helper for the whole code base. A diagnostic is a single line for developers,
// written with OutputDebugStringW (on a host build: to stderr). Users never see these.
//
// Under Wine the lines show with WINEDEBUG=+debugstr, or on stderr when the environment variable
// QELT_DIAG_STDERR is set (the scenario tests use it).
#include <cstdarg>
#include <string>
#include <vector>
#include <mutex>

namespace qelt {

class DiagCapture;
void DeliverToCapture(const wchar_t* line);

// printf-style; the format carries its own "\n" as the diagnostics are written.
void Diag(const wchar_t* format, ...);
void DiagV(const wchar_t* format, va_list args);

// "ERROR: <operation> failed, error=<hex>\n" with the calling thread's last-error code.
void DiagLastError(const wchar_t* operation);
// The same with an explicit code (for APIs that return their status).
void DiagError(const wchar_t* operation, unsigned long error);

// Collects every diagnostic written while it lives (from any thread), for tests.
class DiagCapture {
public:
    DiagCapture();
    ~DiagCapture();
    DiagCapture(const DiagCapture&) = delete;
    DiagCapture& operator=(const DiagCapture&) = delete;

    std::vector<std::wstring> Lines() const;
    bool Contains(const std::wstring& fragment) const;
    void Clear();

private:
    friend void DeliverToCapture(const wchar_t* line);
    mutable std::mutex m_lock;
    std::vector<std::wstring> m_lines;
    DiagCapture* m_previous;
};

} // namespace qelt
