#include "file_replacement.h"

#include <windows.h>

#include <atomic>
#include <cwchar>
#include <vector>

#include "diag.h"
#include "handles.h"

namespace qelt {
namespace {

constexpr char kUtf16LeMark[] = "\xFF\xFE";
constexpr wchar_t kWorkFilePrefix[] = L"~qelt";
constexpr wchar_t kWorkFilePattern[] = L"~qelt*.tmp";
constexpr unsigned kWorkFileDatedBackSeconds = 5;
static_assert(kWorkFileDatedBackSeconds * 4 < FileReplacement::kStaleWorkFileSeconds, "a fresh work file is never stale");
// A reader of the target (the other program loading it) holds it open for a moment, and the
// platform does not replace an open file: try again for a while.
constexpr DWORD kRenameDeadlineMs = 2000;
constexpr DWORD kRenameLongestPauseMs = 50;

struct FindHandleTraits {  // FindFirstFileW
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) noexcept { return h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { FindClose(h); }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

bool StartsWith(const std::string& bytes, const char* prefix, size_t length)
{
    return bytes.size() >= length && bytes.compare(0, length, prefix, length) == 0;
}

// A byte-order mark the platform recognises: the file keeps that encoding.
bool HasByteOrderMark(const std::string& bytes)
{
    return StartsWith(bytes, "\xFF\xFE", 2) || StartsWith(bytes, "\xFE\xFF", 2) || StartsWith(bytes, "\xEF\xBB\xBF", 3);
}

std::string AnsiToUtf16Le(const std::string& ansi)
{
    std::string result(kUtf16LeMark, 2);
    if (ansi.empty())
        return result;
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), nullptr, 0);
    std::vector<wchar_t> wide(size_t(length > 0 ? length : 0));
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), wide.data(), length);
    result.append(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    return result;
}

std::wstring FullPath(const std::wstring& path)
{
    wchar_t buffer[MAX_PATH * 2];
    const DWORD length = GetFullPathNameW(path.c_str(), DWORD(std::size(buffer)), buffer, nullptr);
    if (length == 0 || length >= std::size(buffer))
        return path;
    return std::wstring(buffer, length);
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The whole file, or false with the last-error code set (ERROR_FILE_NOT_FOUND: there is none).
bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        return false;
    bytes.resize(size_t(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, DWORD(bytes.size() - done), &got, nullptr))
            return false;
        if (got == 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return true;
}

bool RenameIsWorthRetrying(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

} // namespace

FileWriteResult FileWriteResult::Failure(std::wstring path, unsigned long error)
{
    FileWriteResult result;
    result.failedPath = std::move(path);
    // A failure the platform gave no code for still has to read as one.
    result.nError = error != 0 ? error : ERROR_WRITE_FAULT;
    return result;
}

void FileWriteResult::Merge(const FileWriteResult& other)
{
    if (Ok() && !other.Ok())
        *this = other;
}

std::wstring FileWriteResult::Describe() const
{
    if (Ok())
        return {};
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, nError, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring reason;
    if (length > 0 && text != nullptr) {
        reason.assign(text, length);
        while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' '))
            reason.pop_back();
    }
    if (text != nullptr)
        LocalFree(text);
    wchar_t code[32];
    std::swprintf(code, 32, L"error 0x%lx", nError);
    return failedPath + L": " + (reason.empty() ? std::wstring(code) : reason + L" (" + code + L")");
}

bool FitsAnsiCodePage(const std::wstring& text)
{
    bool ascii = true;
    for (wchar_t c : text)
        ascii = ascii && c < 0x80;
    if (ascii)
        return true;
    // Whatever does not come back unchanged from the code page is lost in an ANSI file.
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return false;
    std::string narrow(size_t(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), narrow.data(), length, nullptr, nullptr);
    const int back = MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, nullptr, 0);
    std::wstring again(size_t(back > 0 ? back : 0), L'\0');
    if (back > 0)
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, again.data(), back);
    return again == text;
}

FileReplacement::FileReplacement(std::wstring target, bool needsUnicode)
    : m_target(FullPath(target)), m_folder(FolderOf(m_target))
{
    Prepare(needsUnicode);
}

FileReplacement::~FileReplacement()
{
    if (m_bWorkFileExists && !DeleteFileW(m_workPath.c_str()))
        DiagLastError(L"DeleteFileW (work file)");
}

void FileReplacement::Fail(unsigned long error)
{
    m_result = FileWriteResult::Failure(m_target, error);
}

void FileReplacement::Prepare(bool needsUnicode)
{
    RemoveStaleWorkFiles();
    std::string bytes;
    if (!ReadWholeFile(m_target, bytes)) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            // A folder of that name, a file without access, a folder that is not there.
            DiagError(L"CreateFileW (reading the file to replace)", error);
            Fail(error);
            return;
        }
        bytes.clear();
    }
    if (bytes.empty())
        bytes.assign(kUtf16LeMark, 2);
    else if (needsUnicode && !HasByteOrderMark(bytes))
        bytes = AnsiToUtf16Le(bytes);
    else
        m_targetBytes = bytes;
    CreateWorkFile(bytes);
}

bool FileReplacement::CreateWorkFile(const std::string& initialBytes)
{
    static std::atomic<unsigned> counter{0};
    UniqueHandle file;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        wchar_t name[64];
        std::swprintf(name, 64, L"%ls%lx-%x.tmp", kWorkFilePrefix, GetCurrentProcessId(), counter++);
        m_workPath = m_folder + name;
        file.Reset(CreateFileW(m_workPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
        if (!file && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (!file) {
        const DWORD error = GetLastError();
        DiagError(L"CreateFileW (work file)", error);
        Fail(error);
        return false;
    }
    m_bWorkFileExists = true;
    DWORD written = 0;
    if (!WriteFile(file.Get(), initialBytes.data(), DWORD(initialBytes.size()), &written, nullptr) ||
        written != initialBytes.size()) {
        const DWORD error = GetLastError();
        DiagError(L"WriteFile (work file)", error);
        Fail(error);
        return false;
    }
    // The platform parses a file written in the last two seconds again on every call, but trusts
    // the copy it parsed of an older one. Dated back, the copy costs the writes of values that do
    // not change nothing, as they cost nothing in place; the first changed value dates it now.
    // (Far less than kStaleWorkFileSeconds back: another program's save must not take it for a
    // work file left behind.)
    FILETIME dated{};
    GetSystemTimeAsFileTime(&dated);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = dated.dwLowDateTime;
    ticks.HighPart = dated.dwHighDateTime;
    ticks.QuadPart -= ULONGLONG(kWorkFileDatedBackSeconds) * 10000000ull;
    dated.dwLowDateTime = ticks.LowPart;
    dated.dwHighDateTime = ticks.HighPart;
    if (!SetFileTime(file.Get(), nullptr, nullptr, &dated))
        DiagLastError(L"SetFileTime (work file)");
    return true;
}

FileWriteResult FileReplacement::Commit(unsigned long writeError)
{
    if (!Ready())
        return m_result;
    if (writeError != 0) {
        Fail(writeError);
        return m_result;
    }
    if (!m_targetBytes.empty()) {
        // Saving everything rewrites files nothing changed in: those keep the file they have,
        // without the cost of putting a copy on disk.
        std::string written;
        if (ReadWholeFile(m_workPath, written) && written == m_targetBytes) {
            if (DeleteFileW(m_workPath.c_str()))
                m_bWorkFileExists = false;
            return m_result;
        }
    }
    {
        // On disk before it takes the target's name: a machine losing power then leaves the
        // old file or the whole new one.
        UniqueHandle work(CreateFileW(m_workPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!work || !FlushFileBuffers(work.Get())) {
            const DWORD error = GetLastError();
            DiagError(L"FlushFileBuffers (work file)", error);
            Fail(error);
            return m_result;
        }
    }
    const ULONGLONG start = GetTickCount64();
    for (DWORD pause = 1;; pause = pause * 2 < kRenameLongestPauseMs ? pause * 2 : kRenameLongestPauseMs) {
        if (MoveFileExW(m_workPath.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            m_bWorkFileExists = false;
            return m_result;
        }
        const DWORD error = GetLastError();
        if (!RenameIsWorthRetrying(error) || GetTickCount64() - start >= kRenameDeadlineMs) {
            DiagError(L"MoveFileExW", error);
            Diag(L"Cannot replace %ls\n", m_target.c_str());
            Fail(error);
            return m_result;
        }
        Sleep(pause);
    }
}

void FileReplacement::RemoveStaleWorkFiles() const
{
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = m_folder + kWorkFilePattern;
    const UniqueFindHandle search(FindFirstFileW(pattern.c_str(), &found));
    if (!search)
        return;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG nowTicks = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr ULONGLONG kTicksPerSecond = 10000000ull;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const ULONGLONG written = (ULONGLONG(found.ftLastWriteTime.dwHighDateTime) << 32) |
                                  found.ftLastWriteTime.dwLowDateTime;
        if (written + kStaleWorkFileSeconds * kTicksPerSecond < nowTicks) {
            const std::wstring stale = m_folder + found.cFileName;
            if (DeleteFileW(stale.c_str()))
                Diag(L"Removed %ls, left by a save that did not end\n", stale.c_str());
        }
    } while (FindNextFileW(search.Get(), &found));
}

} // namespace qelt
