#include "AppendRunFixture.h"

#include "common/Files.h"

#include <filesystem>
#include <map>
#include <set>
#include <unistd.h>

namespace fb::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kConnect =
    "Failed to connect to full version of Acrobat 4 or greater\n\n"
    "Please either re-install Acrobat or run Acrobat to force this software to use what's running.\n\n"
    "NOTE: This software will not work with Acrobat Reader or Adobe Reader.";
const std::string kCreate =
    "Unable to create new file, if Adobe Reader is running then that is the reason why, Adobe Reader "
    "will be closed, please start Adobe Acrobat and try again.\n"
    "by default when you open a pdf it uses the last used program to open it with.";

enum class Cleanup { None, CloseAll, CloseAllAndExit };

struct FailureCase {
    const char* name;
    const char* call; // the scripted failure
    int occurrence;
    bool existingOutput; // append to an output that exists
    bool filler;         // oddEveryFile set to a one-page file
    // message; "$SRC", "$OUT" and "$FILL" stand for the paths
    std::string message;
    bool suppressed;    // not shown under -e
    const char* status; // "" = as added
    Cleanup cleanup;
    Cleanup cleanupQuiet;
};

std::string expand(std::string text, const std::string& src, const std::string& out, const std::string& fill)
{
    for (auto [key, value] :
         {std::pair<std::string, std::string>{"$SRC", src}, {"$OUT", out}, {"$FILL", fill}}) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;)
            text.replace(at, key.size(), value);
    }
    return text;
}

class AppendRunFailureTable : public AppendRunTest,
                              public ::testing::WithParamInterface<std::tuple<FailureCase, bool>> {};

TEST_P(AppendRunFailureTable, MessageStatusAndCleanup)
{
    const auto& [c, quiet] = GetParam();
    options.quietMode = quiet;
    const std::string src = source("a.pdf", 3);
    const std::string out = dir / "out.pdf";
    const std::string fill = source("fill.pdf", 1);
    if (c.filler) settings.oddEveryFile = fill;
    if (c.existingOutput) writeFakePdf(out, 2);
    const std::string oldOutput = c.existingOutput ? readFileBytes(out) : "";
    const int row = addRow(src, "all", out);
    const std::string added = status(row);
    server.failOn(c.call, c.occurrence);

    run.click();

    const std::string text = expand(c.message, src, out, fill);
    Strings expected;
    if (!(quiet && c.suppressed)) expected.push_back(text);
    EXPECT_EQ(messages.texts(), expected);
    for (const auto& m : messages.shown) {
        EXPECT_EQ(m.caption, applicationName());
        EXPECT_EQ(m.icon, MessageIcon::Warning);
        EXPECT_EQ(m.buttons, MessageButtons::Ok);
    }
    EXPECT_EQ(status(row), *c.status ? std::string(c.status) : added);
    const Cleanup cleanup = quiet ? c.cleanupQuiet : c.cleanup;
    Strings calls;
    if (cleanup != Cleanup::None) calls.push_back("App.CloseAllDocs()");
    if (cleanup == Cleanup::CloseAllAndExit) calls.push_back("App.Exit()");
    EXPECT_EQ(cleanupCalls(), calls);
    EXPECT_EQ(run.lastResult(), RunResult::Failed);
    EXPECT_EQ(run.buttonCaption(), "Append Files");
    EXPECT_FALSE(run.isRunning());
    if (c.existingOutput && std::string(c.call) != "PDDoc.Close") {
        EXPECT_EQ(readFileBytes(out), oldOutput); // nothing saved over it
    }
    EXPECT_EQ(readers.calls, std::string(c.call) == "PDDoc.Create" ? 2 : 1);
}

const FailureCase kCases[] = {
    {"NoApp", "create.App", 1, false, false, kConnect, false, "", Cleanup::None, Cleanup::None},
    {"NoAVDoc", "create.AVDoc", 1, false, false,
     "Failed to create AVDoc - Ensure that you have installed Full Acrobat", false, "", Cleanup::None,
     Cleanup::None},
    {"NoOutputPDDoc", "create.PDDoc", 1, false, false,
     "Failed to create PDDoc - Ensure that you have installed Full Acrobat after Reader", false, "",
     Cleanup::None, Cleanup::None},
    {"NoSourcePDDoc", "create.PDDoc", 2, false, false,
     "Failed to create PDDoc - Ensure that you have installed Full Acrobat", false, "", Cleanup::None,
     Cleanup::None},
    {"NoFreshPDDoc", "create.PDDoc", 3, false, false,
     "Failed to create PDDoc - Ensure that you have installed Full Acrobat", false, "Done", Cleanup::None,
     Cleanup::None},
    {"CreateRaises", "PDDoc.Create", 1, false, false, kCreate, false, "Processing", Cleanup::CloseAllAndExit,
     Cleanup::CloseAllAndExit},
    {"OutputOpen", "PDDoc.Open", 1, true, false, "Error Opening File : $OUT", true, "Processing",
     Cleanup::CloseAllAndExit, Cleanup::CloseAllAndExit},
    {"SourceOpen", "PDDoc.Open", 1, false, false, "Error Opening File : $SRC", true, "Processing",
     Cleanup::CloseAllAndExit, Cleanup::CloseAllAndExit},
    {"SourceOpenExistingOutput", "PDDoc.Open", 2, true, false, "Error Opening File : $SRC", true,
     "Processing", Cleanup::CloseAllAndExit, Cleanup::CloseAllAndExit},
    {"Insert", "PDDoc.InsertPages", 1, false, false, "Error! can't insert pages", true, "Processing",
     Cleanup::CloseAll, Cleanup::CloseAll},
    {"SourceClose", "PDDoc.Close", 1, false, false, "Failed to get Close doc", true, "Processing",
     Cleanup::CloseAll, Cleanup::CloseAll},
    {"FillerOpen", "PDDoc.Open", 2, false, true, "Error Opening File : $FILL", false, "Processing",
     Cleanup::CloseAll, Cleanup::CloseAll},
    {"FillerInsert", "PDDoc.InsertPages", 2, false, true,
     "Error! can't insert pages\nPlease make sure Acrobat is running NOT Adobe Reader", false, "Processing",
     Cleanup::CloseAll, Cleanup::CloseAll},
    {"FillerClose", "PDDoc.Close", 2, false, true, "Failed to get Close doc", false, "Processing",
     Cleanup::CloseAll, Cleanup::CloseAll},
    {"Save", "PDDoc.Save", 1, true, false, "Failed to save file: $OUT", true, "Processing", Cleanup::CloseAll,
     Cleanup::CloseAll},
    {"OutputClose", "PDDoc.Close", 2, false, false, "Failed to get Close doc", false, "Processing",
     Cleanup::CloseAll, Cleanup::None},
};

INSTANTIATE_TEST_SUITE_P(Failures, AppendRunFailureTable,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Quiet" : "");
                         });

TEST_F(AppendRunTest, NoAppBeepsAndRemovesTheConnectionWindow)
{
    server.failOn("create.App");
    addRow(source("a.pdf", 1), "all", dir / "o.pdf");
    run.click();
    EXPECT_EQ(host.beeps, (Strings{"2500/400"}));
    EXPECT_EQ(connection.events, (Strings{"show", "hide"}));
    EXPECT_EQ(server.calls(), (Strings{"create.App"}));
}

// An existing output is replaced only by the save: a failure before it leaves
// the old file exactly as it was.
TEST_F(AppendRunTest, ReplacedOutputSurvivesAFailureBeforeTheSave)
{
    const std::string out = dir / "out.pdf";
    writeFakePdf(out, 5);
    const std::string before = readFileBytes(out);
    addRow(source("a.pdf", 1), "all", out, "Y");
    server.failOn("PDDoc.InsertPages");
    run.click();
    EXPECT_EQ(readFileBytes(out), before);
    EXPECT_EQ(server.count("PDDoc.Create"), 1);
}

TEST_F(AppendRunTest, OutputThatCannotBeReplacedEndsTheRunBeforeAnythingIsWritten)
{
    const std::string out = dir / "out.pdf";
    createFolderOneLevel(out); // a folder where the output should be
    const int row = addRow(source("a.pdf", 1), "all", out, "Y");
    run.click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Unable to remove file: " + out + "\nPlease check acrobat.exe isn't running in taskmanager.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(messages.shown[0].caption, applicationName());
    EXPECT_EQ(status(row), "Processing");
    EXPECT_EQ(server.count("PDDoc.Create"), 0);
    EXPECT_TRUE(cleanupCalls().empty());
    EXPECT_TRUE(isDirectory(out));
    EXPECT_EQ(run.lastResult(), RunResult::Failed);

    options.quietMode = true;
    messages.shown.clear();
    run.click();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(run.lastResult(), RunResult::Failed);
}

TEST_F(AppendRunTest, OutputInReadOnlyFolderIsNotReplaced)
{
    if (geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
    createFolderOneLevel(dir / "ro");
    const std::string out = dir / "ro/out.pdf";
    writeFakePdf(out, 2);
    const std::string before = readFileBytes(out);
    chmod((dir / "ro").c_str(), 0555);
    addRow(source("a.pdf", 1), "all", out, "Y");
    run.click();
    chmod((dir / "ro").c_str(), 0755);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.rfind("Unable to remove file: " + out, 0), 0u);
    EXPECT_EQ(readFileBytes(out), before);
}

TEST_F(AppendRunTest, OutputThatIsTheSourceEndsTheRunUntouched)
{
    const std::string src = source("a.pdf", 2);
    const std::string before = readFileBytes(src);
    options.quietMode = true; // shown all the same
    const int row = addRow(src, "all", dir.path() + "/./a.pdf", "Y");
    run.click();
    EXPECT_EQ(messages.texts(),
              (Strings{"The output file is the same as the source file: " + dir.path() + "/./a.pdf"}));
    EXPECT_EQ(status(row), "Stopped");
    EXPECT_EQ(cleanupCalls(), (Strings{"App.CloseAllDocs()", "App.Exit()"}));
    EXPECT_EQ(server.count("PDDoc.Create"), 0);
    EXPECT_EQ(server.count("PDDoc.Open"), 0);
    EXPECT_EQ(readFileBytes(src), before);
    EXPECT_EQ(run.lastResult(), RunResult::Failed);
}

TEST_F(AppendRunTest, MoveIntoItsOwnFolderKeepsTheSource)
{
    const std::string src = source("a.pdf", 2);
    const std::string before = readFileBytes(src);
    addRow(src, "all", dir / "out.pdf", "N", dir.path());
    run.click();
    EXPECT_EQ(readFileBytes(src), before);
    EXPECT_EQ(messages.texts(), (Strings{"Done."}));
}

TEST_F(AppendRunTest, FailedMoveIsReportedAndTheRunGoesOn)
{
    options.quietMode = true; // a script must learn that the source stayed
    const std::string src = source("a.pdf", 1);
    writeFileBytes(dir / "plain", "x");
    addRow(src, "all", dir / "o1.pdf", "N", dir / "plain/sub");
    addRow(source("b.pdf", 1), "all", dir / "o2.pdf");
    run.click();
    EXPECT_EQ(messages.texts(),
              (Strings{"Unable to move file: " + src + " to " + dir / "plain/sub/a.pdf" + "\nNot a directory",
                       "Done."}));
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(pathExists(src));
    EXPECT_TRUE(pathExists(dir / "o2.pdf"));
    EXPECT_EQ(run.lastResult(), RunResult::Completed);
}

TEST_F(AppendRunTest, TooManyPageRunsEndTheRunInsteadOfDroppingPages)
{
    const std::string src = source("a.pdf", 1);
    const int row = addRow(src, "1s", dir / "o.pdf");
    jobs.setText(row, kPages, "20000");
    run.click();
    EXPECT_EQ(messages.texts(), (Strings{"too many page runs: at most 19999 are allowed\n" + src}));
    EXPECT_EQ(messages.shown[0].caption, "Error in parameters");
    EXPECT_EQ(status(row), "Stopped");
    EXPECT_TRUE(server.callsNamed("PDDoc.Open").empty() && server.callsNamed("PDDoc.Save").empty());
    EXPECT_FALSE(pathExists(dir / "o.pdf"));
    EXPECT_EQ(run.lastResult(), RunResult::Failed);
}

TEST_F(AppendRunTest, ExactlyTheMostPageRunsIsFine)
{
    const std::string src = source("a.pdf", 1);
    const int row = addRow(src, "1s", dir / "o.pdf");
    jobs.setText(row, kPages, "19999");
    run.click();
    // The source really has one page, so the second insert fails; what matters is
    // that the run got that far.
    EXPECT_EQ(server.count("PDDoc.InsertPages"), 2);
}

TEST_F(AppendRunTest, AutomationErrorIsReportedAndTheRunEndsCleanly)
{
    options.quietMode = true;
    const int row = addRow(source("a.pdf", 2), "all", dir / "o.pdf");
    server.throwOn("PDDoc.InsertPages");
    server.throwOn("App.Exit"); // the clean-up may fail as well
    run.click();
    EXPECT_EQ(messages.texts(), (Strings{"Acrobat automation error: PDDoc.InsertPages raised an error"}));
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(status(row), "Processing");
    EXPECT_EQ(cleanupCalls(), (Strings{"App.CloseAllDocs()", "App.Exit()"}));
    EXPECT_EQ(run.buttonCaption(), "Append Files");
    EXPECT_FALSE(run.isRunning());
    EXPECT_EQ(run.lastResult(), RunResult::Failed);
}

TEST_F(AppendRunTest, AutomationErrorWhileConnectingHidesTheConnectionWindow)
{
    addRow(source("a.pdf", 2), "all", dir / "o.pdf");
    server.throwOn("create.App");
    run.click();
    EXPECT_EQ(connection.events, (Strings{"show", "hide"}));
    EXPECT_EQ(messages.texts(), (Strings{"Acrobat automation error: create.App raised an error"}));
    EXPECT_TRUE(cleanupCalls().empty());
}

TEST_F(AppendRunTest, UnattendedRunListsMissingSources)
{
    options.argumentCount = 2;
    const std::string gone = dir / "gone.pdf";
    const int missing = addRow(source("x.pdf", 1), "all", dir / "o0.pdf");
    jobs.setText(missing, kFileName, gone);
    jobs.setText(missing, kSelected, "No");
    jobs.setText(missing, kStatus, "No File.");
    const int other = addRow(source("y.pdf", 1), "all", dir / "o1.pdf");
    jobs.setText(other, kSelected, "No"); // deselected for another reason: not missing
    addRow(source("b.pdf", 1), "all", dir / "o2.pdf");

    testing::internal::CaptureStderr();
    run.click();
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(run.missingSources(), (Strings{gone}));
    // Named once, in the closing line the program writes from undone().
    EXPECT_EQ(err, "");
    EXPECT_EQ(run.undone(), (Strings{"source file not found: " + gone}));
    EXPECT_TRUE(pathExists(dir / "o2.pdf"));
    EXPECT_EQ(run.lastResult(), RunResult::Completed);
}

TEST_F(AppendRunTest, MissingSourcesOnlyCountedForUnattendedRuns)
{
    const int missing = addRow(source("x.pdf", 1), "all", dir / "o0.pdf");
    jobs.setText(missing, kSelected, "No");
    jobs.setText(missing, kStatus, "No File.");
    run.click();
    EXPECT_TRUE(run.missingSources().empty());
}

TEST_F(AppendRunTest, LogRecordThatCannotBeWrittenIsNotLostSilently)
{
    options.quietMode = true;
    addRow(source("a.pdf", 1), "all", dir / "o.pdf");
    log.close(); // as when the disk is full: the record can't be written
    run.click();
    EXPECT_TRUE(pathExists(dir / "o.pdf"));
    EXPECT_EQ(run.lastResult(), RunResult::Completed);
    EXPECT_EQ(run.undone(),
              (Strings{"no log record written for " + dir / "o.pdf" + " (Bad file descriptor)"}));
}

} // namespace
} // namespace fb::test

namespace fb::test {
namespace {

// A two-row job into an existing output with every optional step on (run
// bookmarks, file-name bookmarks, both fillers, moves), run once cleanly to
// learn its automation calls; then each of those calls in turn fails once (or
// throws) in a fresh run.
struct FaultRig : AppendRunTest {
    void TestBody() override {}
    using AppendRunTest::cleanupCalls;
    using AppendRunTest::logLines;
    using AppendRunTest::messages;
    using AppendRunTest::options;
    using AppendRunTest::pagesOf;
    using AppendRunTest::run;
    using AppendRunTest::server;
    using AppendRunTest::status;

    std::string out, done, fill;
    std::vector<std::string> sources;
    std::map<std::string, std::string> sourceBytes;

    void setUpJob()
    {
        out = dir / "out.pdf";
        done = dir / "done";
        fill = source("fill.pdf", 1);
        settings.oddEveryFile = fill;
        settings.oddFinalFile = fill;
        writeFakePdf(out, 2);
        sources = {source("a.pdf", 3), source("b.pdf", 2)};
        for (const auto& s : sources)
            sourceBytes[s] = readFileBytes(s);
        addRow(sources[0], "1-2,3", out, "N", done, "Y", "Y");
        addRow(sources[1], "all", out, "N", done, "N", "Y");
    }

    // Each source is where it was or, byte for byte, in the move folder.
    void expectNoSourceLost(const std::string& what)
    {
        for (const auto& s : sources) {
            const std::string moved = done + "/" + std::filesystem::path(s).filename().string();
            const bool here = pathExists(s), there = pathExists(moved);
            EXPECT_NE(here, there) << what << ": " << s;
            EXPECT_EQ(readFileBytes(here ? s : moved), sourceBytes[s]) << what;
        }
    }
};

// The pages of the output after the first n rows of a clean run (n = 0: as it was).
std::vector<std::vector<std::string>> outputVersions()
{
    std::vector<std::vector<std::string>> versions;
    for (int rows = 0; rows <= 2; ++rows) {
        FaultRig rig;
        rig.setUpJob();
        // The fresh output object made after the first row ends the run there
        // when it fails; the output's own open failing ends it before anything.
        if (rows == 1) rig.server.failOn("create.PDDoc", 3);
        if (rows == 0) rig.server.failOn("PDDoc.Open", 1);
        rig.options.quietMode = true;
        rig.run.click();
        versions.push_back(rig.pagesOf(rig.out));
    }
    return versions;
}

TEST(AppendRunFaults, EveryCallFailingOnceOrThrowingLosesNothing)
{
    const auto versions = outputVersions();
    ASSERT_EQ(versions[0].size(), 2u);
    std::vector<std::string> calls;
    {
        FaultRig clean;
        clean.setUpJob();
        clean.run.click();
        ASSERT_EQ(clean.run.lastResult(), RunResult::Completed);
        ASSERT_EQ(clean.pagesOf(clean.out), versions[2]);
        for (const auto& c : clean.server.calls())
            calls.push_back(c.substr(0, c.find('(')));
    }
    // Calls whose zero result is not a failure in the interface: a zero page
    // count is a count, and a bookmark step that gives nothing only leaves the
    // bookmark untitled.
    const std::set<std::string> notFailures = {
        "PDDoc.GetNumPages",   "AVPageView.GoTo", "PDBookmark.SetTitle", "PDBookmark.GetByTitle",
        "App.MenuItemExecute", "PDDoc.OpenAVDoc", "AVDoc.GetAVPageView"};
    ASSERT_GT(calls.size(), 40u);
    std::map<std::string, int> seen;
    for (const auto& name : calls) {
        const int occurrence = ++seen[name];
        for (bool throws : {false, true}) {
            const std::string what =
                name + " #" + std::to_string(occurrence) + (throws ? " throws" : " fails");
            FaultRig rig;
            rig.setUpJob();
            if (throws) {
                rig.server.throwOn(name, occurrence);
            } else {
                rig.server.failOn(name, occurrence);
            }
            rig.run.click();

            EXPECT_FALSE(rig.run.isRunning()) << what;
            EXPECT_EQ(rig.run.buttonCaption(), "Append Files") << what;
            rig.expectNoSourceLost(what);
            // The output is a whole version: as it was, or as the rows logged left it.
            const int logged = rig.logLines();
            ASSERT_LE(logged, 2) << what;
            // A close that fails after the save leaves the row saved but not logged.
            const auto pages = rig.pagesOf(rig.out);
            const bool closedAfterSave = name == "PDDoc.Close" && logged < 2 && pages == versions[logged + 1];
            if ((throws || !notFailures.count(name)) && !closedAfterSave) {
                EXPECT_EQ(pages, versions[logged]) << what;
            }
            // A row that was not logged was not moved either.
            for (int row = 0; row < 2; ++row) {
                const bool moved = !pathExists(rig.sources[row]);
                EXPECT_EQ(moved, row < logged) << what << ", row " << row;
            }
            const auto shown = rig.messages.texts();
            if (rig.run.lastResult() == RunResult::Failed) {
                // Said once; the row the run ended on is not marked done.
                ASSERT_EQ(shown.size(), 1u) << what;
                EXPECT_FALSE(shown[0].empty()) << what;
                if (throws) {
                    EXPECT_EQ(shown[0], "Acrobat automation error: " + name + " raised an error");
                }
                if (logged < 2) {
                    EXPECT_NE(rig.status(logged), "Done") << what;
                }
                // A run that got Acrobat going closes its documents, except where a
                // failure leaves nothing open to close.
                const bool started =
                    name != "create.App" && name != "create.AVDoc" && !(name == "create.PDDoc" && !throws);
                if (started && name != "App.CloseAllDocs") {
                    EXPECT_FALSE(rig.cleanupCalls().empty()) << what;
                }
            } else {
                EXPECT_EQ(rig.run.lastResult(), RunResult::Completed) << what;
                EXPECT_EQ(logged, 2) << what;
                EXPECT_EQ(rig.status(0), "Done") << what;
                EXPECT_EQ(rig.status(1), "Done") << what;
            }
        }
    }
}

} // namespace
} // namespace fb::test
