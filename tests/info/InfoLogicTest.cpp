#include "info/ProductLinks.h"
#include "info/StartProgress.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(StartProgress, BarWidthIsTheRoundedShareOfTheFrame)
{
    const std::pair<int, int> cases[] = {{-5, 0}, {0, 0}, {1, 2}, {2, 5}, {50, 120}, {99, 238}, {100, 240}, {250, 240}};
    for (const auto& [step, width] : cases)
        EXPECT_EQ(ProgressBarWidth(step), width) << step;
}

TEST(StartProgress, StepsOneToNinetyNineAreDrawnAndTheHundredthFinishes)
{
    std::int32_t step = 0;
    for (int i = 1; i <= 99; ++i)
        ASSERT_EQ(NextProgressTick(step), ProgressTick::Draw) << i;
    EXPECT_EQ(step, 99);
    EXPECT_EQ(NextProgressTick(step), ProgressTick::Finish);
    EXPECT_EQ(step, 100);
}

TEST(ProductLinks, HostNamesAndDonationPages)
{
    EXPECT_EQ(HostName("https://www.example.org/"), "www.example.org");
    EXPECT_EQ(HostName("https://user@www.example.org/a/b?x#y"), "www.example.org");
    EXPECT_EQ(HostName("www.example.org"), "www.example.org");
    // Exactly one "/" before the page name, whether or not the product page ends in one.
    EXPECT_EQ(DonationPage(1, "https://www.example.org/"), "https://www.example.org/donate.html");
    EXPECT_EQ(DonationPage(2, "https://www.example.org"), "https://www.example.org/donate.html");
    EXPECT_EQ(DonationPage(0, "https://www.example.de/"), "https://www.example.de/spenden.html");
}
