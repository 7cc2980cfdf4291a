#include "engine/CMyThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace fb;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

struct CountingPresser : BusyPromptPresser {
    bool pressRetryOnServerBusy() override
    {
        ++presses;
        if (throwing) throw std::runtime_error("prompt vanished");
        return false;
    }
    std::atomic<int> presses{0};
    bool throwing = false;
};

// Waits for a condition with a generous deadline: the machine may be loaded.
template <typename F> bool eventually(F condition, milliseconds limit = milliseconds(5000))
{
    auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(milliseconds(5));
    }
    return condition();
}

} // namespace

TEST(Watcher, PressesAboutFourTimesASecondUntilStopped)
{
    CountingPresser presser;
    CMyThread watcher;
    EXPECT_EQ(watcher.pollInterval(), milliseconds(250));
    watcher.setMainWindow(&presser);
    watcher.start();
    ASSERT_TRUE(eventually([&] { return presser.presses.load() >= 1; }));
    std::this_thread::sleep_for(milliseconds(1000));
    EXPECT_EQ(watcher.exitCode(), 0); // still running

    auto asked = Clock::now();
    watcher.requestStop();
    watcher.join();
    EXPECT_LT(Clock::now() - asked, milliseconds(2000));
    int presses = presser.presses.load();
    EXPECT_GE(presses, 2);
    EXPECT_LE(presses, 8); // one second of 250 ms polls, plus slack
    EXPECT_EQ(watcher.exitCode(), 1);

    std::this_thread::sleep_for(milliseconds(400));
    EXPECT_EQ(presser.presses.load(), presses); // nothing after the stop
}

TEST(Watcher, EndsAtOnceWithoutAMainWindow)
{
    CMyThread watcher;
    watcher.start();
    watcher.join();
    EXPECT_EQ(watcher.exitCode(), -1);
}

TEST(Watcher, StopRightAfterStartIsNeverLost)
{
    for (int i = 0; i < 20; ++i) {
        CountingPresser presser;
        CMyThread watcher;
        watcher.setMainWindow(&presser);
        watcher.start();
        watcher.requestStop();
        auto asked = Clock::now();
        watcher.join();
        EXPECT_LT(Clock::now() - asked, milliseconds(2000));
        EXPECT_EQ(watcher.exitCode(), 1);
        EXPECT_LE(presser.presses.load(), 1);
    }
}

TEST(Watcher, DestructorStopsAndJoins)
{
    CountingPresser presser;
    auto asked = Clock::now();
    {
        CMyThread watcher;
        watcher.setMainWindow(&presser);
        watcher.start();
        ASSERT_TRUE(eventually([&] { return presser.presses.load() >= 1; }));
        asked = Clock::now();
    }
    EXPECT_LT(Clock::now() - asked, milliseconds(2000));
    int presses = presser.presses.load();
    std::this_thread::sleep_for(milliseconds(400));
    EXPECT_EQ(presser.presses.load(), presses);
}

TEST(Watcher, AFailingPressDoesNotEndTheWatcher)
{
    CountingPresser presser;
    presser.throwing = true;
    CMyThread watcher;
    watcher.setMainWindow(&presser);
    watcher.start();
    EXPECT_TRUE(eventually([&] { return presser.presses.load() >= 2; }));
    watcher.requestStop();
    watcher.join();
    EXPECT_EQ(watcher.exitCode(), 1);

    // It can be started again after it ended.
    presser.throwing = false;
    int before = presser.presses.load();
    watcher.start();
    EXPECT_TRUE(eventually([&] { return presser.presses.load() > before; }));
    watcher.requestStop();
    watcher.join();
    EXPECT_EQ(watcher.exitCode(), 1);
}
