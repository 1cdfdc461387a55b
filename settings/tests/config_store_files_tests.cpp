// The editor's files behind EditorFiles, on the platform's private-profile calls: what an import
// takes or refuses, what a save or an export that cannot write reports, and whether the start-up
// load found a configuration to read.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <memory>

#include "config_store_files.h"
#include "setting_rw.h"
#include "temp_folder.h"

using namespace qelt;
using qelt::testing::ReadBytes;
using qelt::testing::TempFolder;
using qelt::testing::WriteBytes;

namespace {

struct Image {
    KB_CONFIG keyboard{};
    ProfileArray profiles{};
};

std::unique_ptr<Image> ProgrammedImage()
{
    auto image = std::make_unique<Image>();
    InitNewConfiguration(image->keyboard, image->profiles, ProgramRole::Editor);
    BUTTON_CONFIG& slot = image->profiles[1].TButton[3];
    slot.FunID = FUN_LAUNCH_APP;
    slot.MappingKey = 40;
    std::wcscpy(slot.AppPath, L"C:\\Games\\game.exe");
    return image;
}

struct ConfigStoreFilesTest : ::testing::Test {
    TempFolder folder;
    // A data folder still to be made, as at a first start.
    ConfigStore store{folder.WithSlash() + L"Mivo\\", ProgramRole::Editor};
    ConfigStoreFiles files{store};
};

TEST_F(ConfigStoreFilesTest, ImportTakesAProfileAndRefusesAnythingElseWithoutATouch)
{
    std::string randomBytes(30 * 1024, '\0');
    unsigned seed = 777;
    for (char& byte : randomBytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 16);
    }
    std::string overlong = "C:\\";
    while (overlong.size() < 300)
        overlong += "x";
    const struct {
        const char* what;
        const wchar_t* name;
        std::string content;  // nothing is written for the missing file
        ProfileImport::Outcome outcome;
        std::vector<int> slotsWithoutProgram;
    } cases[] = {
        {"missing", L"missing.Config", "", ProfileImport::Outcome::NoFile, {}},
        {"30 KB of random bytes", L"random.Config", randomBytes, ProfileImport::Outcome::NotAProfile, {}},
        {"no profile section", L"other.Config", "[CONFIG]\r\nLIGHT=1\r\n", ProfileImport::Outcome::NotAProfile, {}},
        {"a Setting section only", L"partial.Config", "[Setting]\r\nMacroLength=0\r\n",
         ProfileImport::Outcome::Imported, {}},
        {"an overlong program path", L"long.Config",
         "[BUTTONCONFIG5]\r\nFunID=16\r\nMappinkey=30\r\nAPP Path=" + overlong + "\r\n",
         ProfileImport::Outcome::Imported, {5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = folder.File(c.name);
        if (c.outcome != ProfileImport::Outcome::NoFile)
            WriteBytes(path, c.content);
        auto image = ProgrammedImage();
        const auto before = std::make_unique<PROFILE_CONFIG>(image->profiles[1]);
        const ProfileImport result = files.ImportProfile(path, image->profiles[1]);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.slotsWithoutProgram, c.slotsWithoutProgram);
        const bool untouched = std::memcmp(before.get(), &image->profiles[1], sizeof(PROFILE_CONFIG)) == 0;
        EXPECT_EQ(untouched, c.outcome != ProfileImport::Outcome::Imported);
        if (c.outcome != ProfileImport::Outcome::NoFile) {
            EXPECT_EQ(ReadBytes(path), c.content) << "an import never writes its file";
        }
    }
}

TEST_F(ConfigStoreFilesTest, SavesAndExportsThatCannotWriteNameTheFile)
{
    auto image = ProgrammedImage();
    ASSERT_TRUE(files.SaveAll(image->keyboard, image->profiles).Ok());
    const std::string profile2 = ReadBytes(store.ProfilePath(2));

    // A folder where Profile1 should be: the save reports it; the other files are still written.
    ASSERT_TRUE(DeleteFileW(store.ProfilePath(1).c_str()));
    ASSERT_TRUE(CreateDirectoryW(store.ProfilePath(1).c_str(), nullptr));
    image->profiles[2].TButton[0].FunID = 2;
    const FileWriteResult saved = files.SaveAll(image->keyboard, image->profiles);
    EXPECT_FALSE(saved.Ok());
    EXPECT_EQ(saved.failedPath, store.ProfilePath(1));
    EXPECT_NE(saved.nError, 0u);
    EXPECT_NE(ReadBytes(store.ProfilePath(2)), profile2);

    const std::wstring exportPath = folder.File(L"folder.Config");
    ASSERT_TRUE(CreateDirectoryW(exportPath.c_str(), nullptr));
    const FileWriteResult exported = files.ExportProfile(exportPath, image->profiles[1]);
    EXPECT_EQ(exported.failedPath, exportPath);
    EXPECT_TRUE(files.ExportProfile(folder.File(L"fine.Config"), image->profiles[1]).Ok());
}

// Whether the start-up found a Config.config decides whether its device status counts.
TEST_F(ConfigStoreFilesTest, LoadSaysWhetherItReadAConfiguration)
{
    auto image = ProgrammedImage();
    EXPECT_FALSE(files.Load(image->keyboard, image->profiles)) << "a new configuration";
    EXPECT_TRUE(store.ConfigExists()) << "and its file made";
    auto again = ProgrammedImage();
    EXPECT_TRUE(files.Load(again->keyboard, again->profiles));
}

} // namespace
