// The platform side of loading a document: reading the file and MultiByteToWideChar.
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <vector>

#include "diag.h"
#include "xmldoc.h"

namespace qelt {
namespace {

class WindowsCodePageConverter final : public CodePageConverter {
public:
    bool Convert(unsigned codePage, const uint8_t* bytes, size_t count, XmlString& out) const override
    {
        out.clear();
        if (count == 0)
            return true;
        const char* source = reinterpret_cast<const char*>(bytes);
        const int length = static_cast<int>(count);  // the caller keeps files below INT_MAX
        const int needed = MultiByteToWideChar(codePage, 0, source, length, nullptr, 0);
        if (needed <= 0) {
            DiagLastError(L"MultiByteToWideChar");
            return false;
        }
        std::vector<wchar_t> wide(static_cast<size_t>(needed));
        const int written = MultiByteToWideChar(codePage, 0, source, length, wide.data(), needed);
        if (written <= 0) {
            DiagLastError(L"MultiByteToWideChar");
            return false;
        }
        out.assign(wide.begin(), wide.begin() + written);
        return true;
    }
};

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// Larger files are not key tables; refusing them keeps every count within an int.
constexpr long long kMaxFileBytes = INT_MAX / 2;

XmlString FromWide(const wchar_t* text)
{
    XmlString out;
    for (; text && *text; ++text)
        out.push_back(static_cast<char16_t>(*text));
    return out;
}

} // namespace

const CodePageConverter& SystemCodePageConverter()
{
    static const WindowsCodePageConverter converter;
    return converter;
}

bool CXmlDoc::LoadFromFile(const wchar_t* path)
{
    m_text.clear();
    m_flags = FromFile;
    std::unique_ptr<FILE, FileCloser> file(_wfopen(path, L"rb"));
    if (!file) {
        const int error = errno;
        DiagError(L"_wfopen", static_cast<unsigned long>(error));
        m_loadStatus = FromWide(_wcserror(error));
        m_diagnostic = m_loadStatus;
        return false;
    }
    long long length = -1;
    if (_fseeki64(file.get(), 0, SEEK_END) == 0)
        length = _ftelli64(file.get());
    if (length < 0 || length > kMaxFileBytes || _fseeki64(file.get(), 0, SEEK_SET) != 0) {
        DiagError(L"_fseeki64 (file length)", static_cast<unsigned long>(errno));
        m_loadStatus = length > kMaxFileBytes ? XmlString(u"File too large") : FromWide(_wcserror(errno));
        m_diagnostic = m_loadStatus;
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    const size_t read = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (read < bytes.size())
        DiagError(L"fread", static_cast<unsigned long>(errno));
    LoadFromBytes(bytes.data(), read, SystemCodePageConverter());
    return true;
}

} // namespace qelt
