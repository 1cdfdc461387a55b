#include <gtest/gtest.h>

#include "skin_files.h"
#include "skin_test_support.h"

namespace {

using skintest::TempProgramFolder;

TEST(ProgramFolder, IsTheExecutablesFolderWithTrailingBackslash)
{
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring expected(module);
    expected.erase(expected.find_last_of(L'\\') + 1);
    const std::wstring& folder = ProgramFolder();
    EXPECT_EQ(folder, expected);
    EXPECT_EQ(folder.back(), L'\\');
}

class SkinFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.WriteText(L"Skins\\menu_skin.ini",
                         "[SCREEN]\r\nMain=menu\\main.bmp\r\nMask=\r\n"
                         "[BUTTONINFO]\r\n1=Cut,10,20,30,40,Ctrl+X,FALSE\r\n2=Copy,1,2,3,4,Ctrl+C,TRUE\r\n");
        folder.WriteText(L"Skins\\main.ini", "[LANG_INFO]\r\n1=2\r\n[KEY_NUM]\r\nNUM=104\r\n");
        folder.WriteText(L"Skins\\repeat_str.ini", "[string]\r\n1=Repeat once\r\n2=  spaced  \r\n");
        folder.WriteText(L"Skins\\main_font.ini", "[BUTTONFONT]\r\n1=16\r\n");
        folder.WriteText(L"Skins\\main_profilefont.ini", "[PROFILEFONT]\r\n1=\r\n");
    }
    TempProgramFolder folder;
};

TEST_F(SkinFileTest, ReadsValuesAndDefaultsOfWindowFile)
{
    CSkinFile file(folder.Path(), L"menu_skin.ini");
    EXPECT_EQ(file.Path(), folder.SkinPath(L"menu_skin.ini"));
    EXPECT_EQ(file.ReadString(SKIN_SCREEN, L"Main"), L"menu\\main.bmp");
    EXPECT_EQ(file.ReadString(L"screen", L"MAIN"), L"menu\\main.bmp");  // names ignore case
    EXPECT_EQ(file.ReadString(SKIN_SCREEN, L"Over"), L"");
    EXPECT_EQ(file.ReadInt(SKIN_SCREEN, L"Over", 77), 77);
    EXPECT_EQ(file.ImagePath(SKIN_SCREEN, L"Main"), folder.SkinPath(L"menu\\main.bmp"));
    EXPECT_EQ(file.ImagePath(SKIN_SCREEN, L"Mask"), folder.Path() + L"Skins\\");

    ButtonInfo copy = file.ReadButton(SKIN_BUTTONINFO, 2);
    EXPECT_EQ(std::wstring(copy.szCaption), L"Ctrl+C");
    EXPECT_TRUE(copy.bSelected);
    ButtonInfo missing = file.ReadButton(SKIN_BUTTONINFO, 3);
    EXPECT_EQ(missing.nRight, 0);
    EXPECT_EQ(std::wstring(missing.szCaption), L"");
}

TEST_F(SkinFileTest, StringFontAndMainValues)
{
    EXPECT_EQ(ReadSkinString(folder.Path(), L"repeat_str.ini", 1), L"Repeat once");
    EXPECT_EQ(ReadSkinString(folder.Path(), L"repeat_str.ini", 3), L"");
    EXPECT_EQ(ReadSkinString(folder.Path(), L"waning_str.ini", 1), L"");  // missing file
    EXPECT_EQ(ReadSkinFontHeight(folder.Path(), L"main_font.ini", L"BUTTONFONT"), 16);
    EXPECT_EQ(ReadSkinFontHeight(folder.Path(), L"main_profilefont.ini", L"PROFILEFONT"), 0);
    EXPECT_EQ(ReadSkinFontHeight(folder.Path(), L"nofont.ini", L"BUTTONFONT"), 0);
    EXPECT_EQ(ReadSkinLanguage(folder.Path()), 2);
    EXPECT_EQ(ReadSkinKeyboardModel(folder.Path()), 104);
}

// Sections are fetched whole; every answer must still be the one the per-key platform call gives.
TEST_F(SkinFileTest, SectionReadsAnswerAsThePlatformDoesKeyByKey)
{
    folder.WriteText(L"Skins\\odd_skin.ini",
                     "[BUTTONINFO]\r\n1=Plain,1,2,3,4,Tip,FALSE\r\n2=\"Quoted,1,2,3,4,Tip\"\r\n3= spaced ,1\r\n"
                     "Four=named\r\n1=second line of key 1\r\nno equals sign\r\n5=\r\n6='single'\r\n"
                     "[Numbers]\r\nA=12\r\nB=0x10\r\nC=-7\r\nD=12abc\r\nE=\r\n"
                     "[buttoninfo]\r\n7=a later section of the same name\r\n");
    const std::wstring path = folder.SkinPath(L"odd_skin.ini");
    CSkinFile file(folder.Path(), L"odd_skin.ini");
    for (const wchar_t* section : {L"BUTTONINFO", L"buttoninfo", L"Numbers", L"Missing"})
        for (const wchar_t* key : {L"1", L"2", L"3", L"FOUR", L"5", L"6", L"7", L"A", L"b", L"C", L"D", L"E", L"none"}) {
            wchar_t expected[4096] = {};
            GetPrivateProfileStringW(section, key, L"", expected, 4096, path.c_str());
            EXPECT_EQ(file.ReadString(section, key), expected) << section << " " << key;
            EXPECT_EQ(file.ReadInt(section, key, 99), int(GetPrivateProfileIntW(section, key, 99, path.c_str())))
                << section << " " << key;
        }
    CSkinFile copy = file;  // shares what was fetched
    EXPECT_EQ(copy.ReadButton(SKIN_BUTTONINFO, 1).nRight, 4);
}

TEST(SkinFileDefaults, MissingMainFileGivesDocumentedDefaults)
{
    TempProgramFolder empty;
    EXPECT_EQ(ReadSkinLanguage(empty.Path()), -1);
    EXPECT_EQ(ReadSkinKeyboardModel(empty.Path()), 103);
    EXPECT_EQ(CSkinFile(empty.Path(), L"main.ini").ReadString(L"Driver_Version", L"Driver_Version"), L"");
}

} // namespace
