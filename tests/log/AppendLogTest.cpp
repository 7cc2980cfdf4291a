#include "log/AppendLog.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestDirs.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace fb;
using namespace fb::test;

namespace {
std::time_t localTime(int y, int mo, int d, int h, int mi, int s)
{
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}
} // namespace

TEST(AppendLog, RecordFieldsStandAtTheirPositions)
{
    TempDir dir;
    writeFileBytes(dir / "out.pdf", std::string(12345, 'x'));
    AppendLog log(dir / "append.log");
    ASSERT_TRUE(log.open());
    log.setClock([] { return localTime(2011, 2, 3, 9, 5, 7); });
    ASSERT_TRUE(log.writeRecord("out.pdf", "in.pdf"));  // relative: not found from here
    ASSERT_TRUE(log.writeRecord(dir / "out.pdf", "/src/in.pdf"));
    std::string bytes = readFileBytes(dir / "append.log");  // flushed: visible at once
    size_t first = bytes.find("\r\n");
    ASSERT_NE(first, std::string::npos);
    std::string missing = bytes.substr(0, first);
    EXPECT_EQ(missing.substr(0, 32), "2011-02-03 09:05:07   \t0       \t");
    EXPECT_EQ(missing.substr(113, 22), std::string(22, ' '));
    std::string line = bytes.substr(first + 2);
    EXPECT_EQ(line.substr(0, 32), "2011-02-03 09:05:07   \t12345   \t");
    EXPECT_EQ(line.substr(32, (dir / "out.pdf").size()), dir / "out.pdf");
    EXPECT_EQ(line[112], '\t');
    EXPECT_EQ(line[135], '\t');
    EXPECT_EQ(line.substr(136, 4), line.substr(113, 4));  // a year in both time fields
    EXPECT_EQ(line.substr(159, 11), "/src/in.pdf");
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");

    log.clear();
    log.writeRecord(dir / "out.pdf", "");
    EXPECT_EQ(readFileBytes(dir / "append.log").substr(0, 19), "2011-02-03 09:05:07");
}

TEST(AppendLog, WideValuesShiftTheLineAndSizesAre64Bit)
{
    std::string longPath(100, 'p');
    std::string line = formatLogRecord("2011-02-03 09:05:07", 5000000000LL, longPath, "c", "m", "s");
    EXPECT_EQ(line.substr(23, 10), "5000000000");
    EXPECT_EQ(line.substr(34, 100), longPath);
    EXPECT_EQ(formatLogRecord("d", 100000000, "o", "c", "m", "s").substr(23, 10), "100000000\t");
    AppendLog closed("/nonexistent-folder/append.log");
    EXPECT_FALSE(closed.open());
    EXPECT_FALSE(closed.writeRecord("x", "y"));
}

