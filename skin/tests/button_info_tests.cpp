#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "button_info.h"

namespace {

// Test names carry the case's text, so they stay the same from run to run; characters that test
// runners treat specially become '_'.
std::string Narrow(const wchar_t* text)
{
    std::string out = "[";
    for (; *text; ++text) {
        wchar_t c = *text;
        bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                     c == L' ' || c == L',' || c == L'.' || c == L'+' || c == L'-' || c == L':';
        out += plain ? char(c) : '_';
    }
    return out + "]";
}

struct ParseCase {
    const wchar_t* value;
    const wchar_t* name;
    int left, top, right, bottom;
    const wchar_t* caption;
    bool selected;
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << Narrow(c.value); }

class ParseButtonInfoTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseButtonInfoTest, GivesFieldsOfEntry)
{
    const ParseCase& c = GetParam();
    ButtonInfo info = ParseButtonInfo(c.value);
    EXPECT_EQ(std::wstring(info.szName), c.name);
    EXPECT_EQ(info.nLeft, c.left);
    EXPECT_EQ(info.nTop, c.top);
    EXPECT_EQ(info.nRight, c.right);
    EXPECT_EQ(info.nBottom, c.bottom);
    EXPECT_EQ(std::wstring(info.szCaption), c.caption);
    EXPECT_EQ(info.bSelected, c.selected);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ParseButtonInfoTest,
    ::testing::Values(
        ParseCase{L"Name,10,20,30,40,Tip,TRUE", L"Name", 10, 20, 40, 60, L"Tip", true},
        ParseCase{L"Profile1,20,30,100,25,Profile 1,FALSE", L"Profile1", 20, 30, 120, 55, L"Profile 1", false},
        // One field short: the height is taken as the caption.
        ParseCase{L"Name,10,20,30,40,TRUE", L"Name", 10, 20, 40, 60, L"40", true},
        // "TRUE" inside the caption selects.
        ParseCase{L"Name,10,20,30,40,TRUE text,FALSE", L"Name", 10, 20, 40, 60, L"TRUE text", true},
        ParseCase{L"Name,10,20,30,40,Tip,true", L"Name", 10, 20, 40, 60, L"Tip", false},
        ParseCase{L"", L"", 0, 0, 0, 0, L"", false},
        // No comma: the whole value is the rest; only the first number is read.
        ParseCase{L"15abc", L"", 15, 0, 15, 0, L"", false},
        ParseCase{L"TRUE", L"", 0, 0, 0, 0, L"", true},
        ParseCase{L"Name,5", L"Name", 5, 0, 5, 0, L"", false},
        ParseCase{L"Name,", L"Name", 0, 0, 0, 0, L"", false},
        // Numbers stop at the first item that cannot be read; the rest stays 0.
        ParseCase{L"Key,7,x,3,4,Cap,FALSE", L"Key", 7, 0, 7, 0, L"Cap", false},
        ParseCase{L"Key, 7, -8,+3,4,Cap,FALSE", L"Key", 7, -8, 10, -4, L"Cap", false},
        ParseCase{L"Key,7 ,8,3,4,Cap,FALSE", L"Key", 7, 0, 7, 0, L"Cap", false},
        // Empty fields and a caption holding spaces.
        ParseCase{L",1,2,3,4,,FALSE", L"", 1, 2, 4, 6, L"", false},
        ParseCase{L"Key,1,2,3,4,Two words here,FALSE", L"Key", 1, 2, 4, 6, L"Two words here", false},
        // Extra fields: the caption is the field before the last.
        ParseCase{L"Key,1,2,3,4,a,b,TRUE", L"Key", 1, 2, 4, 6, L"b", true}));

TEST(ParseButtonInfo, TruncatesLongNameAndCaption)
{
    std::wstring longName(60, L'n');
    std::wstring longCaption(150, L'c');
    ButtonInfo info = ParseButtonInfo(longName + L",1,2,3,4," + longCaption + L",FALSE");
    EXPECT_EQ(std::wstring(info.szName), std::wstring(BUTTON_NAME_CHARS - 1, L'n'));
    EXPECT_EQ(std::wstring(info.szCaption), std::wstring(BUTTON_CAPTION_CHARS - 1, L'c'));
    EXPECT_EQ(info.nRight, 4);
}

TEST(ParseButtonInfo, HugeNumbersDoNotOverflowIntoNonsense)
{
    ButtonInfo info = ParseButtonInfo(L"Key,99999999999,-99999999999,0,0,Cap,FALSE");
    EXPECT_EQ(info.nLeft, INT32_MAX);
    EXPECT_EQ(info.nTop, INT32_MIN);
}

struct PathCase {
    const wchar_t* modulePath;
    const wchar_t* folder;
};

void PrintTo(const PathCase& c, std::ostream* out) { *out << Narrow(c.modulePath); }

class FolderOfModulePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(FolderOfModulePathTest, KeepsDriveAndDirectoryWithTrailingBackslash)
{
    EXPECT_EQ(skinpath::FolderOfModulePath(GetParam().modulePath), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(Paths, FolderOfModulePathTest,
                         ::testing::Values(PathCase{L"C:\\Program Files\\Q\\QELT_Settings.exe", L"C:\\Program Files\\Q\\"},
                                           PathCase{L"C:\\a.exe", L"C:\\"},
                                           PathCase{L"\\\\server\\share\\dir\\x.exe", L"\\\\server\\share\\dir\\"},
                                           PathCase{L"C:x.exe", L"C:\\"},
                                           PathCase{L"x.exe", L""}));

TEST(SkinPaths, DescriptionAndImageFilesShareOneFolderSpelling)
{
    EXPECT_EQ(skinpath::DescriptionFile(L"C:\\Q\\", L"main.ini"), L"C:\\Q\\Skins\\main.ini");
    EXPECT_EQ(skinpath::ImageFile(L"C:\\Q\\", L"main\\bg.bmp"), L"C:\\Q\\Skins\\main\\bg.bmp");
    EXPECT_EQ(skinpath::ImageFile(L"C:\\Q\\", L""), L"C:\\Q\\Skins\\");
}

struct IntCase {
    const wchar_t* text;
    int value;
};

void PrintTo(const IntCase& c, std::ostream* out) { *out << Narrow(c.text); }

class TextToIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(TextToIntTest, ConvertsLikeTheStandardConversion)
{
    EXPECT_EQ(skinpath::TextToInt(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, TextToIntTest,
                         ::testing::Values(IntCase{L"16", 16}, IntCase{L"  -3", -3}, IntCase{L"+12px", 12},
                                           IntCase{L"", 0}, IntCase{L"px12", 0}, IntCase{L"- 4", 0},
                                           IntCase{L"\t7", 7}));

} // namespace
