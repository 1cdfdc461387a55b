// The tool's argument and log-field handling: the scenarios depend on these exact forms.
#include <gtest/gtest.h>

#include "text.h"

namespace qelt::testtool {
namespace {

TEST(ParseIntegerTest, AcceptsDecimalHexAndSignsAndRejectsGarbage)
{
    struct Case {
        const wchar_t* text;
        std::optional<long long> expected;
    };
    const Case cases[] = {
        {L"0", 0},          {L"123", 123},     {L"-1", -1},        {L"+7", 7},
        {L"0x1F", 0x1F},    {L"0XfF", 0xFF},   {L"-0x10", -16},    {L"0xFFFFFFFFFFFFFFFF", -1},
        {L"", std::nullopt}, {L"-", std::nullopt}, {L"0x", std::nullopt}, {L"12abc", std::nullopt},
        {L"0x1G", std::nullopt}, {L" 1", std::nullopt}, {L"0x10000000000000000", std::nullopt},
        {L"99999999999999999999", std::nullopt}, {L"9223372036854775807", 9223372036854775807LL},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseInteger(c.text), c.expected) << "text: " << testing::PrintToString(std::wstring(c.text));
}

TEST(ParseMessageTest, NamesNumbersSumsAndRegisteredNames)
{
    std::wstring registered;
    MessageRegistrar registrar = [&](const std::wstring& name) {
        registered = name;
        return name == L"Refused" ? 0u : 0xC123u;
    };
    struct Case {
        const wchar_t* text;
        std::optional<unsigned> expected;
    };
    const Case cases[] = {
        {L"WM_CLOSE", 0x10},   {L"wm_close", 0x10},     {L"WM_APP", 0x8000},   {L"WM_APP+3", 0x8003},
        {L"WM_USER+0x10", 0x410}, {L"0x8001", 0x8001},  {L"1024", 1024},       {L"reg:TaskbarCreated", 0xC123},
        {L"reg:Refused", std::nullopt}, {L"WM_NOPE", std::nullopt}, {L"-1", std::nullopt},
        {L"WM_APP+", std::nullopt}, {L"WM_APP+-1", std::nullopt}, {L"0x100000000", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseMessage(c.text, registrar), c.expected) << testing::PrintToString(std::wstring(c.text));

    // A registered name is passed on whole, '+' included.
    EXPECT_EQ(ParseMessage(L"reg:A+B", registrar), 0xC123u);
    EXPECT_EQ(registered, L"A+B");
}

TEST(ParseVirtualKeyTest, LettersDigitsAndCodes)
{
    EXPECT_EQ(ParseVirtualKey(L"a"), 0x41u);
    EXPECT_EQ(ParseVirtualKey(L"7"), 0x37u);
    EXPECT_EQ(ParseVirtualKey(L"0xAD"), 0xADu);
    EXPECT_EQ(ParseVirtualKey(L"0"), 0x30u);  // the digit key, not code 0
    EXPECT_EQ(ParseVirtualKey(L"#"), std::nullopt);
    EXPECT_EQ(ParseVirtualKey(L"0x100"), std::nullopt);
    EXPECT_EQ(ParseVirtualKey(L"00"), std::nullopt);
}

TEST(HexBytesTest, RoundTripsAndRejectsMalformedText)
{
    const uint8_t bytes[] = {0x00, 0x7F, 0x80, 0xAB, 0xFF};
    EXPECT_EQ(HexBytes(bytes, sizeof bytes), "007f80abff");
    EXPECT_EQ(HexBytes(bytes, 0), "");
    EXPECT_EQ(ParseHexBytes(L"00 7f80ABff"), (std::vector<uint8_t>{0x00, 0x7F, 0x80, 0xAB, 0xFF}));
    EXPECT_EQ(ParseHexBytes(L""), std::vector<uint8_t>{});
    EXPECT_EQ(ParseHexBytes(L"abc"), std::nullopt);
    EXPECT_EQ(ParseHexBytes(L"zz"), std::nullopt);
}

TEST(PayloadTextTest, DecodesPrintableTextOnly)
{
    const uint8_t wide[] = {'P', 0, 'r', 0, 'o', 0, 'f', 0, 'i', 0, 'l', 0, 'e', 0, ' ', 0, '2', 0, 0, 0};
    EXPECT_EQ(PayloadAsUtf16(wide, sizeof wide), std::wstring(L"Profile 2"));
    EXPECT_EQ(PayloadAsAscii(wide, sizeof wide), std::nullopt);  // NULs between the letters

    const uint8_t narrow[] = {'O', 'K', 0};
    EXPECT_EQ(PayloadAsAscii(narrow, sizeof narrow), std::wstring(L"OK"));
    EXPECT_EQ(PayloadAsUtf16(narrow, sizeof narrow), std::nullopt);  // odd length

    const uint8_t binary[] = {0x01, 0x00, 0x02, 0x00};
    EXPECT_EQ(PayloadAsUtf16(binary, sizeof binary), std::nullopt);
    EXPECT_EQ(PayloadAsAscii(binary, sizeof binary), std::nullopt);

    const uint8_t empty[] = {0, 0};
    EXPECT_EQ(PayloadAsUtf16(empty, sizeof empty), std::nullopt);
    EXPECT_EQ(PayloadAsAscii(nullptr, 0), std::nullopt);
}

TEST(QuotedTest, EscapesQuotesAndBackslashes)
{
    EXPECT_EQ(Quoted(L"a \"b\" c:\\d"), L"\"a \\\"b\\\" c:\\\\d\"");
}

TEST(WindowsPathTest, MapsUnixPathsToDriveZ)
{
    EXPECT_EQ(WindowsPathFromArgument(L"/tmp/a b/log.txt"), L"Z:\\tmp\\a b\\log.txt");
    EXPECT_EQ(WindowsPathFromArgument(L"C:\\x\\y"), L"C:\\x\\y");
    EXPECT_EQ(WindowsPathFromArgument(L"rel/file"), L"rel/file");
}

TEST(Utf8Test, EncodesAllPlanesAndReplacesLoneSurrogates)
{
    EXPECT_EQ(Utf8FromWide(L"A\u00e9\u20ac"), "A\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(Utf8FromWide(std::wstring{0xD83D, 0xDE00}), "\xf0\x9f\x98\x80");
    EXPECT_EQ(Utf8FromWide(std::wstring{0xD83D, L'x'}), "\xef\xbf\xbdx");
}

TEST(ArgumentsTest, SplitsPositionalsFromOptions)
{
    Arguments args;
    std::wstring error;
    ASSERT_TRUE(args.Parse({L"Title", L"--timeout", L"500", L"-1", L"--reply", L"WM_APP=1", L"--reply", L"WM_APP+1=2",
                            L"--hidden", L"-"},
                           {L"--timeout", L"--reply"}, {L"--hidden"}, error));
    EXPECT_EQ(args.Positional(), (std::vector<std::wstring>{L"Title", L"-1", L"-"}));
    EXPECT_EQ(args.Value(L"--timeout"), L"500");
    EXPECT_EQ(args.Values(L"--reply"), (std::vector<std::wstring>{L"WM_APP=1", L"WM_APP+1=2"}));
    EXPECT_TRUE(args.Has(L"--hidden"));
    EXPECT_FALSE(args.Has(L"--class"));
    EXPECT_EQ(args.Value(L"--class", L"fallback"), L"fallback");

    Arguments unknown;
    EXPECT_FALSE(unknown.Parse({L"--bogus"}, {}, {}, error));
    EXPECT_NE(error.find(L"--bogus"), std::wstring::npos);

    Arguments missing;
    EXPECT_FALSE(missing.Parse({L"x", L"--timeout"}, {L"--timeout"}, {}, error));
    EXPECT_NE(error.find(L"needs a value"), std::wstring::npos);
}

} // namespace
} // namespace qelt::testtool
