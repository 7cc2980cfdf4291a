#include "log/AppendLog.h"
#include "log/LogTable.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sys/stat.h>

using namespace fb;
using namespace fb::test;

namespace fb {
void PrintTo(const LogRow& r, std::ostream* os)
{
    for (const std::string& f : r.fields)
        *os << '[' << f << ']';
}
} // namespace fb

namespace {

struct ScriptedSaveDialog : FileDialogs {
    std::optional<std::string> answer;
    std::vector<FileDialogRequest> asked;
    std::optional<std::string> openFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialogRequest& r) override
    {
        asked.push_back(r);
        return answer;
    }
};

struct RecordingOpener : DesktopOpener {
    std::vector<std::string> opened;
    OpenOutcome open(const std::string& target) override
    {
        opened.push_back(target);
        return {OpenStatus::Opened, 0};
    }
};

LogRow row(std::string a, std::string b = "", std::string c = "", std::string d = "", std::string e = "",
           std::string f = "")
{
    return LogRow{{std::move(a), std::move(b), std::move(c), std::move(d), std::move(e), std::move(f)}};
}

std::vector<std::string> column(const std::vector<LogRow>& rows, int c)
{
    std::vector<std::string> out;
    for (const LogRow& r : rows)
        out.push_back(r.fields[c]);
    return out;
}

} // namespace

// Every kind of line a real log can hold, read back and exported byte for byte.
TEST(LogTable, ReaderAndCsvExportTakeEveryLineWhole)
{
    TempDir dir;
    const std::string longPath = "/data/" + std::string(600, 'p') + ".pdf"; // line > 511 bytes
    std::string log;
    log += formatLogRecord("2011-03-04 05:06:07", 12345, "/out/a.pdf", "2011-03-01 00:00:00",
                           "2011-03-02 00:00:00", "/src/a.pdf");
    // Written before the source column existed: five fields.
    log += "2011-03-04 05:06:08   \t7       \t" + std::string("/out/b.pdf") + std::string(70, ' ') +
           "\t2011-03-01 00:00:00   \t2011-03-02 00:00:00   \r\n";
    log += formatLogRecord("2011-03-04 05:06:09", 100000000, longPath, "c", "m", "/src/b.pdf");
    // No tabs: cut at the fixed positions.
    log += std::string("2011-03-04 05:06:10").append(4, ' ') + "99      " + " /out/c.pdf\r\n";
    log += "\r\n";                   // empty line
    log += "x,\"y\"\rz\tb\tc\r\r\n"; // CR inside, CR CR LF end
    log += "last-no-LF";
    writeFileBytes(dir / "append.log", log);

    std::optional<std::vector<LogRow>> rows = readLogFile(dir / "append.log");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 7u);
    EXPECT_EQ((*rows)[0], row("2011-03-04 05:06:07", "12345", "/out/a.pdf", "2011-03-01 00:00:00",
                              "2011-03-02 00:00:00", "/src/a.pdf"));
    EXPECT_EQ((*rows)[1], row("2011-03-04 05:06:08", "7", "/out/b.pdf", "2011-03-01 00:00:00",
                              "2011-03-02 00:00:00", ""));
    EXPECT_EQ((*rows)[2], row("2011-03-04 05:06:09", "100000000", longPath, "c", "m", "/src/b.pdf"));
    EXPECT_EQ((*rows)[3], row("2011-03-04 05:06:10", "99", "/out/c.pdf"));
    EXPECT_EQ((*rows)[4], row(""));
    EXPECT_EQ((*rows)[5], row("x,\"y\"\rz", "b", "c"));
    EXPECT_EQ((*rows)[6], row("last-no-LF"));

    ScriptedSaveDialog dialog;
    dialog.answer = dir / "report"; // no extension typed
    RecordingMessageBoxes messages;
    messages.answers = {MessageAnswer::Yes};
    RecordingOpener opener;
    ASSERT_EQ(ExportLogToCsv(dir / "append.log", dialog, messages, opener), 1);
    ASSERT_EQ(dialog.asked.size(), 1u);
    EXPECT_EQ(dialog.asked[0].title, "Export Log to CSV file");
    EXPECT_EQ(dialog.asked[0].filters, (std::vector<std::string>{"*.csv", "All Files *.*"}));
    EXPECT_EQ(dialog.asked[0].defaultExtension, "csv");
    EXPECT_EQ(readFileBytes(dir / "report.csv"),
              "Time,Bytes,Append File,Created Time,Modified Time,Source File\r\n"
              "2011-03-04 05:06:07,12345,/out/a.pdf,2011-03-01 00:00:00,2011-03-02 00:00:00,/src/a.pdf\r\n"
              "2011-03-04 05:06:08,7,/out/b.pdf,2011-03-01 00:00:00,2011-03-02 00:00:00,\r\n"
              "2011-03-04 05:06:09,100000000," +
                  longPath +
                  ",c,m,/src/b.pdf\r\n"
                  "2011-03-04 05:06:10,99,/out/c.pdf,,,\r\n"
                  ",,,,,\r\n"
                  "\"x,\"\"y\"\"\rz\",b,c,,,\r\n"
                  "last-no-LF,,,,,\r\n");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Do you want to open file now in excel ?");
    EXPECT_EQ(messages.shown[0].caption, "Open File");
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(opener.opened, (std::vector<std::string>{dir / "report.csv"}));
}

TEST(LogTable, ExportFailuresAreReportedAndLeaveNothingBehind)
{
    TempDir dir;
    RecordingOpener opener;
    ScriptedSaveDialog dialog;
    RecordingMessageBoxes messages;

    EXPECT_EQ(ExportLogToCsv(dir / "append.log", dialog, messages, opener), 0); // cancelled
    EXPECT_TRUE(messages.shown.empty());

    dialog.answer = dir / "out.csv";
    EXPECT_EQ(ExportLogToCsv(dir / "append.log", dialog, messages, opener), -1); // no log
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Can't open append.log");
    EXPECT_EQ(messages.shown[0].caption, "Log File Error");
    EXPECT_FALSE(readLogFile(dir / "out.csv"));

    writeFileBytes(dir / "append.log", "");
    dialog.answer = dir / "no/such/folder/out.csv";
    EXPECT_EQ(ExportLogToCsv(dir / "append.log", dialog, messages, opener), -1);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, dir / "no/such/folder/out.csv");
    EXPECT_EQ(messages.shown[1].reason, "No such file or directory");
    EXPECT_EQ(messages.shown[1].caption, "Log Write File Error");

    // An empty log gives the header alone; No leaves the file unopened.
    dialog.answer = dir / "empty.csv";
    EXPECT_EQ(ExportLogToCsv(dir / "append.log", dialog, messages, opener), 1);
    EXPECT_EQ(readFileBytes(dir / "empty.csv"),
              "Time,Bytes,Append File,Created Time,Modified Time,Source File\r\n");
    EXPECT_TRUE(opener.opened.empty());
}

TEST(LogTable, ClearLogEmptiesTheFileAndLaterRecordsStartItAfresh)
{
    TempDir dir;
    AppendLog log(dir / "append.log");
    ASSERT_TRUE(log.open());
    writeFileBytes(dir / "o.pdf", "12");
    ASSERT_TRUE(log.writeRecord(dir / "o.pdf", "s1"));
    ASSERT_TRUE(ClearLog(log));
    EXPECT_EQ(readLogFile(dir / "append.log")->size(), 0u);
    ASSERT_TRUE(log.writeRecord(dir / "o.pdf", "s2"));
    std::vector<LogRow> rows = *readLogFile(dir / "append.log");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fields[1], "2");
    EXPECT_EQ(rows[0].fields[5], "s2");
    EXPECT_FALSE(readLogFile(dir.path())); // a folder is no log
}

TEST(LogTable, SortOrdersRowsByteWiseWithinItsBounds)
{
    std::vector<LogRow> rows = {row("a", "20"), row("b", "100"), row("c", "3"),
                                row("d", "Z"),  row("e", "a"),   row("f", "\xc3\xa9")};
    SortLogRows(rows, 1, true);
    EXPECT_EQ(column(rows, 1), (std::vector<std::string>{"100", "20", "3", "Z", "a", "\xc3\xa9"}));
    SortLogRows(rows, 0, false, 1, 3); // only rows 1..3, descending
    EXPECT_EQ(column(rows, 0), (std::vector<std::string>{"b", "d", "c", "a", "e", "f"}));
    std::vector<LogRow> same = rows;
    SortLogRows(rows, 6, true); // no such column
    SortLogRows(rows, 0, true, 4, 4);
    EXPECT_EQ(rows, same);

    // Many rows, many equal keys, an already sorted and a reversed order:
    // always the sorted multiset, and never a deep recursion.
    std::mt19937 random(7);
    std::vector<LogRow> many;
    for (int i = 0; i < 20000; ++i)
        many.push_back(row(std::to_string(random() % 50), std::to_string(i)));
    for (int pass = 0; pass < 3; ++pass) {
        std::vector<std::string> expected = column(many, 0);
        std::sort(expected.begin(), expected.end());
        if (pass == 2) std::reverse(many.begin(), many.end());
        SortLogRows(many, 0, true);
        EXPECT_EQ(column(many, 0), expected);
    }
}
