#include "diag.h"

#include <gtest/gtest.h>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

using qelt::DiagCapture;

TEST(Diag, CaptureSeesFormattedLinesFromAnyThread)
{
    DiagCapture capture;
    qelt::Diag(L"Path exsit!\n");
    std::thread([] { qelt::Diag(L"profile %d, light %d\n", 3, -1); }).join();
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"Path exsit!\n");
    EXPECT_EQ(lines[1], L"profile 3, light -1\n");
}

TEST(Diag, ErrorLineNamesOperationAndCodeInHex)
{
    DiagCapture capture;
    qelt::DiagError(L"IOCTL_SEND_DATA", 0x1F);
#ifdef _WIN32
    SetLastError(ERROR_FILE_NOT_FOUND);
    qelt::DiagLastError(L"CreateFileW");
    EXPECT_TRUE(capture.Contains(L"ERROR: CreateFileW failed, error=2\n"));
#endif
    EXPECT_EQ(capture.Lines().front(), L"ERROR: IOCTL_SEND_DATA failed, error=1f\n");
}

TEST(Diag, OverlongLineIsCutButStillEndsTheLine)
{
    DiagCapture capture;
    std::wstring longText(5000, L'x');
    qelt::Diag(L"%ls\n", longText.c_str());
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].back(), L'\n');
    EXPECT_LT(lines[0].size(), 1024u);
}

TEST(Diag, NestedCaptureRestoresTheOuterOne)
{
    DiagCapture outer;
    {
        DiagCapture inner;
        qelt::Diag(L"inner\n");
        EXPECT_TRUE(inner.Contains(L"inner"));
    }
    qelt::Diag(L"outer\n");
    EXPECT_FALSE(outer.Contains(L"inner"));
    EXPECT_TRUE(outer.Contains(L"outer"));
}
