// Page previews on real widgets: thumbnails drawn by the PDF layer, the marks of
// a typed selection in the Append Parameters dialog, and hostile files.
#include "app/qt/AppendParametersDialog.h"
#include "app/qt/AppendParametersIds.h"
#include "app/qt/DialogDriver.h"
#include "app/qt/JobPlanDialog.h"
#include "app/qt/MainWindow.h"
#include "app/qt/PreviewPanel.h"
#include "app/qt/PromptStack.h"
#include "testkit/SampleFiles.h"
#include "engine/AppendRun.h"
#include "jobs/JobList.h"
#include "pages/PageSpec.h"
#include "pages/qt/PagePreview.h"
#include "pages/qt/ThumbnailRenderer.h"
#include "testkit/HostilePdfs.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"
#include "app/qt/WindowDriver.h"

#include <QAction>
#include <QListWidget>
#include <QTableView>
#include <QPushButton>
#include <QSignalSpy>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <thread>

using namespace fb;
using namespace fb::test;

namespace {

// Waits (without timing anything) until the condition holds or a generous cap passes.
bool waitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 3000 && !done(); ++i)
        QTest::qWait(10);
    return done();
}

// Share of dark pixels in a rectangle given in PDF points of a 612x792 page.
double darkShare(const QImage& image, double x0, double top, double x1, double bottom)
{
    const double s = image.width() / 612.0;
    int dark = 0, all = 0;
    for (int y = static_cast<int>(top * s); y < static_cast<int>(bottom * s); ++y)
        for (int x = static_cast<int>(x0 * s); x < static_cast<int>(x1 * s); ++x, ++all)
            if (qGray(image.pixel(x, y)) < 128) ++dark;
    return all ? static_cast<double>(dark) / all : 0;
}

} // namespace

TEST(PagePreview, ThumbnailShowsTheSampleTextWhereItWasDrawn)
{
    TempDir dir;
    madePdf(dir / "s.pdf", "WWWWWWWW", 3);
    ThumbnailRenderer renderer(306); // half scale: 1 px per 2 points
    QSignalSpy ready(&renderer, &ThumbnailRenderer::ready);
    renderer.setSource(dir / "s.pdf");
    renderer.setVisible(1, 1);
    ASSERT_TRUE(waitFor([&] { return !renderer.thumbnail(1).isNull(); }));
    const QImage page = renderer.thumbnail(1).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(page.width(), 306);
    // The maker writes "<name> p<k>" in 24-point type with its baseline 700
    // points up and 72 in: ink there, none in the lower half of the page.
    EXPECT_GT(darkShare(page, 72, 792 - 700 - 18, 260, 792 - 700), 0.08);
    EXPECT_EQ(darkShare(page, 0, 400, 612, 792), 0.0);
    EXPECT_EQ(darkShare(page, 300, 0, 612, 60), 0.0);
    ASSERT_TRUE(waitFor([&] { return ready.count() > 0; }));
    EXPECT_EQ(ready.first().at(0).toInt(), 1) << "the page in view comes first";
}

TEST(PagePreview, CacheKeepsToItsMemoryBound)
{
    TempDir dir;
    madePdf(dir / "s.pdf", "S", 40);
    const std::size_t bound = 4 * 96 * 125 * 4; // about four thumbnails
    ThumbnailRenderer renderer(96, bound);
    renderer.setSource(dir / "s.pdf");
    for (int first = 0; first < 40; first += 2) {
        renderer.setVisible(first, first + 1);
        ASSERT_TRUE(waitFor([&] { return !renderer.thumbnail(first + 1).isNull(); }));
        EXPECT_LE(renderer.cachedBytes(), bound + 2 * 96 * 125 * 4);
    }
}

TEST(PagePreview, TopOfANewFileIsDrawnWithoutWaitingForTheView)
{
    // While the UI thread is busy (here: processing no events at all) the view
    // is neither laid out nor asking for pages; the first page comes anyway.
    TempDir dir;
    madePdf(dir / "s.pdf", "S", 30);
    PagePreview preview;
    preview.setSource(dir / "s.pdf", 30);
    bool drawn = false;
    for (int i = 0; i < 3000 && !drawn; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        drawn = !preview.renderer().thumbnail(0).isNull();
    }
    EXPECT_TRUE(drawn);
}

TEST(PagePreview, DialogMarksWhatTheTypedSelectionTakesInOrder)
{
    TempDir dir;
    PromptStack stack;
    RecordingMessageBoxes& messages = stack.messages;
    const std::string source = madePdf(dir / "ten.pdf", "T", 10);

    std::map<int, std::vector<long long>> marks;
    QString inlineMessage, refusal;
    std::size_t messagesAfterTyping = 0;
    bool thumbnails = false;
    ModalStep step([&](QDialog* d) {
        auto* preview = d->findChild<PagePreview*>();
        ASSERT_NE(preview, nullptr);
        auto* spec = control<QLineEdit>(d, appendids::kAppendParameters);
        spec->selectAll();
        QTest::keyClicks(spec, "1-2,odd");
        // Marks follow after the pause, not on every key.
        waitFor([&] { return preview->marks().size() == 6; });
        marks = preview->marks();
        thumbnails = waitFor([&] { return !preview->renderer().thumbnail(0).isNull(); });
        spec->selectAll();
        QTest::keyClicks(spec, "12");
        waitFor([&] { return !preview->message().isEmpty(); });
        inlineMessage = preview->message();
        messagesAfterTyping = messages.shown.size();
        // "Save & Exit" still makes its own check and refuses.
        control<QLineEdit>(d, appendids::kOutputFile)->setText(QString::fromStdString(dir / "out.pdf"));
        control<QPushButton>(d, appendids::kSaveAndExit)->click();
        if (!messages.shown.empty()) refusal = QString::fromStdString(messages.shown.back().text);
        d->reject();
    });
    stack.jobs.AddJobEntry(source, 1, {});
    QCoreApplication::processEvents();
    ASSERT_TRUE(step.ran());

    // 1-2,odd takes 1 2 1 3 5 7 9: page 1 twice, at places 1 and 3.
    const std::map<int, std::vector<long long>> expected{{0, {1, 3}}, {1, {2}}, {2, {4}},
                                                         {4, {5}},    {6, {6}}, {8, {7}}};
    EXPECT_EQ(marks, expected);
    EXPECT_EQ(selectionMarks("1-2,odd", 10), expected);
    EXPECT_TRUE(thumbnails);
    const auto error = validatePageSpec("12", 10);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(inlineMessage.toStdString(), *error);
    EXPECT_EQ(messagesAfterTyping, 0u) << "typing never opens a message box";
    EXPECT_NE(refusal.toStdString().find(*error), std::string::npos) << refusal.toStdString();
}

TEST(PagePreview, MarksOfRandomSelectionsEqualTheirExpansion)
{
    std::mt19937 rng(7);
    const char* forms[] = {"all", "odd", "even", "2s", "3-2n", "5-1", "1,1,1", "0", "-3", "4-9999"};
    for (int i = 0; i < 300; ++i) {
        const int pages = std::uniform_int_distribution<int>(1, 30)(rng);
        std::string spec = forms[rng() % std::size(forms)];
        if (rng() % 2)
            spec += std::string(",") + std::to_string(rng() % 40) + "-" + std::to_string(rng() % 40);
        // Expanded by hand: every page of every run in order, numbered from 1.
        std::map<int, std::vector<long long>> expected;
        long long place = 0;
        for (const PageRun& r : expandPageSpec(spec, pages))
            for (long long p = r.first; p <= r.last; ++p) {
                ++place;
                if (p >= 1 && p <= pages) expected[static_cast<int>(p - 1)].push_back(place);
            }
        EXPECT_EQ(selectionMarks(spec, pages), expected) << spec << " of " << pages;
    }
    // A run far past the end is not walked page by page.
    EXPECT_EQ(selectionMarks("1-2000000000", 3).size(), 3u);
}

TEST(PagePreview, HostileFilesShowAPlaceholderAndTheReason)
{
    for (const Kind& kind : hostileKinds()) {
        SCOPED_TRACE(kind.name);
        TempDir dir;
        const std::string path = dir / "hostile.pdf";
        kind.make(path, dir.path());
        auto preview = std::make_unique<PagePreview>();
        preview->resize(300, 400);
        preview->show();
        QSignalSpy opened(&preview->renderer(), &ThumbnailRenderer::opened);
        preview->setSource(path, 1);
        preview->setSelection("all");
        ASSERT_TRUE(waitFor([&] { return opened.count() > 0; })) << "no answer for the file";
        const int pages = opened.first().at(0).toInt();
        if (pages < 0) {
            EXPECT_TRUE(preview->placeholderShown());
            EXPECT_FALSE(preview->message().isEmpty());
        } else {
            // Whatever opens gets drawn, or says why a page can't be.
            waitFor(
                [&] { return !preview->renderer().thumbnail(0).isNull() || !preview->message().isEmpty(); });
        }
        preview.reset(); // never waits on a page being drawn
    }
}

TEST(JobPlanDialog, ShowsThePlanAndEachOutputsPages)
{
    TempDir dir;
    madePdf(dir / "a.pdf", "A", 4);
    madePdf(dir / "b.pdf", "B", 3);
    JobEntry a, b;
    a.selected = b.selected = "Yes";
    a.fileName = dir / "a.pdf";
    a.pages = "4";
    a.appendParameters = "4,1";
    b.fileName = dir / "b.pdf";
    b.pages = "3";
    b.appendParameters = "2-3";
    a.outputFile = b.outputFile = dir / "out.pdf";
    a.createNew = "Y";
    b.createNew = "N";
    a.keepBookmarks = b.keepBookmarks = a.bookmarkFilename = b.bookmarkFilename = "N";
    RunOptions options;
    JobPlan plan = planRows({a, b}, FillerFiles{}, options, dir / "append.log");
    ASSERT_EQ(plan.outputs.size(), 2u) << plan.text();
    EXPECT_FALSE(std::filesystem::exists(dir / "out.pdf"));
    EXPECT_FALSE(std::filesystem::exists(dir / "append.log"));

    JobPlanDialog dialog(nullptr, plan);
    dialog.show();
    dialog.showPages(1);
    ASSERT_TRUE(waitFor([&] { return dialog.pending() == 0; }));
    QListWidget* pages = dialog.pagesView();
    ASSERT_EQ(pages->count(), 4);
    QStringList labels;
    for (int i = 0; i < pages->count(); ++i)
        labels << pages->item(i)->text().split('\n').last();
    EXPECT_EQ(labels, QStringList({"a.pdf:4", "a.pdf:1", "b.pdf:2", "b.pdf:3"}));
}

TEST(PreviewPanel, FollowsTheSelectedRowAndRemembersBeingShown)
{
    TempDir dir;
    qputenv("MERVO_CONFIG_DIR", QByteArray::fromStdString(dir / "config"));
    madePdf(dir / "src.pdf", "S", 6);
    madePdf(dir / "old.pdf", "O", 3);
    RecordingMessageBoxes messages;
    auto open = [&] {
        auto window = std::make_unique<MainWindow>(testWindowOptions(dir, messages));
        window->start({"mervo"}, dir.path());
        window->show();
        return window;
    };
    auto window = open();
    auto* panel = window->findChild<PreviewPanel*>();
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isVisible()) << "hidden until asked for";
    panel->toggleViewAction()->trigger();
    ASSERT_TRUE(panel->isVisible());

    JobList& jobs = window->model().jobs();
    jobs.AddJobEntry(dir / "src.pdf", 1, {"even", "", dir / "new.pdf", "N", "Y", "N", "N"});
    jobs.AddJobEntry(dir / "src.pdf", 1, {"all", "", dir / "old.pdf", "N", "N", "Y", "N"});
    jobs.setRowSelected(0, true);
    window->listView()->selectRow(0);
    ASSERT_TRUE(waitFor([&] { return panel->shownPath() == dir / "src.pdf"; }));
    EXPECT_EQ(panel->preview()->marks(), selectionMarks("even", 6));
    // A row that appends to an existing output shows that output as it stands.
    window->listView()->selectRow(1);
    ASSERT_TRUE(waitFor([&] { return panel->shownPath() == dir / "old.pdf"; }));
    EXPECT_TRUE(waitFor([&] { return panel->preview()->pageCount() == 3; }));
    EXPECT_TRUE(panel->preview()->marks().empty());
    // The output grows (a run appended to it): shown again as it now stands.
    madePdf(dir / "old.pdf", "O", 5);
    panel->showRow(1);
    EXPECT_TRUE(waitFor([&] { return panel->preview()->pageCount() == 5; }));

    window.reset();
    window = open();
    EXPECT_TRUE(window->findChild<PreviewPanel*>()->isVisible()) << "shown again as it was left";
    window->findChild<PreviewPanel*>()->toggleViewAction()->trigger();
    window.reset();
    window = open();
    EXPECT_FALSE(window->findChild<PreviewPanel*>()->isVisible());
    window.reset();
    qunsetenv("MERVO_CONFIG_DIR");
}

// A row that fails part way: the window's Preview Job gives the exit code the
// command line's --dry-run gives for the same job, and says so in both places.
TEST(JobPlanDialog, ExitCodeAgreesWithTheCommandLine)
{
    TempDir dir;
    qputenv("MERVO_CONFIG_DIR", QByteArray::fromStdString(dir / "config"));
    madePdf(dir / "good.pdf", "G", 2);
    writeFileBytes(dir / "bad.pdf", "%PDF-1.4\nnot a pdf at all\n");
    writeFileBytes(dir / "job.app", "good.pdf; all; 2; Ready.; ; out.pdf; N; Y; N; N\r\r\n"
                                    "bad.pdf; all; 2; Ready.; ; out.pdf; N; N; Y; N\r\r\n");
    auto dry = runProgram(FB_MERVO_EXE, {"--dry-run", "job.app", "-r", "-q"}, dir.path(), 60);

    RecordingMessageBoxes messages;
    MainWindow window(testWindowOptions(dir, messages));
    window.start({"mervo"}, dir.path());
    JobList& jobs = window.model().jobs();
    jobs.AddJobEntry(dir / "good.pdf", 1, {"all", "", dir / "out.pdf", "N", "Y", "N", "N"});
    jobs.AddJobEntry(dir / "bad.pdf", 1, {"all", "", dir / "out.pdf", "N", "N", "Y", "N"});
    ASSERT_EQ(jobs.rowCount(), 2);
    jobs.setRowSelected(0, true);
    jobs.setRowSelected(1, true);
    const JobPlan plan = planJobList(window.model());
    EXPECT_NE(dry.exitCode, 0) << dry.out;
    EXPECT_EQ(plan.exitCode, dry.exitCode) << plan.text() << "--\n" << dry.out;
    EXPECT_EQ(plan.lines.back(), "exit " + std::to_string(dry.exitCode));
    qunsetenv("MERVO_CONFIG_DIR");
}
