#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_converter.h"
#include "xmldoc.h"

namespace qelt {
namespace {

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(LooksLikeUtf8, FollowsTheLeadByteRule)
{
    const std::pair<std::string, bool> cases[] = {
        {"plain ascii", true},
        {"", true},
        {"caf\xC3\xA9", true},
        {"\xE2\x82\xAC euro", true},
        {"\xF0\x9F\x98\x80", true},
        {"caf\xE9", false},                   // Latin-1: a lead byte without follower
        {"caf\xE9 x", false},                 // follower below 0x80
        {"\xE2\x82", false},                  // runs out
        {"\xF8\x88\x80\x80\x80", false},      // bit 0x08 set in a four-byte lead
        {"\xC3\xA9\x00\xE9", true},           // the walk stops at a zero byte
        {"\x80\x80", true},                   // lenient: only the high bits are looked at
    };
    for (const auto& [text, expected] : cases) {
        const std::vector<uint8_t> bytes = Bytes(text);
        EXPECT_EQ(LooksLikeUtf8(bytes.data(), bytes.size()), expected) << text;
    }
}

TEST(CodePageFromName, LooksUpCharsetNames)
{
    const std::pair<const char16_t*, unsigned> known[] = {
        {u"iso-8859-1", 28591}, {u"ISO-8859-1", 28591}, {u"Latin1", 28591}, {u"utf-8", 65001},
        {u"UTF-8", 65001}, {u"Shift_JIS", 932}, {u"windows-1251", 1251}, {u"koi8-u", 21866},
        {u"us-ascii", 20127}, {u"iso_646.irv:1991", 20127}, {u"_iso-2022-jp$sio", 50222},
        {u"x-ebcdic-koreanandkoreanextended", 50933}, {u"latin9", 28605}, {u"utf-16", 1200},
        {u"extended_unix_code_packed_format_for_japanese", 51932}, {u"ebcdic-cp-us", 37},
        {u"UTF-32", 65005}, {u"UTF-32BE", 65005}, {u"", 0},
    };
    for (auto [name, expected] : known) {
        unsigned codePage = 1;
        ASSERT_TRUE(CodePageFromName(name, codePage)) << std::string(name, name + 3);
        EXPECT_EQ(codePage, expected);
    }
    const XmlString unknown[] = {
        u"utf-32",  // only the exact upper-case prefix names UTF-32
        u"utf8", u"latin-1", u" utf-8", u"iso-8859-1\u0100",
        XmlString(100, u'a'),
        XmlString(u"iso-8859-1") + XmlString(95, u' '),
    };
    for (const XmlString& name : unknown) {
        unsigned codePage = 7;
        EXPECT_FALSE(CodePageFromName(name, codePage)) << std::string(name.begin(), name.end());
    }
}

TEST(DeclaredEncoding, ReadsTheXmlDeclarationOrTheHtmlMetaCharset)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r/>", u"ISO-8859-1"},
        {u"<?xml version='1.0' encoding='windows-1251'?>", u"windows-1251"},
        {u"<?XML encoding=utf-8?>", u"utf-8"},
        {u"<?xml version='1.0'?><r/>", u""},
        {u"<!-- c --><?xml version='1.0' encoding='ISO-8859-1'?>", u""},  // not at the start
        {u" <?xml version='1.0' encoding='ISO-8859-1'?>", u""},
        {u"<!DOCTYPE HTML><html><head><meta http-equiv=\"Content-Type\" "
         u"content=\"text/html; charset=windows-1252\"></head>", u"windows-1252"},
        {u"<HTML><META HTTP-EQUIV=content-type CONTENT='text/html;charset=koi8-r'>", u"koi8-r"},
        {u"<html><meta name='x' content='charset=big5'><meta http-equiv='Content-Type' "
         u"content='text/html; charset = gb2312'>", u"gb2312"},
        {u"<html><head></head><meta http-equiv='Content-Type' content='charset=big5'>", u""},
        {u"<body><html><meta http-equiv='Content-Type' content='charset=big5'>", u""},
        {u"<html><meta http-equiv='Content-Type' content='text/html'>", u""},
        {u"<html><1><meta http-equiv='Content-Type' content='charset=big5'>", u""},
        {u"<html><meta http-equiv='Content-Type' content='charset=", u""},
        {u"", u""},
    };
    for (auto [head, expected] : cases)
        EXPECT_EQ(DeclaredEncoding(head), XmlString(expected)) << std::string(head, head + 20);
}

struct LoadCase {
    const char* name;
    std::string bytes;
    const char16_t* text;
    uint32_t flags;               // byte-order mark flags expected
    std::vector<unsigned> codePages;  // conversions asked for, in order
};

TEST(LoadFromBytes, RecognisesTheEncoding)
{
    using D = CXmlDoc;
    const std::string utf16le("\xFF\xFE<\0r\0>\0\xE9\0\xAC\x20<\0/\0r\0>\0", 20);
    const std::string utf16be("\xFE\xFF\0<\0r\0>\0\xE9\x20\xAC\0<\0/\0r\0>", 20);
    const LoadCase cases[] = {
        {"utf-8 with mark", "\xEF\xBB\xBF<r>\xC3\xA9</r>", u"<r>\u00E9</r>", D::Utf8Bom, {65001}},
        {"utf-8 without mark, starts with <", "<r>\xC3\xA9</r>", u"<r>\u00E9</r>", 0, {65001}},
        {"utf-8 by detection", " <r>\xC3\xA9</r>", u" <r>\u00E9</r>", 0, {65001}},
        {"ansi when the test fails", " <r>\xE9</r>", u" <r>\u00E9</r>", 0, {0}},
        {"utf-16le", utf16le, u"<r>\u00E9\u20AC</r>", D::Utf16LeBom, {}},
        {"utf-16be", utf16be, u"<r>\u00E9\u20AC</r>", D::Utf16BeBom, {}},
        {"declared upper case", "<?xml version='1.0' encoding='ISO-8859-1'?><r>\xE9</r>",
         u"<?xml version='1.0' encoding='ISO-8859-1'?><r>\u00E9</r>", 0, {28591}},
        {"declaration after a comment", "<!--c--><?xml encoding='ISO-8859-1'?><r>\xE9</r>",
         u"<!--c--><?xml encoding='ISO-8859-1'?><r>\uFFFD</r>", 0, {65001}},
        {"unknown declared name", "<?xml encoding='no-such-charset'?><r/>",
         u"<?xml encoding='no-such-charset'?><r/>", 0, {0}},
        {"utf-32 falls back to ansi", "<?xml encoding='UTF-32'?><r/>",
         u"<?xml encoding='UTF-32'?><r/>", 0, {65005, 0}},
        {"nuls in a byte file", std::string("\0<r\0>x\0</r>\0", 12), u"<r>x</r>", 0, {65001}},
        {"nuls in utf-16", std::string("\xFF\xFE\0\0<\0r\0/\0\0\0>\0", 14), u"<r/>", D::Utf16LeBom, {}},
        {"odd byte of utf-16 dropped", std::string("\xFF\xFE<\0r\0/\0>\0x", 11), u"<r/>", D::Utf16LeBom, {}},
        {"only a mark", "\xEF\xBB\xBF", u"", D::Utf8Bom, {65001}},
        {"one byte", "<", u"<", 0, {65001}},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        testing::HostConverter converter;
        CXmlDoc doc;
        doc.LoadFromBytes(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), converter);
        EXPECT_EQ(doc.Text(), XmlString(c.text));
        EXPECT_EQ(doc.Flags(), D::FromFile | c.flags);
        EXPECT_EQ(converter.requested, c.codePages);
    }
}

TEST(LoadFromBytes, DetectsOnlyWithinTheFirstKilobyte)
{
    // The declaration is read from the first 1024 bytes only.
    std::string late = "<html>" + std::string(1100, ' ') +
                       "<meta http-equiv='Content-Type' content='charset=iso-8859-1'>\xE9";
    testing::HostConverter converter;
    CXmlDoc doc;
    doc.LoadFromBytes(reinterpret_cast<const uint8_t*>(late.data()), late.size(), converter);
    EXPECT_EQ(converter.requested, std::vector<unsigned>{65001});  // starts with "<"
}

TEST(LoadFromBytes, StatusLeadsTheDiagnostic)
{
    testing::HostConverter converter;
    CXmlDoc doc;
    doc.LoadFromBytes(nullptr, 0, converter);
    EXPECT_TRUE(doc.Text().empty());
    EXPECT_EQ(doc.Diagnostic(), u"0 length");
    doc.ParseText();
    EXPECT_EQ(doc.Diagnostic(), u"0 length Empty document");

    const std::string nuls("\xFE\xFF\0<\0r\0\0\0/\0>", 12);
    doc.LoadFromBytes(reinterpret_cast<const uint8_t*>(nuls.data()), nuls.size(), converter);
    EXPECT_EQ(doc.Text(), u"<r/>");
    EXPECT_EQ(doc.Diagnostic(), u"UTF-16BE BOM + length 5 (1 nulls removed) endian swap");
    EXPECT_TRUE(doc.ParseText());
    EXPECT_EQ(doc.Diagnostic(), u"UTF-16BE BOM + length 5 (1 nulls removed) endian swap");

    const std::string broken = "<r><a></r>";
    doc.LoadFromBytes(reinterpret_cast<const uint8_t*>(broken.data()), broken.size(), converter);
    EXPECT_FALSE(doc.ParseText());
    EXPECT_EQ(doc.Diagnostic(), u"UTF-8 length 10 to 10 wide chars "
                                u"End tag 'r' at offset 6 does not match start tag 'a' at offset 3");

    const std::string good = "<r><KEYTABLE><CODE_0d>Enter</CODE_0d></KEYTABLE></r>";
    doc.LoadFromBytes(reinterpret_cast<const uint8_t*>(good.data()), good.size(), converter);
    EXPECT_TRUE(doc.ParseText());
    EXPECT_EQ(doc.Diagnostic(), u"UTF-8 length 52 to 52 wide chars");
    EXPECT_EQ(doc.LookupText(u"KEYTABLE", u"CODE_0d"), u"Enter");
}

} // namespace
} // namespace qelt
