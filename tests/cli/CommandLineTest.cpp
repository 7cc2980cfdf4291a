#include "cli/CliFakes.h"
#include "cli/CommandLine.h"
#include "common/Text.h"

#include <gtest/gtest.h>

namespace fb {
namespace {

using test::JobListFixture;
using test::RecordingClipboard;
using test::RecordingHost;
using Slots = std::vector<std::string>;

// ---------------------------------------------------------------- splitting

TEST(SplitCommandLine, KeepsEndingSpacesQuotesAndTheFinalToken)
{
    EXPECT_EQ(splitCommandLine("a  b"), (Slots{"a ", " ", "b"}));
    EXPECT_EQ(splitCommandLine("mervo \"/a b/x.pdf\" -r"), (Slots{"mervo ", "\"/a b/x.pdf\" ", "-r"}));
    EXPECT_EQ(splitCommandLine("mervo "), (Slots{"mervo ", ""}));
    EXPECT_EQ(splitCommandLine(""), (Slots{""}));
    EXPECT_EQ(splitCommandLine("mervo -o\"/o d/x.pdf\" y"), (Slots{"mervo ", "-o\"/o d/x.pdf\" ", "y"}));
}

TEST(SplitCommandLine, UnclosedQuoteRunsToTheEnd)
{
    EXPECT_EQ(splitCommandLine("mervo \"a b -r -q"), (Slots{"mervo ", "\"a b -r -q"}));
}

// ------------------------------------------------------------ interpreting

class ProcessCommandLineTest : public ::testing::Test {
protected:
    void process(const Slots& args, const std::string& startDirectory = "/start")
    {
        Slots slots{"mervo"};
        slots.insert(slots.end(), args.begin(), args.end());
        ProcessCommandLine(slots, f.jobs, host, options, startDirectory);
    }
    void processRaw(const std::string& raw)
    {
        ProcessCommandLine(splitCommandLine(raw), f.jobs, host, options, "/start");
    }
    JobEntry row(int r) { return f.jobs.entry(r); }

    JobListFixture f;
    RecordingHost host{f.jobs};
    RunOptions options;
};

TEST_F(ProcessCommandLineTest, FileBeforeAnySwitchGetsTheInitialValues)
{
    process({"/a b/x.pdf"});
    ASSERT_EQ(f.jobs.rowCount(), 1);
    EXPECT_EQ(row(0).fileName, "/a b/x.pdf");
    // Added selected, then deselected because the file does not exist.
    EXPECT_EQ(row(0).selected, "No");
    EXPECT_EQ(row(0).appendParameters, "all");
    EXPECT_EQ(row(0).outputFile, "/start/default.pdf");
    EXPECT_EQ(row(0).moveToDirectory, "");
    EXPECT_EQ(row(0).createNew, "N");
    EXPECT_EQ(row(0).appendExisting, "Y");
    EXPECT_EQ(row(0).keepBookmarks, "N");
    EXPECT_EQ(row(0).bookmarkFilename, "N");
    EXPECT_EQ(row(0).status, "No File.");
    EXPECT_TRUE(f.prompt.prompted.empty());
    EXPECT_EQ(host.calls, (Slots{"total@1"}));
}

TEST_F(ProcessCommandLineTest, DefaultOutputFileJoinsTheStartFolderOnce)
{
    process({"/x.pdf"}, "/");
    process({"/y.pdf"}, "");
    EXPECT_EQ(row(0).outputFile, "/default.pdf");
    EXPECT_EQ(row(1).outputFile, "default.pdf");
}

TEST_F(ProcessCommandLineTest, RawQuotedPathWithBlankIsOneRow)
{
    processRaw("mervo \"/a b/x.pdf\"");
    ASSERT_EQ(f.jobs.rowCount(), 1);
    EXPECT_EQ(row(0).fileName, "/a b/x.pdf");
}

TEST_F(ProcessCommandLineTest, FullUnattendedLine)
{
    processRaw("mervo -c -b -p2-4 -o/o.pdf /x.pdf -r -q");
    ASSERT_EQ(f.jobs.rowCount(), 1);
    EXPECT_EQ(row(0).fileName, "/x.pdf");
    EXPECT_EQ(row(0).appendParameters, "2-4");
    EXPECT_EQ(row(0).outputFile, "/o.pdf");
    EXPECT_EQ(row(0).createNew, "Y");
    EXPECT_EQ(row(0).appendExisting, "N");
    EXPECT_EQ(row(0).keepBookmarks, "Y");
    EXPECT_EQ(host.calls, (Slots{"run@1", "close@1", "total@1"}));
}

TEST_F(ProcessCommandLineTest, FlagSwitchesAndTheirOpposites)
{
    process({"-c", "-b", "-f", "/1.pdf", "-a", "-n", "/2.pdf"});
    ASSERT_EQ(f.jobs.rowCount(), 2);
    EXPECT_EQ(row(0).createNew, "Y");
    EXPECT_EQ(row(0).appendExisting, "N");
    EXPECT_EQ(row(0).keepBookmarks, "Y");
    EXPECT_EQ(row(0).bookmarkFilename, "Y");
    EXPECT_EQ(row(1).createNew, "N");
    EXPECT_EQ(row(1).appendExisting, "Y");
    EXPECT_EQ(row(1).keepBookmarks, "N");
    EXPECT_EQ(row(1).bookmarkFilename, "Y"); // no switch turns it off again
}

TEST_F(ProcessCommandLineTest, RunOptionsAreClearedThenSetBySwitches)
{
    options.noConnectionWindow = true;
    options.quietMode = true;
    process({"/x.pdf"});
    EXPECT_FALSE(options.noConnectionWindow);
    EXPECT_FALSE(options.quietMode);
    process({"-d", "-e"});
    EXPECT_TRUE(options.noConnectionWindow);
    EXPECT_TRUE(options.quietMode);
}

TEST_F(ProcessCommandLineTest, UnknownLoneAndUpperCaseSwitchesAreIgnored)
{
    process({"-", "-x", "-C", "-B", "-R", "-Q", "-S", "/x.pdf"});
    ASSERT_EQ(f.jobs.rowCount(), 1);
    EXPECT_EQ(row(0).createNew, "N");
    EXPECT_EQ(row(0).keepBookmarks, "N");
    EXPECT_EQ(host.calls, (Slots{"total@1"}));
    EXPECT_TRUE(f.messages.shown.empty());
}

TEST_F(ProcessCommandLineTest, SpaceAfterOutputSwitchEmptiesItAndTheValueBecomesASource)
{
    processRaw("mervo -o /o.pdf /x.pdf");
    ASSERT_EQ(f.jobs.rowCount(), 2);
    EXPECT_EQ(row(0).fileName, "/o.pdf");
    EXPECT_EQ(row(0).outputFile, "");
    EXPECT_EQ(row(1).fileName, "/x.pdf");
    EXPECT_EQ(row(1).outputFile, "");
}

TEST_F(ProcessCommandLineTest, QuotedOutputAndPaddedValuesAreCleaned)
{
    processRaw("mervo -o\"/out dir/all.pdf\" -p1-3,7 \" /in/a.pdf \"");
    ASSERT_EQ(f.jobs.rowCount(), 1);
    EXPECT_EQ(row(0).outputFile, "/out dir/all.pdf");
    EXPECT_EQ(row(0).appendParameters, "1-3,7");
    EXPECT_EQ(row(0).fileName, "/in/a.pdf");
}

TEST_F(ProcessCommandLineTest, SwitchesApplyOnlyToLaterFiles)
{
    process({"/x.pdf", "-b", "-p5", "-o/o.pdf", "/y.pdf"});
    ASSERT_EQ(f.jobs.rowCount(), 2);
    EXPECT_EQ(row(0).keepBookmarks, "N");
    EXPECT_EQ(row(0).appendParameters, "all");
    EXPECT_EQ(row(0).outputFile, "/start/default.pdf");
    EXPECT_EQ(row(1).keepBookmarks, "Y");
    EXPECT_EQ(row(1).appendParameters, "5");
    EXPECT_EQ(row(1).outputFile, "/o.pdf");
}

TEST_F(ProcessCommandLineTest, EmptyPageSwitchHandsEachFileToTheParametersPrompt)
{
    process({"-p", "/x.pdf", "/y.pdf"});
    ASSERT_EQ(f.jobs.rowCount(), 2);
    EXPECT_EQ(row(0).appendParameters, "");
    EXPECT_EQ(f.prompt.prompted, (Slots{"/x.pdf", "/y.pdf"}));
}

TEST_F(ProcessCommandLineTest, NonPdfAndBlankArgumentsAddNoRows)
{
    processRaw("mervo  /notes.txt /x.Pdf ");
    EXPECT_EQ(f.jobs.rowCount(), 0);
    EXPECT_EQ(host.calls, (Slots{"total@0"}));
}

TEST_F(ProcessCommandLineTest, AppAnywhereInTheArgumentReadsABatchFile)
{
    processRaw("mervo \"/jobs/my week.app\" /x.apps/y.pdf /z.pdf -r -q");
    EXPECT_EQ(host.calls,
              (Slots{"batch:/jobs/my week.app", "batch:/x.apps/y.pdf", "run@1", "close@1", "total@1"}));
    ASSERT_EQ(f.jobs.rowCount(), 1);
    EXPECT_EQ(row(0).fileName, "/z.pdf");
}

TEST_F(ProcessCommandLineTest, RunAndCloseActWhenReached)
{
    process({"-r", "/x.pdf", "-r", "-q", "/y.pdf", "-b", "/z.pdf"});
    EXPECT_EQ(host.calls, (Slots{"run@0", "run@1", "close@1", "total@3"}));
    EXPECT_EQ(row(2).keepBookmarks, "Y");
}

TEST_F(ProcessCommandLineTest, SortSwitchSortsTheRowsSoFarOnFileName)
{
    process({"/b.pdf", "/B.pdf", "/a.pdf", "-s", "/0.pdf"});
    EXPECT_EQ(f.fileNames(), (Slots{"/B.pdf", "/a.pdf", "/b.pdf", "/0.pdf"}));
}

TEST_F(ProcessCommandLineTest, OnlyAnAsteriskMakesAWildcard)
{
    process({"/in/?.pdf"});
    ASSERT_EQ(f.jobs.rowCount(), 1);
    EXPECT_EQ(row(0).fileName, "/in/?.pdf");
    EXPECT_EQ(row(0).status, "No File.");
}

TEST_F(ProcessCommandLineTest, ProgramSlotAloneAddsNothing)
{
    process({});
    EXPECT_EQ(f.jobs.rowCount(), 0);
    EXPECT_EQ(host.calls, (Slots{"total@0"}));
}

TEST(CommandLineTooLong, RefusesAnArgumentBeyondTheFieldLimit)
{
    std::string message;
    Slots ok{std::string(5000, 'p'), std::string(kMaxTextLength, 'x')};
    EXPECT_FALSE(commandLineTooLong(ok, message)); // the program's own path is no field

    std::string longArg = "/" + std::string(kMaxTextLength, 'y') + ".pdf";
    Slots bad{"mervo", "/x.pdf", longArg};
    ASSERT_TRUE(commandLineTooLong(bad, message));
    EXPECT_EQ(message, "Argument too long (more than 4095 characters): " + longArg.substr(0, 60) + "...");
}

// ------------------------------------------------------- the shown command

JobEntry rowWith(std::string fileName, std::string params, std::string output, std::string create,
                 std::string keep)
{
    JobEntry e;
    e.fileName = std::move(fileName);
    e.appendParameters = std::move(params);
    e.outputFile = std::move(output);
    e.createNew = std::move(create);
    e.keepBookmarks = std::move(keep);
    return e;
}

TEST(BuildCommandLine, Texts)
{
    EXPECT_EQ(buildCommandLine(rowWith("/in/a.pdf", "1-3", "/out/all.pdf", "N", "Y")),
              "mervo -a -b -p1-3 -o\"/out/all.pdf\" \"/in/a.pdf\" -r -q");
    EXPECT_EQ(buildCommandLine(rowWith("/in/a.pdf", "", "", "N", "N")), "mervo -a -n \"/in/a.pdf\" -r -q");
    EXPECT_EQ(buildCommandLine(rowWith("/in/a.pdf", "odd", "/o.pdf", "Y", "N")),
              "mervo -c -n -podd -o\"/o.pdf\" \"/in/a.pdf\" -r -q");
    // Only exactly "Y" counts.
    EXPECT_EQ(buildCommandLine(rowWith("", "", "", "y", "yes")), "mervo -a -n -r -q");
}

TEST(BuildCommandLine, LongTextsStayWhole)
{
    std::string name = "/" + std::string(3000, 'n') + ".pdf";
    std::string out = "/" + std::string(3000, 'o') + ".pdf";
    std::string text = buildCommandLine(rowWith(name, "all", out, "N", "N"));
    EXPECT_EQ(text, "mervo -a -n -pall -o\"" + out + "\" \"" + name + "\" -r -q");
}

TEST(BuildCommandLine, ItsTextReproducesTheRowWhenRunAgain)
{
    JobListFixture f;
    RecordingHost host{f.jobs};
    RunOptions options;
    std::string text = buildCommandLine(rowWith("/in dir/a.pdf", "2-4", "/out dir/all.pdf", "Y", "Y"));
    ProcessCommandLine(splitCommandLine(text), f.jobs, host, options, "/start");
    ASSERT_EQ(f.jobs.rowCount(), 1);
    EXPECT_EQ(f.jobs.entry(0).fileName, "/in dir/a.pdf");
    EXPECT_EQ(f.jobs.entry(0).appendParameters, "2-4");
    EXPECT_EQ(f.jobs.entry(0).outputFile, "/out dir/all.pdf");
    EXPECT_EQ(f.jobs.entry(0).createNew, "Y");
    EXPECT_EQ(f.jobs.entry(0).keepBookmarks, "Y");
    EXPECT_EQ(host.calls, (Slots{"run@1", "close@1", "total@1"}));
}

class ShowCommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        f.jobs.AddJobEntry("/in/first.pdf", 1, {"all", "", "/o1.pdf", "N", "N", "Y", "N"});
        f.jobs.AddJobEntry("/in/a.pdf", 1, {"1-3", "/moved", "/out/all.pdf", "Y", "N", "Y", "Y"});
        f.jobs.AddJobEntry("/in/third.pdf", 1, {"odd", "", "/o3.pdf", "N", "Y", "N", "N"});
        f.messages.shown.clear();
    }
    JobListFixture f;
    RecordingClipboard clipboard;
};

TEST_F(ShowCommandLineTest, NoSelectionAsksForOne)
{
    f.jobs.clearSelection();
    ShowCommandLine(f.jobs, f.messages, clipboard, f.prompt);
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text, "Please select item first");
    EXPECT_EQ(f.messages.shown[0].caption, applicationName());
    EXPECT_EQ(f.prompt.holdCount, 0);
    EXPECT_TRUE(clipboard.texts.empty());
}

TEST_F(ShowCommandLineTest, ShowsTheFirstSelectedRowAndHoldsItsValues)
{
    f.jobs.clearSelection();
    f.jobs.setRowSelected(2, true);
    f.jobs.setRowSelected(1, true);
    ShowCommandLine(f.jobs, f.messages, clipboard, f.prompt);
    const std::string text = "mervo -a -b -p1-3 -o\"/out/all.pdf\" \"/in/a.pdf\" -r -q";
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text, text + "\n\ncopy command to clipboard ?");
    EXPECT_EQ(f.messages.shown[0].caption, "Command Line Parameters");
    EXPECT_EQ(f.messages.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(clipboard.texts.empty()); // answered No

    EXPECT_EQ(f.prompt.heldFileName, "/in/a.pdf");
    EXPECT_EQ(f.prompt.held.appendParameters, "1-3");
    EXPECT_EQ(f.prompt.held.moveToDirectory, "/moved");
    EXPECT_EQ(f.prompt.held.outputFile, "/out/all.pdf");
    EXPECT_EQ(f.prompt.held.keepBookmarks, "Y");
    EXPECT_EQ(f.prompt.held.createNew, "N");
    EXPECT_EQ(f.prompt.held.appendExisting, "Y");
}

TEST_F(ShowCommandLineTest, YesCopiesTheTextWithoutTheQuestion)
{
    f.jobs.clearSelection();
    f.jobs.setRowSelected(2, true);
    f.messages.answers.push_back(MessageAnswer::Yes);
    ShowCommandLine(f.jobs, f.messages, clipboard, f.prompt);
    EXPECT_EQ(clipboard.texts, (Slots{"mervo -c -n -podd -o\"/o3.pdf\" \"/in/third.pdf\" -r -q"}));
}

} // namespace
} // namespace fb
