#pragma once
// Test helpers: a fresh folder removed with everything in it, and whole-file reads.
#include <filesystem>
#include <string>
#include <vector>

namespace qelt::testing {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The folder with a trailing backslash, as the data folder is kept.
    std::wstring WithSlash() const { return m_path.wstring() + L"\\"; }
    std::wstring File(const wchar_t* name) const { return (m_path / name).wstring(); }

private:
    std::filesystem::path m_path;
};

std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
// The text of a file in UTF-8: a UTF-16LE file (with its byte-order mark) converted, any other
// file as its bytes are.
std::string ReadText(const std::wstring& path);
bool IsUtf16LeFile(const std::wstring& path);
// Lines of a CRLF text file (as ReadText gives it), without their line ends; blank lines left out.
std::vector<std::string> ReadLines(const std::wstring& path);

} // namespace qelt::testing
