// Loading files through the platform: _wfopen and MultiByteToWideChar (run under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "diag.h"
#include "xmldoc.h"

namespace qelt {
namespace {

std::wstring TempFile(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"qelt_xml_" + name;
}

std::wstring Write(const wchar_t* name, const std::string& bytes)
{
    const std::wstring path = TempFile(name);
    FILE* file = _wfopen(path.c_str(), L"wb");
    EXPECT_NE(file, nullptr);
    if (file) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

std::wstring Wide(const XmlString& text)
{
    return std::wstring(text.begin(), text.end());
}

struct FileCase {
    const wchar_t* name;
    std::string bytes;
    const wchar_t* text;
};

TEST(LoadFromFile, DecodesEachEncoding)
{
    const FileCase cases[] = {
        {L"utf8.xml", "<r>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</r>", L"<r>\u00E9\u20AC\U0001F600</r>"},
        {L"utf8bom.xml", "\xEF\xBB\xBF<r>\xC3\xA9</r>", L"<r>\u00E9</r>"},
        {L"utf16le.xml", std::string("\xFF\xFE<\0r\0>\0\xAC\x20=\xD8\0\xDE<\0/\0r\0>\0", 22),
         L"<r>\u20AC\U0001F600</r>"},
        {L"utf16be.xml", std::string("\xFE\xFF\0<\0r\0>\x20\xAC\xD8=\xDE\0\0<\0/\0r\0>", 22),
         L"<r>\u20AC\U0001F600</r>"},
        // ISO-8859-1 proper: 0x80 is a control character there, the euro sign in windows-1252.
        {L"latin1.xml", "<?xml version='1.0' encoding='ISO-8859-1'?><r>\x80\xE9</r>",
         L"<?xml version='1.0' encoding='ISO-8859-1'?><r>\u0080\u00E9</r>"},
        {L"cyrillic.xml", "<?xml version=\"1.0\" encoding=\"windows-1251\"?><r>\xC0\xFF</r>",
         L"<?xml version=\"1.0\" encoding=\"windows-1251\"?><r>\u0410\u044F</r>"},
        {L"html.htm", "<html><head><meta http-equiv='Content-Type' content='text/html; charset=koi8-r'>"
                      "</head>\xE1</html>",
         L"<html><head><meta http-equiv='Content-Type' content='text/html; charset=koi8-r'>"
         L"</head>\u0410</html>"},
        {L"late.xml", "<!-- first --><?xml encoding='windows-1251'?><r>\xC0</r>",
         L"<!-- first --><?xml encoding='windows-1251'?><r>\uFFFD</r>"},
        {L"nuls.xml", std::string("\0<r>\0a\0</r>\0", 12), L"<r>a</r>"},
        {L"nuls16.xml", std::string("\xFE\xFF\0\0\0<\0r\0\0\0/\0>\0\0", 16), L"<r/>"},
        {L"utf32.xml", "<?xml encoding='UTF-32'?><r/>", L"<?xml encoding='UTF-32'?><r/>"},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = Write(c.name, c.bytes);
        CXmlDoc doc;
        EXPECT_TRUE(doc.LoadFromFile(path.c_str()));
        EXPECT_EQ(Wide(doc.Text()), c.text);
        EXPECT_TRUE(doc.Flags() & CXmlDoc::FromFile);
        DeleteFileW(path.c_str());
    }
}

TEST(LoadFromFile, UndeclaredBytesUseTheAnsiCodePageUnlessTheyLookLikeUtf8)
{
    const std::wstring latin = Write(L"ansi.xml", " <r>\xE9</r>");
    const std::wstring utf8 = Write(L"detected.xml", " <r>\xC3\xA9</r>");
    wchar_t expected[8] = {};
    const char e9[] = "\xE9";
    MultiByteToWideChar(CP_ACP, 0, e9, 1, expected, 8);
    CXmlDoc doc;
    ASSERT_TRUE(doc.LoadFromFile(latin.c_str()));
    EXPECT_EQ(Wide(doc.Text()), std::wstring(L" <r>") + expected + L"</r>");
    EXPECT_EQ(doc.Diagnostic(), u"ANSI length 9 to 9 wide chars");  // the load status
    EXPECT_TRUE(doc.ParseText());
    EXPECT_EQ(doc.Diagnostic(), u"ANSI length 9 to 9 wide chars");
    ASSERT_TRUE(doc.LoadFromFile(utf8.c_str()));
    EXPECT_EQ(Wide(doc.Text()), L" <r>\u00E9</r>");
    DeleteFileW(latin.c_str());
    DeleteFileW(utf8.c_str());
}

TEST(LoadFromFile, MissingAndEmptyFiles)
{
    CXmlDoc doc;
    doc.SetText(u"<old/>");
    DiagCapture capture;
    EXPECT_FALSE(doc.LoadFromFile(TempFile(L"does_not_exist.xml").c_str()));
    EXPECT_TRUE(doc.Text().empty());
    EXPECT_TRUE(capture.Contains(L"_wfopen"));
    EXPECT_FALSE(doc.ParseText());
    const std::wstring diagnostic = Wide(doc.Diagnostic());
    EXPECT_NE(diagnostic, L"Empty document");  // the platform's reason comes first
    EXPECT_NE(diagnostic.find(L"Empty document"), std::wstring::npos);

    const std::wstring empty = Write(L"empty.xml", "");
    EXPECT_TRUE(doc.LoadFromFile(empty.c_str()));
    EXPECT_TRUE(doc.Text().empty());
    EXPECT_FALSE(doc.ParseText());
    EXPECT_EQ(doc.Diagnostic(), u"0 length Empty document");
    DeleteFileW(empty.c_str());
}

TEST(ShippedKeyTable, NamesEveryKeyOfAStandardKeyboard)
{
    const std::wstring path = L"Z:" QELT_SOURCE_DIR_W L"/assets/table.xml";
    CXmlDoc doc;
    ASSERT_TRUE(doc.LoadFromFile(path.c_str()));
    ASSERT_TRUE(doc.ParseText()) << Wide(doc.Diagnostic());
    const unsigned keys[] = {
        0x08, 0x09, 0x0C, 0x0D, 0x10, 0x11, 0x12, 0x13, 0x14, 0x1B, 0x20, 0x21, 0x22, 0x23, 0x24,
        0x25, 0x26, 0x27, 0x28, 0x2C, 0x2D, 0x2E, 0x5B, 0x5C, 0x5D, 0x60, 0x61, 0x62, 0x63, 0x64,
        0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6D, 0x6E, 0x6F, 0x70, 0x71, 0x72, 0x73, 0x74,
        0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x90, 0x91, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5,
        0xAD, 0xAE, 0xAF, 0xB0, 0xB1, 0xB2, 0xB3,
    };
    for (unsigned vk : keys) {
        char16_t key[16];
        for (int i = 0; i < 5; ++i)
            key[i] = u"CODE_"[i];
        key[5] = u"0123456789abcdef"[vk >> 4];
        key[6] = u"0123456789abcdef"[vk & 15];
        key[7] = 0;
        const XmlString name = doc.LookupText(u"KEYTABLE", key);
        EXPECT_FALSE(name.empty()) << std::hex << vk;
        EXPECT_EQ(name.find(u"VK:"), XmlString::npos) << std::hex << vk;
        EXPECT_EQ(name.find(u'&'), XmlString::npos) << std::hex << vk;  // menus would eat it
    }
    const std::pair<const char16_t*, const char16_t*> named[] = {
        {u"CODE_0d", u"Enter"}, {u"CODE_a0", u"Left Shift"}, {u"CODE_67", u"Num 7"}, {u"CODE_7b", u"F12"}};
    for (auto [key, expected] : named)
        EXPECT_EQ(doc.LookupText(u"KEYTABLE", key), XmlString(expected));
}

} // namespace
} // namespace qelt
