#include "layers/freedmemory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace std::chrono;
using layers::TrimTurns;

// Between runs of layers: the first asks trims at once; while it trims no
// other does, and none again within the gap after it ended (a long trim
// counts from its end).
TEST(TrimTurns, OneAtATimeAndNotAgainWithinTheGap)
{
    TrimTurns turns(seconds(2));
    const TrimTurns::Clock::time_point t0 = TrimTurns::Clock::time_point() + hours(1);
    EXPECT_TRUE(turns.Claim(t0));
    EXPECT_FALSE(turns.Claim(t0 + seconds(9)));
    turns.Done(t0 + seconds(3));
    EXPECT_FALSE(turns.Claim(t0 + seconds(3)));
    EXPECT_FALSE(turns.Claim(t0 + milliseconds(4999)));
    EXPECT_TRUE(turns.Claim(t0 + seconds(5)));
    turns.Done(t0 + seconds(5));
    EXPECT_TRUE(turns.Claim(t0 + seconds(8)));
}

TEST(TrimTurns, WorkersAskingAtOnceGetOneTurn)
{
    TrimTurns turns(seconds(2));
    const TrimTurns::Clock::time_point now = TrimTurns::Clock::now();
    std::atomic<int> granted{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 8; ++w)
        workers.emplace_back([&] { granted += turns.Claim(now) ? 1 : 0; });
    for (std::thread& t : workers)
        t.join();
    EXPECT_EQ(granted, 1);
}
