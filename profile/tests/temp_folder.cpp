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

std::vector<std::string> ReadLines(const std::wstring& path)
{
    std::vector<std::string> lines;
    std::istringstream in(ReadBytes(path));
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
