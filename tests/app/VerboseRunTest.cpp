// What an unattended run tells the person debugging it: the PDF layer's reason
// after a failure's message, and with --verbose one line for each step.
#include "testkit/SampleFiles.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace fb;
using namespace fb::test;

namespace {

const std::string kMervo = FB_MERVO_EXE;

int linesWith(const std::string& text, const std::string& part)
{
    int n = 0;
    for (const auto& line : splitLines(text))
        n += line.find(part) != std::string::npos;
    return n;
}

} // namespace

TEST(VerboseRun, ADamagedSourceSaysWhatQpdfFoundAfterTheMessage)
{
    TempDir dir;
    writeFileBytes(dir / "bad.pdf", "%PDF-1.4\nnot a pdf at all\n");
    auto r = runProgram(kMervo, {"-c", "-p1", "-oout.pdf", "bad.pdf", "-r", "-q"}, dir.path(), 60);
    EXPECT_NE(r.exitCode, 0);
    const auto lines = splitLines(r.err);
    std::size_t at = 0;
    while (at < lines.size() && lines[at].find("Error Opening File : bad.pdf") == std::string::npos)
        ++at;
    ASSERT_LT(at + 1, lines.size()) << r.err;
    // The reason follows the message: qpdf's error, and the damage it noticed on the way.
    EXPECT_NE(lines[at + 1].find("unable to find trailer dictionary"), std::string::npos) << r.err;
    EXPECT_NE(lines[at + 1].find("can't find startxref"), std::string::npos) << r.err;
    // Without --verbose the steps are not told.
    EXPECT_EQ(linesWith(r.err, "Processing"), 0) << r.err;
}

TEST(VerboseRun, TellsEachStepOfEachRowOnOneLine)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 2);
    makePdf(dir / "b.pdf", "B", 3);
    const std::vector<std::string> job = {"--verbose", "-c", "-oout.pdf", "a.pdf", "-a", "b.pdf", "-r", "-q"};
    auto r = runProgram(kMervo, job, dir.path(), 60);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(pdfPageTexts(dir / "out.pdf").size(), 5u);
    for (const auto& line : splitLines(r.err))
        EXPECT_EQ(line.rfind("mervo: ", 0), 0u) << line;
    EXPECT_EQ(linesWith(r.err, "row 1 (a.pdf): Processing"), 1) << r.err;
    EXPECT_EQ(linesWith(r.err, "row 1 (a.pdf): Done"), 1) << r.err;
    EXPECT_EQ(linesWith(r.err, "row 2 (b.pdf): Processing"), 1) << r.err;
    EXPECT_EQ(linesWith(r.err, "row 2 (b.pdf): Done"), 1) << r.err;
    EXPECT_EQ(linesWith(r.err, "insert pages 1-2 of a.pdf"), 1) << r.err;
    EXPECT_EQ(linesWith(r.err, "insert pages 1-3 of b.pdf"), 1) << r.err;
    EXPECT_EQ(linesWith(r.err, "save out.pdf"), 2) << r.err;

    // A failing row says why on its own line.
    writeFileBytes(dir / "bad.pdf", "%PDF-1.4\nnot a pdf at all\n");
    r = runProgram(kMervo, {"--verbose", "-c", "-p1", "-obad-out.pdf", "bad.pdf", "-r", "-q"}, dir.path(),
                   60);
    EXPECT_NE(r.exitCode, 0);
    int told = 0;
    for (const auto& line : splitLines(r.err))
        told += line.find("mervo: open bad.pdf: ") == 0 &&
                line.find("unable to find trailer dictionary") != std::string::npos;
    EXPECT_EQ(told, 1) << r.err;
    EXPECT_EQ(linesWith(r.err, "row 1 (bad.pdf): Stopped"), 1) << r.err;
}
