// The download dialog's rules: the request each job makes and where a progress report puts the bar.
#include <gtest/gtest.h>

#include "download_exchange.h"

using namespace qelt;

TEST(DownloadJob, ProgressOutsideOneToHundredShowsTheStart)
{
    const struct {
        std::intptr_t percent;
        int bar;
    } cases[] = {{50, 50}, {1, 1}, {100, 100}, {25, 25}, {0, 1}, {101, 1}, {250, 1}, {-5, 1},
                 {std::intptr_t(0x100000032), 1}};
    for (const auto& c : cases)
        EXPECT_EQ(ProgressBarValue(c.percent), c.bar) << c.percent;
}

TEST(DownloadJob, EachModeHasItsTimerAndRequest)
{
    EXPECT_EQ(JobTimerOf(DOWNLOAD_WRITE), TIMER_JOB_DOWNLOAD);
    EXPECT_EQ(JobTimerOf(DOWNLOAD_RESET), TIMER_JOB_RESET);
    EXPECT_EQ(JobTimerOf(7), TIMER_JOB_DOWNLOAD);  // anything but a reset is a download
    EXPECT_EQ(RequestOfJobTimer(TIMER_JOB_DOWNLOAD), 1u);
    EXPECT_EQ(RequestOfJobTimer(TIMER_JOB_RESET), 2u);
}
