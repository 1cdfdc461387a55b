#include "agent_core.h"
#include "agent_fakes.h"
#include "agent_protocol.h"
#include "diag.h"

#include <gtest/gtest.h>

using namespace qelt;
using namespace qelt::testing;
using Entries = std::vector<std::string>;

namespace {

struct RequestFixture : ::testing::Test {
    Journal journal;
    FakePeers peers{journal};
    FakeSettings settings{journal};
    FakeLink link{journal};
    RequestHandler handler{link, settings, peers};
};

TEST_F(RequestFixture, ReloadReadsTheFilesAndNothingElse)
{
    DiagCapture capture;
    EXPECT_EQ(handler.OnProcessAPMessage(AP_RELOAD_SETTINGS, 0), 1);
    EXPECT_EQ(journal.entries, (Entries{"settings load"}));
    EXPECT_TRUE(capture.Contains(L"OnProcessAPMessage\n"));
}

TEST_F(RequestFixture, DownloadAndResetReportProgressToTheLoadingWindow)
{
    const Entries progress{"progress to 77 (1, 25)", "progress to 77 (1, 50)", "progress to 77 (1, 75)",
                           "progress to 77 (1, 100)", "progress to 77 (0, 0)"};
    for (auto [request, name] : {std::pair{AP_DOWNLOAD_PROFILE, "download"}, std::pair{AP_RESET_PROFILE, "reset"}}) {
        for (int profile : {0, 3, 5}) {
            journal.entries.clear();
            EXPECT_EQ(handler.OnProcessAPMessage(request, profile), 1);
            Entries expected{"wait loading"};
            char job[32];
            std::snprintf(job, sizeof job, "link %s %d", name, profile);
            expected.push_back(job);
            expected.insert(expected.end(), progress.begin(), progress.end());
            EXPECT_EQ(journal.entries, expected) << name << " " << profile;
        }
    }
}

TEST_F(RequestFixture, JobIsSkippedWhenTheLoadingWindowNeverAppears)
{
    peers.loadingWindow = 0;
    for (unsigned request : {AP_DOWNLOAD_PROFILE, AP_RESET_PROFILE}) {
        journal.entries.clear();
        DiagCapture capture;
        EXPECT_EQ(handler.OnProcessAPMessage(request, 1), 1);
        EXPECT_EQ(journal.entries, (Entries{"wait loading"}));
        EXPECT_TRUE(capture.Contains(L"\"DLGLoading\"")) << request;
    }
}

TEST_F(RequestFixture, SetProfileMakesItCurrentOnTheDeviceAndForLaunchKeys)
{
    EXPECT_EQ(handler.OnProcessAPMessage(AP_SET_PROFILE, 5), 1);
    EXPECT_EQ(handler.OnProcessAPMessage(AP_SET_PROFILE, 0), 1);
    EXPECT_EQ(journal.entries, (Entries{"link set current 5", "set current 5", "link set current 0", "set current 0"}));
    EXPECT_EQ(settings.current, 0);
}

TEST_F(RequestFixture, ProfileIndexOutsideTheSixProfilesIsIgnored)
{
    for (unsigned request : {AP_DOWNLOAD_PROFILE, AP_RESET_PROFILE, AP_SET_PROFILE}) {
        for (intptr_t profile : {intptr_t(-1), intptr_t(6), intptr_t(0x7FFFFFFF)}) {
            journal.entries.clear();
            DiagCapture capture;
            EXPECT_EQ(handler.OnProcessAPMessage(request, profile), 1);
            EXPECT_TRUE(journal.entries.empty()) << request << " " << profile;
            EXPECT_TRUE(capture.Contains(L"ignored")) << request << " " << profile;
        }
    }
}

TEST_F(RequestFixture, UnknownRequestsDoNothing)
{
    for (uintptr_t request : {uintptr_t(4), uintptr_t(0x7EA), ~uintptr_t(0)}) {
        EXPECT_EQ(handler.OnProcessAPMessage(request, 1), 1);
        EXPECT_TRUE(journal.entries.empty());
    }
}

} // namespace
