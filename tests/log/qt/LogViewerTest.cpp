#include "log/AppendLog.h"
#include "log/qt/LogViewer.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <QApplication>
#include <QFontInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace fb;
using namespace fb::test;

namespace {

std::string cell(const LogViewerDialog& d, int row, int col)
{
    return d.model()->index(row, col).data().toString().toStdString();
}

void clickHeader(LogViewerDialog& d, int section)
{
    QHeaderView* header = d.table()->horizontalHeader();
    QPoint at(header->sectionViewportPosition(section) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// Wall time and this process's processor time, in ms: the machine may be busy.
struct Stopwatch {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    double wallMs() const
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count();
    }
    double cpuMs() const { return 1000.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC; }
};

struct SaveTo : FileDialogs {
    std::string path;
    std::optional<std::string> openFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialogRequest&) override { return path; }
};
struct NoOpener : DesktopOpener {
    OpenOutcome open(const std::string&) override { return {OpenStatus::Opened, 0}; }
};

} // namespace

TEST(LogViewer, ShowsSortsByHeaderClickAndClearsOnlyTheList)
{
    TempDir dir;
    writeFileBytes(dir / "append.log",
                   formatLogRecord("2011-03-04 05:06:07", 20, "/o/b.pdf", "", "", "/s/1.pdf") +
                       formatLogRecord("2011-03-04 05:06:08", 100, "/o/a.pdf", "", "", "/s/2.pdf") +
                       formatLogRecord("2011-03-04 05:06:09", 3, "/o/c.pdf", "", "", "/s/3.pdf"));
    RecordingMessageBoxes messages;
    LogViewerDialog viewer(dir / "append.log", messages);
    viewer.show();
    EXPECT_EQ(viewer.windowTitle(), "View Append Log");
    EXPECT_TRUE(viewer.font().fixedPitch());
    EXPECT_GE(QFontInfo(viewer.font()).pointSizeF(), QFontInfo(QApplication::font()).pointSizeF() - 0.5);
    EXPECT_EQ(viewer.closeButton()->text(), "&Close");
    EXPECT_TRUE(viewer.closeButton()->isDefault());
    EXPECT_EQ(viewer.clearButton()->text(), "Clear");
    const char* headers[] = {"Date/Time",     "File Size",     "Filename",
                             "Creation Time", "Modified Time", "Source File"};
    const int widths[] = {110, 50, 200, 110, 110, 200};
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(viewer.model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
        // The widths grow with the (readable) font and never clip a title.
        EXPECT_GE(viewer.table()->columnWidth(c), widths[c]);
        EXPECT_GE(viewer.table()->columnWidth(c), viewer.table()->horizontalHeader()->sectionSizeHint(c));
    }
    ASSERT_EQ(viewer.model()->rowCount(), 3);
    EXPECT_EQ(cell(viewer, 0, 0), "2011-03-04 05:06:07");
    EXPECT_EQ(cell(viewer, 0, 5), "/s/1.pdf");

    viewer.table()->selectRow(2); // "/o/c.pdf", size 3
    clickHeader(viewer, 1);       // sizes as text: 100 before 20 before 3
    EXPECT_EQ(cell(viewer, 0, 1), "100");
    EXPECT_EQ(cell(viewer, 1, 1), "20");
    EXPECT_EQ(cell(viewer, 2, 1), "3");
    QModelIndexList selected = viewer.table()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0].row(), 2); // the selection went with its row
    clickHeader(viewer, 2);
    EXPECT_EQ(cell(viewer, 0, 2), "/o/a.pdf");
    clickHeader(viewer, 2); // again: still ascending
    EXPECT_EQ(cell(viewer, 0, 2), "/o/a.pdf");

    QTest::mouseClick(viewer.clearButton(), Qt::LeftButton);
    EXPECT_EQ(viewer.model()->rowCount(), 0);
    EXPECT_TRUE(viewer.isVisible());
    EXPECT_EQ(readLogFile(dir / "append.log")->size(), 3u);
    LogViewerDialog again(dir / "append.log", messages);
    EXPECT_EQ(again.model()->rowCount(), 3);
    QTest::mouseClick(viewer.closeButton(), Qt::LeftButton);
    EXPECT_FALSE(viewer.isVisible());
    EXPECT_TRUE(messages.shown.empty());

    LogViewerDialog missing(dir / "none.log", messages);
    EXPECT_EQ(missing.model()->rowCount(), 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Can't open append.log");
    EXPECT_EQ(messages.shown[0].caption, "Log File Error");
}

// Not a tight bound: the figures are printed so a slow-down shows.
TEST(LogViewer, HundredThousandLinesOpenSortAndExportQuickly)
{
    TempDir dir;
    std::string log;
    const int n = std::getenv("FB_N") ? std::atoi(std::getenv("FB_N")) : 100000;
    for (int i = 0; i < n; ++i)
        log += formatLogRecord("2011-03-04 05:06:07", (i * 7919) % 100003,
                               "/data/out/" + std::to_string((i * 7L + 3) % n) + ".pdf",
                               "2011-03-01 00:00:00", "2011-03-02 00:00:00", "/data/src/x.pdf");
    writeFileBytes(dir / "append.log", log);
    RecordingMessageBoxes messages;

    Stopwatch open;
    LogViewerDialog viewer(dir / "append.log", messages);
    viewer.show();
    QApplication::processEvents();
    double openMs = open.wallMs(), openCpu = open.cpuMs();
    ASSERT_EQ(viewer.model()->rowCount(), n);

    Stopwatch sort;
    clickHeader(viewer, 2);
    QApplication::processEvents();
    double sortMs = sort.wallMs(), sortCpu = sort.cpuMs();
    EXPECT_EQ(cell(viewer, 0, 2), "/data/out/0.pdf");

    SaveTo dialog;
    dialog.path = dir / "log.csv";
    NoOpener opener;
    Stopwatch exporting;
    ASSERT_EQ(ExportLogToCsv(dir / "append.log", dialog, messages, opener), 1);
    double exportMs = exporting.wallMs(), exportCpu = exporting.cpuMs();
    std::printf("%d-line log (%zu bytes), wall/cpu ms: open %.0f/%.0f, sort by Filename %.0f/%.0f, "
                "CSV export %.0f/%.0f\n",
                n, log.size(), openMs, openCpu, sortMs, sortCpu, exportMs, exportCpu);
    EXPECT_LT(openMs + sortMs + exportMs, 30000.0);
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
