// Locks by name: another holder is waited for within a bound, and a rename
// while waiting moves the lock to the new file. (That a version the holder
// did not read is never replaced is shown through the append run.)
#include "common/FileLock.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace fb;
using namespace fb::test;
using namespace std::chrono_literals;

namespace {

LockWait waitFor(std::chrono::milliseconds limit, std::function<void()> onWait = {})
{
    LockWait w;
    w.limit = limit;
    w.onWait = std::move(onWait);
    return w;
}

// Another process's lock: an open-file-description lock conflicts with every
// other description, ours included.
TEST(FileLockTest, WaitsForTheHolderAndFollowsARenameToTheNewFile)
{
    TempDir dir;
    const std::string out = dir / "out.pdf";
    writeFileBytes(out, "version 1");
    FileLock other = FileLock::acquire(out, waitFor(0ms));
    ASSERT_EQ(other.state(), FileLock::State::Locked);

    // While we wait, the holder puts version 2 in place and lets go: the lock
    // on version 1 would guard nothing.
    int waits = 0;
    FileLock mine = FileLock::acquire(out, waitFor(60s, [&] {
                                          ++waits;
                                          writeFileBytes(dir / "new", "version 2");
                                          ASSERT_TRUE(renameIntoPlace(dir / "new", out));
                                          other.release();
                                      }));
    EXPECT_EQ(waits, 1);
    ASSERT_EQ(mine.state(), FileLock::State::Locked);
    EXPECT_TRUE(mine.stillCurrent());

    // Now version 2 is held: a third comer times out, having said it waits.
    int told = 0;
    FileLock third = FileLock::acquire(out, waitFor(300ms, [&] { ++told; }));
    EXPECT_EQ(third.state(), FileLock::State::Failed);
    EXPECT_EQ(third.error(), ETIMEDOUT);
    EXPECT_EQ(told, 1);

    LockWait giveUp = waitFor(60s);
    giveUp.keepWaiting = [] { return false; };
    EXPECT_EQ(FileLock::acquire(out, giveUp).error(), ECANCELED);
}

} // namespace
