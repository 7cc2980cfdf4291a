#include "log/AppendLog.h"
#include "testkit/TestDirs.h"
#include "common/Text.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <sstream>
#include <sys/time.h>
#include <unistd.h>

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

std::string pad(std::string s, std::size_t width)
{
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

void setModified(const std::string& path, std::time_t t)
{
    struct timeval times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimes(path.c_str(), times), 0);
}

std::vector<std::string> recordLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(pos));
            break;
        }
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

class AppendLogFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        log.setClock([] { return localTime(2011, 2, 3, 9, 5, 7); });
        ASSERT_TRUE(log.open());
    }
    TempDir dir;
    AppendLog log{dir / "append.log"};
};

} // namespace

TEST_F(AppendLogFile, RecordHoldsEveryFieldAtItsPosition)
{
    std::string out = dir / "out.pdf";
    ASSERT_LT(out.size(), 80u);
    writeFileBytes(out, std::string(12345, 'x'));
    setModified(out, localTime(2010, 12, 31, 23, 59, 58));
    ASSERT_TRUE(log.writeRecord(out, "/src/in.pdf"));

    std::string bytes = readFileBytes(dir / "append.log");
    ASSERT_EQ(bytes.size(), 241u);
    std::string created = bytes.substr(113, 22);
    EXPECT_EQ(created.substr(19), "   ");
    EXPECT_EQ(created, pad(created.substr(0, 19), 22));
    EXPECT_NE(created.substr(0, 4), "    "); // a real time, not blanks
    std::string expected = "2011-02-03 09:05:07   \t12345   \t" + pad(out, 80) + "\t" + created + "\t" +
                           "2010-12-31 23:59:58   \t" + pad("/src/in.pdf", 80) + "\r\n";
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.substr(23, 8), "12345   ");
    EXPECT_EQ(bytes.substr(32, out.size()), out);
    EXPECT_EQ(bytes.substr(136, 19), "2010-12-31 23:59:58");
    EXPECT_EQ(bytes.substr(159, 11), "/src/in.pdf");
}

TEST_F(AppendLogFile, UnreadableOutputGivesSizeZeroAndBlankTimes)
{
    ASSERT_TRUE(log.writeRecord(dir / "missing.pdf", ""));
    ASSERT_TRUE(log.writeRecord(dir.path(), "")); // a folder is no output file
    std::vector<std::string> lines = recordLines(readFileBytes(dir / "append.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "2011-02-03 09:05:07   \t0       \t" + pad(dir / "missing.pdf", 80) + "\t" +
                            std::string(22, ' ') + "\t" + std::string(22, ' ') + "\t" + std::string(80, ' '));
    EXPECT_EQ(lines[1].substr(23, 9), "0       \t");
    EXPECT_EQ(lines[1].substr(113, 22), std::string(22, ' '));
    EXPECT_EQ(lines[1].substr(136, 22), std::string(22, ' '));
}

TEST_F(AppendLogFile, RecordIsVisibleToAnotherReaderAtOnce)
{
    std::string out = dir / "out.pdf";
    writeFileBytes(out, "abc");
    ASSERT_TRUE(log.writeRecord(out, "s"));
    std::ifstream reader(dir / "append.log", std::ios::binary);
    std::stringstream seen;
    seen << reader.rdbuf();
    EXPECT_EQ(seen.str().size(), 241u);
    EXPECT_EQ(seen.str().substr(23, 8), "3       ");
}

TEST_F(AppendLogFile, OutputsBeyondTwoGigabytesKeepTheirSize)
{
    std::string out = dir / "big.pdf";
    writeFileBytes(out, "");
    ASSERT_EQ(::truncate(out.c_str(), 3LL * 1024 * 1024 * 1024), 0); // sparse
    ASSERT_TRUE(log.writeRecord(out, ""));
    std::string bytes = readFileBytes(dir / "append.log");
    EXPECT_EQ(bytes.substr(23, 11), "3221225472\t");
    // Ten digits move everything behind the size two places right.
    EXPECT_EQ(bytes.substr(34, out.size()), out);
}

TEST_F(AppendLogFile, ClearEmptiesTheFileAndOpenKeepsOldRecords)
{
    writeFileBytes(dir / "out.pdf", "x");
    ASSERT_TRUE(log.writeRecord(dir / "out.pdf", ""));
    ASSERT_TRUE(log.writeRecord(dir / "out.pdf", ""));
    log.close();
    ASSERT_TRUE(log.open()); // appends, never truncates
    ASSERT_TRUE(log.writeRecord(dir / "out.pdf", ""));
    EXPECT_EQ(recordLines(readFileBytes(dir / "append.log")).size(), 3u);

    ASSERT_TRUE(log.clear());
    EXPECT_TRUE(log.isOpen());
    EXPECT_EQ(readFileBytes(dir / "append.log"), "");
    log.setClock([] { return localTime(2012, 6, 7, 18, 1, 2); });
    ASSERT_TRUE(log.writeRecord(dir / "out.pdf", ""));
    std::string bytes = readFileBytes(dir / "append.log");
    EXPECT_EQ(bytes.substr(0, 22), "2012-06-07 18:01:02   ");
    EXPECT_EQ(recordLines(bytes).size(), 1u);
}

// A log moved away (rotated) since it was opened keeps its records, and the
// next one goes to the file the name holds now.
TEST_F(AppendLogFile, RecordsGoToTheFileTheNameHolds)
{
    writeFileBytes(dir / "out.pdf", "x");
    ASSERT_TRUE(log.writeRecord(dir / "out.pdf", "first"));
    ASSERT_EQ(std::rename((dir / "append.log").c_str(), (dir / "append.log.1").c_str()), 0);
    ASSERT_TRUE(log.writeRecord(dir / "out.pdf", "second"));

    EXPECT_EQ(recordLines(readFileBytes(dir / "append.log.1")).size(), 1u);
    const std::vector<std::string> now = recordLines(readFileBytes(dir / "append.log"));
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(now[0].substr(159, 6), "second");
}

TEST(AppendLog, OpenCreatesTheFileAndRefusesWhenItCannot)
{
    TempDir dir;
    AppendLog log(dir / "append.log");
    EXPECT_EQ(log.path(), dir / "append.log");
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.writeRecord(dir / "x.pdf", "")); // not open yet
    ASSERT_TRUE(log.open());
    EXPECT_EQ(readFileBytes(dir / "append.log"), "");

    AppendLog nowhere(dir / "no/such/folder/append.log");
    EXPECT_FALSE(nowhere.open());
    EXPECT_FALSE(nowhere.isOpen());
    EXPECT_FALSE(nowhere.writeRecord(dir / "x.pdf", ""));
    EXPECT_FALSE(nowhere.clear());
    EXPECT_FALSE(nowhere.writeRecord(dir / "x.pdf", ""));
}

TEST(LogRecordFormat, WideValuesAreWrittenWholeAndShiftLaterFields)
{
    std::string longPath = "/" + std::string(99, 'p');
    std::string line = formatLogRecord("2011-02-03 09:05:07", 12, longPath, "2011-01-01 00:00:00",
                                       "2011-01-02 00:00:00", "/s.pdf");
    EXPECT_EQ(line.substr(32, 101), longPath + "\t");
    EXPECT_EQ(line.substr(133, 20), "2011-01-01 00:00:00 ");
    EXPECT_EQ(line.substr(156, 19), "2011-01-02 00:00:00");

    std::string nine = formatLogRecord("2011-02-03 09:05:07", 100000000, "/o.pdf", "", "", "");
    EXPECT_EQ(nine.substr(23, 10), "100000000\t");
    EXPECT_EQ(nine.substr(33, 6), "/o.pdf");
    EXPECT_EQ(nine.size(), 242u); // one more than a record of standard width
    EXPECT_EQ(formatLogRecord("d", 99999999, "o", "", "", "").substr(23, 9), "99999999\t");

    EXPECT_EQ(formatLogRecord("d", 5000000000LL, "o", "", "", "").substr(23, 11), "5000000000\t");
}

TEST(LogRecordFormat, LineBreaksInsideFieldsNeverSplitTheRecord)
{
    std::string line = formatLogRecord("d", 1, "/a\r\nb.pdf", "", "", "/s\n.pdf");
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(line.find('\r'), line.size() - 2);
    EXPECT_EQ(line.substr(32, 9), "/a  b.pdf");
}
