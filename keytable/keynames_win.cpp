// The editor's key names: table.xml beside the program and the foreground window's layout.
#include <windows.h>

#include <cwchar>
#include <string>

#include "diag.h"
#include "keycodes_win.h"
#include "keynames.h"

namespace qelt {
namespace {

// The layout of the thread owning the foreground window, asked anew at every call.
class ForegroundTypingLayout final : public TypingLayout {
public:
    unsigned MapKey(unsigned code, unsigned mapType) const override
    {
        return MapVirtualKeyExW(code, mapType, ForegroundKeyboardLayout::Current());
    }
    int ToUnicode(unsigned virtualKey, unsigned scanCode, const uint8_t keyState[256], char16_t* out,
                  int capacity) const override
    {
        static_assert(sizeof(wchar_t) == sizeof(char16_t));
        return ToUnicodeEx(virtualKey, scanCode, keyState, reinterpret_cast<wchar_t*>(out), capacity,
                           0, ForegroundKeyboardLayout::Current());
    }
};

std::wstring KeyTablePath()
{
    wchar_t module[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        DiagLastError(L"GetModuleFileNameW");
    std::wstring folder(module);
    const size_t slash = folder.find_last_of(L"\\/");
    folder.resize(slash == std::wstring::npos ? 0 : slash);
    wchar_t path[MAX_PATH + 16];
    std::swprintf(path, MAX_PATH + 16, L"%ls\\table.xml", folder.c_str());
    return path;
}

KeyNameTable& EditorKeyNames()
{
    static KeyNameTable table([](CXmlDoc& document) {
        return document.LoadFromFile(KeyTablePath().c_str());
    });
    return table;
}

std::wstring ToWide(const XmlString& text)
{
    return std::wstring(text.begin(), text.end());
}

} // namespace

std::wstring KeyName(unsigned virtualKey)
{
    return ToWide(EditorKeyNames().Name(virtualKey, ForegroundTypingLayout()));
}

std::wstring KeyNameOfCode(uint8_t keyCode)
{
    return ToWide(EditorKeyNames().NameOfCode(keyCode, ForegroundTypingLayout()));
}

} // namespace qelt
