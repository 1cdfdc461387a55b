#include "keynames.h"

#include <cstdio>

namespace qelt {
namespace {

constexpr unsigned kCapsLock = 0x14;
constexpr int kCharacterCapacity = 260;

XmlString Format(const char* format, unsigned value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return XmlString(buffer, buffer + std::char_traits<char>::length(buffer));
}

} // namespace

bool IsNamedByFile(unsigned v)
{
    return (v >= 0x08 && v <= 0x09) || (v >= 0x0C && v <= 0x0D) || (v >= 0x10 && v <= 0x14) ||
           v == 0x1B || (v >= 0x20 && v <= 0x2F) || (v >= 0x5B && v <= 0x5D) ||
           (v >= 0x60 && v <= 0x7B) || (v >= 0x90 && v <= 0x91) || (v >= 0xA0 && v <= 0xB7) ||
           v == 0xFF;
}

void KeyNameTable::LoadIfEmpty()
{
    if (!m_document.Text().empty())
        return;
    if (m_loader && m_loader(m_document))
        m_document.ParseText();
}

XmlString KeyNameTable::Name(unsigned virtualKey, const TypingLayout& layout)
{
    LoadIfEmpty();
    XmlString name = m_document.LookupText(u"KEYTABLE", Format("CODE_%02x", virtualKey));
    if (IsNamedByFile(virtualKey))
        return name.empty() ? Format("VK:%x", virtualKey) : name;

    if (name.empty())
        name = Format("%x", virtualKey);
    if (name.find(u"VK:") != XmlString::npos)
        return name;
    // The character of the key with nothing held and Caps Lock on: letters in upper case.
    uint8_t keyState[256] = {};
    keyState[kCapsLock] = 1;
    char16_t typed[kCharacterCapacity] = {};
    const unsigned scanCode = layout.MapKey(virtualKey, 0);
    if (layout.ToUnicode(virtualKey, scanCode, keyState, typed, kCharacterCapacity) > 0)
        name = typed[0] == u'&' ? XmlString(u"&&") : XmlString(1, typed[0]);  // menus show "&&" as "&"
    return name;
}

XmlString KeyNameTable::NameOfCode(uint8_t keyCode, const TypingLayout& layout)
{
    return Name(VkFromKeyCode(keyCode, layout), layout);
}

} // namespace qelt
