// The agent's writes to Config.config must never replace what the editor stored with values the
// agent never loaded.
#include "agent_settings.h"
#include "temp_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

using qelt::ConfigSettings;
using qelt::testing::TempFolder;

namespace {

int ReadConfigInt(const std::wstring& path, const wchar_t* key)
{
    return static_cast<int>(GetPrivateProfileIntW(L"CONFIG", key, -99, path.c_str()));
}

struct AgentSettingsTest : ::testing::Test {
    TempFolder folder;
    ConfigSettings settings{folder.WithSlash()};
    std::wstring config = settings.ConfigPath();

    void SetUp() override
    {
        WritePrivateProfileStringW(L"CONFIG", L"CURRENTPROFILE", L"3", config.c_str());
        WritePrivateProfileStringW(L"CONFIG", L"LIGHT", L"2", config.c_str());
        WritePrivateProfileStringW(L"CONFIG", L"DEVICEPSTATS", L"1", config.c_str());
    }
};

TEST_F(AgentSettingsTest, DeviceStatusBeforeAnyLoadWritesOnlyDEVICEPSTATS)
{
    settings.SetDeviceStatus(0);
    settings.WriteConfig();
    EXPECT_EQ(ReadConfigInt(config, L"DEVICEPSTATS"), 0);
    EXPECT_EQ(ReadConfigInt(config, L"CURRENTPROFILE"), 3);
    EXPECT_EQ(ReadConfigInt(config, L"LIGHT"), 2);
}

TEST_F(AgentSettingsTest, ProfileSwitchBeforeAnyLoadKeepsTheLight)
{
    settings.SetCurrentProfile(4);
    settings.WriteConfig();
    settings.WritePcMode();
    EXPECT_EQ(ReadConfigInt(config, L"CURRENTPROFILE"), 4);
    EXPECT_EQ(ReadConfigInt(config, L"LIGHT"), 2);
    EXPECT_EQ(ReadConfigInt(config, L"DEVICEPSTATS"), 1);
    EXPECT_EQ(ReadConfigInt(config, L"PC_MODE"), 0);
}

TEST_F(AgentSettingsTest, AfterLoadingTheWholeRecordIsWrittenWithTheAgentsStatus)
{
    settings.SetDeviceStatus(0);
    settings.Load();
    EXPECT_EQ(settings.CurrentProfile(), 3);
    // The editor changes the light afterwards; the agent's record wins on its next write.
    WritePrivateProfileStringW(L"CONFIG", L"LIGHT", L"7", config.c_str());
    settings.WriteConfig();
    EXPECT_EQ(ReadConfigInt(config, L"LIGHT"), 2);
    EXPECT_EQ(ReadConfigInt(config, L"DEVICEPSTATS"), 0);
    EXPECT_EQ(ReadConfigInt(config, L"CURRENTPROFILE"), 3);
}

TEST_F(AgentSettingsTest, LaunchPathsComeFromTheLoadedProfile)
{
    const std::wstring profile = folder.File(L"Profile1");
    WritePrivateProfileStringW(L"BUTTONCONFIG4", L"FunID", L"16", profile.c_str());
    WritePrivateProfileStringW(L"BUTTONCONFIG4", L"APP Path", L"C:\\Tools\\app.exe", profile.c_str());
    WritePrivateProfileStringW(L"BUTTONCONFIG5", L"FunID", L"32", profile.c_str());
    WritePrivateProfileStringW(L"BUTTONCONFIG5", L"APP Path", L"C:\\stale.exe", profile.c_str());
    settings.Load();
    EXPECT_EQ(settings.AppPathOf(1, 4), L"C:\\Tools\\app.exe");
    EXPECT_EQ(settings.AppPathOf(1, 5), L"");  // the path of a slot that no longer launches is not read
    EXPECT_EQ(settings.AppPathOf(-1, 4), L"");
    EXPECT_EQ(settings.AppPathOf(6, 4), L"");
    EXPECT_EQ(settings.AppPathOf(1, 10), L"");
}

// Reloading a slot changed from launch to macro keeps the old path in the record (the file's
// "APP Path" is read only for launch slots); its function tells the launch key apart.
TEST_F(AgentSettingsTest, ReloadedSlotReportsItsNewFunctionWhileTheOldPathStays)
{
    const std::wstring profile = folder.File(L"Profile2");
    WritePrivateProfileStringW(L"BUTTONCONFIG0", L"FunID", L"16", profile.c_str());
    WritePrivateProfileStringW(L"BUTTONCONFIG0", L"APP Path", L"C:\\Tools\\app.exe", profile.c_str());
    settings.Load();
    EXPECT_EQ(settings.FunctionOf(2, 0), 16);
    WritePrivateProfileStringW(L"BUTTONCONFIG0", L"FunID", L"32", profile.c_str());
    WritePrivateProfileStringW(L"BUTTONCONFIG0", L"APP Path", nullptr, profile.c_str());
    settings.Load();
    EXPECT_EQ(settings.FunctionOf(2, 0), 32);
    EXPECT_EQ(settings.AppPathOf(2, 0), L"C:\\Tools\\app.exe");
    EXPECT_EQ(settings.FunctionOf(6, 0), 0xFF);
    EXPECT_EQ(settings.FunctionOf(2, -1), 0xFF);
}

} // namespace

namespace {

// The editor's question about the device status: DEVICEPSTATS alone changes, and a missing
// Config.config is not made (the editor writes the whole record itself).
TEST_F(AgentSettingsTest, DeviceStatusForTheEditorWritesOnlyDEVICEPSTATSIntoAnExistingFile)
{
    settings.WriteDeviceStatus(0);
    EXPECT_EQ(ReadConfigInt(config, L"DEVICEPSTATS"), 0);
    EXPECT_EQ(ReadConfigInt(config, L"CURRENTPROFILE"), 3);
    EXPECT_EQ(ReadConfigInt(config, L"LIGHT"), 2);

    ASSERT_TRUE(DeleteFileW(config.c_str()));
    settings.WriteDeviceStatus(1);
    EXPECT_EQ(GetFileAttributesW(config.c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
