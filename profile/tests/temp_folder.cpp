#include "temp_folder.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace qelt::testing {

TempFolder::TempFolder()
{
    static std::atomic<int> counter{0};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        m_path = base / (L"qelt-profile-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                         std::to_wstring(counter++));
        if (std::filesystem::create_directory(m_path))
            break;
    }
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool IsUtf16LeFile(const std::wstring& path)
{
    return ReadBytes(path).rfind("\xFF\xFE", 0) == 0;
}

std::string ReadText(const std::wstring& path)
{
    const std::string bytes = ReadBytes(path);
    if (bytes.rfind("\xFF\xFE", 0) != 0)
        return bytes;
    const std::wstring wide(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(size_t(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), text.data(), length, nullptr, nullptr);
    return text;
}

std::vector<std::string> ReadLines(const std::wstring& path)
{
    std::vector<std::string> lines;
    std::istringstream in(ReadText(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

} // namespace qelt::testing
