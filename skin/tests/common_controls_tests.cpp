// The shipped programs carry a Common Controls 6 manifest, and tooltips are given the TOOLINFOW
// size the loaded Common Controls accept, with the manifest and without it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "common_controls.h"
#include "handles.h"
#include "run_program.h"

namespace {

using qelt::testing::ProgramOutputFolder;
using qelt::testing::RunProgram;
using qelt::testing::TestProgramFolder;

TEST(CommonControls, EveryShippedProgramRunsWithVersion6AndItsTooltipsTakeTheFullToolInfo)
{
    for (const wchar_t* program : {L"QELT_Settings.exe", L"QELT_Core.exe", L"QELT_OSD.exe", L"qeltctl.exe"}) {
        SCOPED_TRACE(std::string(program, program + wcslen(program)));
        const auto run = RunProgram(TestProgramFolder() + L"manifest_probe.exe",
                                    L"\"" + ProgramOutputFolder() + program + L"\"");
        EXPECT_EQ(run.exitCode, 0u);
        // Windows' version 6 reports 6 and takes the full structure; Wine's reports 5.81, so
        // the tooltips get the version 2 size there, which every version takes.
        unsigned sideBySide = 0, reported = 0, toolInfo = 0;
        long tools = -1;
        ASSERT_EQ(std::sscanf(run.out.c_str(), "side-by-side 6.0 %u, reports %u, toolinfo %u, tools %ld", &sideBySide,
                              &reported, &toolInfo, &tools), 4) << run.out << run.err;
        EXPECT_EQ(sideBySide, 1u);
        EXPECT_EQ(toolInfo, reported >= 6 ? sizeof(TOOLINFOW) : TTTOOLINFOW_V2_SIZE);
        EXPECT_EQ(tools, 1);
    }
}

TEST(CommonControls, WithoutManifestTooltipsTakeTheVersion2ToolInfo)
{
    // This test program carries no manifest: the platform's default Common Controls, 5.82 on
    // Windows, which refuse a TOOLINFOW larger than the version 2 one.
    const DWORD major = qelt::CommonControlsMajorVersion();
    ASSERT_NE(major, 0u);
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    EXPECT_EQ(qelt::ToolInfoSize(), major >= 6 ? sizeof(TOOLINFOW) : TTTOOLINFOW_V2_SIZE);

    qelt::UniqueWindow owner(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                                             GetModuleHandleW(nullptr), nullptr));
    qelt::UniqueWindow tooltip(CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                               CW_USEDEFAULT, CW_USEDEFAULT, owner.Get(), nullptr,
                                               GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(tooltip);
    TOOLINFOW tool{};
    tool.cbSize = qelt::ToolInfoSize();
    tool.hwnd = owner.Get();
    tool.uId = 1;
    tool.rect = {0, 0, 50, 20};
    tool.lpszText = const_cast<wchar_t*>(L"Apply");
    SendMessageW(tooltip.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(SendMessageW(tooltip.Get(), TTM_GETTOOLCOUNT, 0, 0), 1);
}

} // namespace
