// How the configuration files are written: in UTF-16 when the programs create them (so a path
// keeps letters outside the ANSI code page), whole or not at all (a reader never sees a file half
// written), and with every failure reported as the file and the platform's error.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "config_store.h"
#include "diag.h"
#include "file_replacement.h"
#include "handles.h"
#include "profile_samples.h"
#include "setting_rw.h"
#include "temp_folder.h"

using namespace qelt;
using namespace qelt::testing;
namespace fs = std::filesystem;

namespace {

// Cyrillic and CJK letters, none of them in any single-byte code page with the other.
const std::wstring kUnicodePath = L"C:\\\u0418\u0433\u0440\u044B\\\u6E38\u620F\\game.exe";  // C:\Игры\游戏\game.exe
const std::wstring kUnicodeFolder = L"\u041F\u0440\u043E\u0444\u0438\u043B\u0438 \u914D\u7F6E";    // Профили 配置

std::vector<std::wstring> FilesIn(const fs::path& folder)
{
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

bool ReadShared(const std::wstring& path, std::string& bytes)
{
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return true;
}

// The ANSI bytes as UTF-8, the way ReadText gives a UTF-16 file.
std::string AnsiAsUtf8(const std::string& ansi)
{
    wchar_t wide[256] = {};
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), wide, 256);
    char utf8[512] = {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8, 512, nullptr, nullptr);
    return std::string(utf8, size_t(bytes));
}

std::unique_ptr<Image> ImageWithPathInSlot3(const std::wstring& appPath)
{
    auto image = FilledImage(0);
    image->keyboard = KB_CONFIG{1, 1, 1};
    for (int p = 0; p < PROFILE_COUNT; ++p)
        FillProfile(image->profiles[p], p);
    BUTTON_CONFIG& slot = image->profiles[1].TButton[3];
    slot.FunID = FUN_LAUNCH_APP;
    std::wcscpy(slot.AppPath, appPath.c_str());
    return image;
}

} // namespace

// The file names and the path inside them both hold the letters: profile files, an exported
// ".Config" and a ".Macro" file, each created by the write, each read back unchanged.
TEST(UnicodeFiles, PathsRoundTripThroughEveryFileTheProgramsCreate)
{
    TempFolder parent;
    const fs::path folder = parent.Path() / kUnicodeFolder;
    const std::wstring dataFolder = folder.wstring() + L"\\";
    auto image = ImageWithPathInSlot3(kUnicodePath);

    const ConfigStore store(dataFolder, ProgramRole::Editor);
    ASSERT_TRUE(store.SaveAll(image->keyboard, image->profiles).Ok());
    const std::wstring exported = (folder / (kUnicodeFolder + L" \u0438\u0433\u0440\u0430.Config")).wstring();
    ASSERT_TRUE(settingRW::WriteProfileToFile(exported, image->profiles[1]).Ok());
    const std::wstring macroFile = (folder / L"\u5B8F \u043C\u0430\u043A\u0440\u043E\u0441.Macro").wstring();
    const MACRO_DATA& macro = image->profiles[1].TButton[4].Macro;
    ASSERT_TRUE(settingRW::ExportMacroFile(macroFile, macro).Ok());

    for (const std::wstring& path : {store.ConfigPath(), store.ProfilePath(0), store.ProfilePath(1), exported, macroFile}) {
        SCOPED_TRACE(fs::path(path).filename().string());
        EXPECT_TRUE(IsUtf16LeFile(path)) << "created without the UTF-16 byte-order mark";
    }

    for (const std::wstring& path : {store.ProfilePath(1), exported}) {
        auto read = FilledImage(0x22);
        EXPECT_TRUE(settingRW::ReadProfileFromFile(path, read->profiles[0]).Clean());
        EXPECT_EQ(std::wstring(read->profiles[0].TButton[3].AppPath), kUnicodePath);
        EXPECT_EQ(read->profiles[0].TButton[3].FunID, FUN_LAUNCH_APP);
    }
    auto loaded = FilledImage(0);
    ZeroImageForLoad(loaded->keyboard, loaded->profiles);
    store.Load(loaded->keyboard, loaded->profiles);
    EXPECT_EQ(std::wstring(loaded->profiles[1].TButton[3].AppPath), kUnicodePath);
    EXPECT_EQ(loaded->keyboard.CurrantProfile, 1);

    MACRO_DATA imported{};
    ASSERT_EQ(settingRW::ImportMacroFile(macroFile, imported), settingRW::MacroFileFault::None);
    EXPECT_EQ(std::memcmp(&imported, &macro, sizeof macro), 0);
}

// An existing ANSI file (from an earlier version) stays ANSI as long as its code page holds what
// is written; a path it cannot hold turns the whole file into UTF-16, keeping every other line.
TEST(UnicodeFiles, AnsiFileIsRewrittenAsUtf16OnlyWhenItMust)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile1");
    const std::string ansi = "[Extra]\r\nKeep=caf\xE9\r\n[BUTTONCONFIG3]\r\nFunID=16\r\nAPP Path=C:\\old.exe\r\n";

    struct Case {
        const char* what;
        std::wstring appPath;
        bool utf16;
    };
    const Case cases[] = {
        {"ASCII path", L"C:\\Tools\\run.exe", false},
        {"a path the code page holds", L"C:\\Caf\u00E9\\run.exe", false},
        {"Cyrillic and CJK", kUnicodePath, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.utf16 && !FitsAnsiCodePage(c.appPath))
            continue;  // not in this machine's ANSI code page: the Cyrillic case covers it
        WriteBytes(path, ansi);
        auto image = ImageWithPathInSlot3(c.appPath);
        ASSERT_TRUE(settingRW::WriteProfileToFile(path, image->profiles[1]).Ok());
        EXPECT_EQ(IsUtf16LeFile(path), c.utf16);
        const std::vector<std::string> lines = ReadLines(path);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0], "[Extra]") << "the file's own lines stay first";
        EXPECT_EQ(lines[1], c.utf16 ? AnsiAsUtf8("Keep=caf\xE9") : "Keep=caf\xE9") << "converted, not lost";

        BUTTON_CONFIG read{};
        settingRW::ReadButtonFromFile(path, 3, read);
        EXPECT_EQ(std::wstring(read.AppPath), c.appPath);
    }
}

// The agent writes single keys of Config.config directly; a file it creates is UTF-16 too.
TEST(UnicodeFiles, SingleKeyWriteCreatesAUtf16File)
{
    TempFolder folder;
    const CSettingRW file(folder.File(L"Config.config"));
    ASSERT_TRUE(file.WriteInt(L"CONFIG", L"PC_MODE", 0));
    EXPECT_TRUE(IsUtf16LeFile(file.Path()));
    EXPECT_EQ(ReadLines(file.Path()), (std::vector<std::string>{"[CONFIG]", "PC_MODE=0"}));

    // An ANSI file that is there is left ANSI.
    const CSettingRW ansi(folder.File(L"old.config"));
    WriteBytes(ansi.Path(), "[CONFIG]\r\nLIGHT=1\r\n");
    ASSERT_TRUE(ansi.WriteInt(L"CONFIG", L"PC_MODE", 0));
    EXPECT_EQ(ReadBytes(ansi.Path()), "[CONFIG]\r\nLIGHT=1\r\nPC_MODE=0\r\n");
}

// A reader polling the file while it is saved again and again sees the old file or the new one,
// never a mix: the keys are written into a work file that replaces the target in one rename.
TEST(WholeFileWrites, AReaderNeverSeesAFileHalfWritten)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile2");
    auto image = FilledImage(0);
    FillProfile(image->profiles[0], 1);
    FillProfile(image->profiles[1], 2);
    ASSERT_TRUE(settingRW::WriteProfileToFile(path, image->profiles[0]).Ok());
    const std::string first = ReadBytes(path);
    ASSERT_TRUE(settingRW::WriteProfileToFile(path, image->profiles[1]).Ok());
    const std::string second = ReadBytes(path);
    ASSERT_NE(first, second);

    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, mixed{0}, missing{0};
    std::thread reader([&] {
        while (!done) {
            // Opened as the private-profile functions open it. While the file is being replaced
            // the platform may turn an open away (a sharing violation): that reader tries again.
            std::string bytes;
            if (!ReadShared(path, bytes)) {
                if (GetLastError() == ERROR_FILE_NOT_FOUND)
                    ++missing;
                continue;
            }
            if (bytes != first && bytes != second)
                ++mixed;
            ++reads;
            Sleep(1);
        }
    });
    for (int save = 0; save < 12; ++save)
        EXPECT_TRUE(settingRW::WriteProfileToFile(path, image->profiles[save % 2]).Ok());
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 12);
    EXPECT_EQ(mixed.load(), 0) << "reads of a file part old, part new";
    EXPECT_EQ(missing.load(), 0) << "reads that found no file";
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"Profile2"}) << "work files left behind";
}

// A file that cannot be written is reported with its path and the platform's error; the files
// that can be written still are, and no work file is left behind.
TEST(WholeFileWrites, FailuresNameTheFileAndTheError)
{
    TempFolder folder;
    auto image = ImageWithPathInSlot3(L"C:\\x.exe");
    const ConfigStore store(folder.WithSlash(), ProgramRole::Editor);
    ASSERT_TRUE(store.SaveAll(image->keyboard, image->profiles).Ok());
    const std::string profile3Before = ReadBytes(store.ProfilePath(3));

    // A folder where Profile1 should be.
    fs::remove(store.ProfilePath(1));
    fs::create_directory(store.ProfilePath(1));
    image->profiles[3].TButton[0].FunID = FUN_CTRL_V;
    DiagCapture diag;
    const FileWriteResult result = store.SaveAll(image->keyboard, image->profiles);
    ASSERT_FALSE(result.Ok());
    EXPECT_EQ(fs::path(result.failedPath), fs::path(store.ProfilePath(1)));
    EXPECT_NE(result.nError, 0u);
    const std::wstring told = result.Describe();
    EXPECT_EQ(told.rfind(result.failedPath + L": ", 0), 0u) << "the message starts with the file";
    EXPECT_GT(told.size(), result.failedPath.size() + 4) << "and gives a reason";
    EXPECT_TRUE(fs::is_directory(store.ProfilePath(1)));
    EXPECT_NE(ReadBytes(store.ProfilePath(3)), profile3Before) << "the other files are written all the same";
    EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::wstring>{L"Config.config", L"Profile0", L"Profile1",
                                                                  L"Profile2", L"Profile3", L"Profile4", L"Profile5"}));

    // Every save function reports, each with its own file.
    const std::wstring nowhere = (folder.Path() / L"missing" / L"x").wstring();
    struct Case {
        const char* what;
        std::function<FileWriteResult()> write;
    };
    const Case cases[] = {
        {"Config.config", [&] { return settingRW::WriteConfigToFile(nowhere, image->keyboard); }},
        {"a profile", [&] { return settingRW::WriteProfileToFile(nowhere, image->profiles[0]); }},
        {"a slot", [&] { return settingRW::WriteButtonToFile(nowhere, 0, image->profiles[0].TButton[0]); }},
        {"an exported macro", [&] { return settingRW::ExportMacroFile(nowhere, image->profiles[0].TButton[0].Macro); }},
        {"a data folder that cannot be made",
         [&] { return ConfigStore(fs::path(nowhere).wstring() + L"\\", ProgramRole::Editor).SaveAll(image->keyboard, image->profiles); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FileWriteResult failed = c.write();
        EXPECT_FALSE(failed.Ok());
        EXPECT_EQ(failed.failedPath.rfind(nowhere, 0), 0u);
        EXPECT_EQ(failed.nError, ERROR_PATH_NOT_FOUND);
    }
}

// Writes that failed on the work file leave the target as it was.
TEST(WholeFileWrites, AFailedWriteKeepsTheOldFile)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile0");
    WriteBytes(path, "[Setting]\r\nMacroLength=5\r\n");
    {
        FileReplacement replacement(path, false);
        ASSERT_TRUE(replacement.Ready());
        WritePrivateProfileStringW(L"Setting", L"MacroLength", L"6", replacement.WorkPath().c_str());
        const FileWriteResult result = replacement.Commit(ERROR_DISK_FULL);
        EXPECT_FALSE(result.Ok());
        EXPECT_EQ(result.nError, ERROR_DISK_FULL);
    }
    EXPECT_EQ(ReadBytes(path), "[Setting]\r\nMacroLength=5\r\n");
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"Profile0"});
}

// Work files left by a program stopped in a save go with the next save in their folder, once they
// are old enough not to belong to a save still running.
TEST(WholeFileWrites, StaleWorkFilesAreRemoved)
{
    TempFolder folder;
    const std::wstring stale = folder.File(L"~qelt1234-0.tmp");
    const std::wstring recent = folder.File(L"~qelt1234-1.tmp");
    const std::wstring other = folder.File(L"~other.tmp");
    for (const std::wstring& path : {stale, recent, other})
        WriteBytes(path, "\xFF\xFE");
    const auto old = fs::file_time_type::clock::now() - std::chrono::seconds(FileReplacement::kStaleWorkFileSeconds + 30);
    fs::last_write_time(stale, old);
    fs::last_write_time(other, old);

    auto image = FilledImage(0);
    ASSERT_TRUE(settingRW::WriteConfigToFile(folder.File(L"Config.config"), KB_CONFIG{1, 1, 0}).Ok());
    EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::wstring>{L"Config.config", L"~other.tmp", L"~qelt1234-1.tmp"}));
}

// Saving everything rewrites files nothing changed in: such a file is left as it is (the work
// file is dropped), while a changed one is replaced.
TEST(WholeFileWrites, AnUnchangedFileIsLeftAsItIs)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile3");
    auto image = FilledImage(0);
    FillProfile(image->profiles[3], 3);
    ASSERT_TRUE(settingRW::WriteProfileToFile(path, image->profiles[3]).Ok());
    const auto written = fs::last_write_time(path);
    const std::string bytes = ReadBytes(path);

    ASSERT_TRUE(settingRW::WriteProfileToFile(path, image->profiles[3]).Ok());
    EXPECT_EQ(fs::last_write_time(path), written) << "replaced by the same content";
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"Profile3"});

    image->profiles[3].TButton[2].MappingKey = 77;
    ASSERT_TRUE(settingRW::WriteProfileToFile(path, image->profiles[3]).Ok());
    EXPECT_NE(ReadBytes(path), bytes);
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::wstring>{L"Profile3"});
}
