// What the installed program carries besides itself: the manual page against
// --help, one version number everywhere, bash completion driven in a real bash,
// and mervo-split's parts run side by side under GNU parallel against one run.
#include "app/MainWindowModel.h"
#include "testkit/SampleFiles.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

using namespace fb;
using namespace fb::test;
namespace fs = std::filesystem;

namespace {

const std::string kMervo = FB_MERVO_EXE;
const std::string kSource = FB_SOURCE_DIR;
const std::string kDist = FB_DIST_DIR;
const std::string kVersionNumber = FB_PROJECT_VERSION;

std::string shellQuote(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

ProcessResult shell(const std::string& script, const std::string& folder, int timeout = 120)
{
    return runProgram("/bin/bash", {"-c", script}, folder, timeout);
}

bool haveProgram(const std::string& name)
{
    return shell("command -v " + name + " >/dev/null", "/").exitCode == 0;
}

std::set<std::string> sorted(const std::vector<std::string>& v)
{
    return {v.begin(), v.end()};
}

// Switches as --help lists them: "-oPATH", "-b ... -n ...", "--version".
std::set<std::string> helpSwitches(const std::string& help)
{
    std::set<std::string> found;
    const std::regex option(R"((?:^|\s{2,})(--[a-z][a-z-]*|-[a-z])(?=[A-Z]|\s|$))");
    for (const std::string& line : splitLines(help)) {
        if (line.rfind("  -", 0) != 0) continue;
        for (std::sregex_iterator m(line.begin(), line.end(), option), end; m != end; ++m)
            found.insert((*m)[1]);
    }
    return found;
}

// Switches the manual page's OPTIONS section defines (the term line before each .RS).
std::set<std::string> manualSwitches(const std::string& roff)
{
    std::set<std::string> found;
    const auto all = splitLines(roff);
    bool inOptions = false;
    const std::regex term(R"(^\\fB(--?[a-z][a-z-]*)\\fR)");
    for (std::size_t i = 0; i + 1 < all.size(); ++i) {
        if (all[i].rfind(".SH", 0) == 0) inOptions = all[i] == ".SH OPTIONS";
        std::smatch m;
        if (inOptions && all[i + 1].rfind(".RS", 0) == 0 && std::regex_search(all[i], m, term))
            found.insert(m[1]);
    }
    return found;
}

} // namespace

TEST(ManualPage, DocumentsExactlyTheSwitchesHelpLists)
{
    const auto help = runProgram(kMervo, {"--help"}, "/");
    ASSERT_EQ(help.exitCode, 0);
    const std::string roff = readFileBytes(kDist + "/man/mervo.1");
    ASSERT_FALSE(roff.empty()) << "no manual page built (is scdoc installed?)";
    const auto inHelp = helpSwitches(help.out);
    EXPECT_GE(inHelp.size(), 14u) << help.out; // -a..-s and --help, --version at least
    EXPECT_EQ(inHelp, manualSwitches(roff));
    for (const char* section : {"SYNOPSIS", "BATCH FILES", "SETUP.INI", "APPEND.LOG", "EXIT STATUS", "FILES",
                                "EXAMPLES", "SEE ALSO"})
        EXPECT_NE(roff.find(std::string(".SH ") + section), std::string::npos) << section;
}

TEST(Version, OneNumberInProgramWindowManualAndPackageFiles)
{
    EXPECT_EQ(runProgram(kMervo, {"--version"}, "/").out, "mervo (Folioband Batch) " + kVersionNumber + "\n");
    EXPECT_EQ(mainWindowCaption(), "Folioband Batch v" + kVersionNumber + "  -= By Quillon =-");
    EXPECT_NE(readFileBytes(kDist + "/man/mervo.1").find("\"Folioband Batch " + kVersionNumber + "\""),
              std::string::npos);
    EXPECT_NE(readFileBytes(kDist + "/com.example.FoliobandBatch.metainfo.xml")
                  .find("<release version=\"" + kVersionNumber + "\""),
              std::string::npos);
    EXPECT_EQ(readFileBytes(kDist + "/changelog").rfind("mervo (" + kVersionNumber + ") ", 0), 0u);
}

TEST(Completion, BashCompletesSwitchesOutputFoldersSourcesAndBatchFiles)
{
    const std::string library = "/usr/share/bash-completion/bash_completion";
    if (!fs::exists(library)) GTEST_SKIP() << "bash-completion is not installed";
    TempDir dir;
    fs::create_directories(dir / "out dir/deeper");
    for (const char* f : {"in.pdf", "UP.PDF", "job.app", "notes.txt", "out dir/old.pdf", "out dir/x.txt"})
        writeFileBytes(dir / f, "x");
    // Completes the last of the words (as typed, escapes and all) as bash does on Tab.
    auto complete = [&](const std::vector<std::string>& words) {
        std::string array, line;
        for (const auto& w : words) {
            array += shellQuote(w) + " ";
            line += (line.empty() ? "" : " ") + w;
        }
        const std::string script = "source " + library + "\nsource " +
                                   shellQuote(kSource + "/data/completion/mervo.bash") + "\nCOMP_WORDS=(" +
                                   array + "); COMP_CWORD=" + std::to_string(words.size() - 1) +
                                   "; COMP_LINE=" + shellQuote(line) +
                                   "; COMP_POINT=${#COMP_LINE}\n"
                                   "_${COMP_WORDS[0]//-/_} 2>/dev/null; printf '%s\\n' \"${COMPREPLY[@]}\"";
        auto r = shell(script, dir.path());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        auto got = splitLines(r.out);
        got.erase(std::remove(got.begin(), got.end(), ""), got.end());
        return sorted(got);
    };
    using S = std::set<std::string>;
    EXPECT_EQ(complete({"mervo", "-"}), (S{"-a", "-b", "-c", "-d", "-e", "-f", "-n", "-o", "-p", "-q", "-r",
                                           "-s", "--dry-run", "--verbose", "--help", "--version"}));
    EXPECT_EQ(complete({"mervo", "-p"}), (S{"-pall", "-podd", "-peven"}));
    // -o's value sits in the same word: folders to go on into, PDFs to append to.
    EXPECT_EQ(complete({"mervo", "-oout"}), (S{"-oout\\ dir/"}));
    EXPECT_EQ(complete({"mervo", "-oout\\ dir/"}), (S{"-oout\\ dir/deeper/", "-oout\\ dir/old.pdf"}));
    EXPECT_EQ(complete({"mervo", "-oout\\ dir/o"}), (S{"-oout\\ dir/old.pdf "}));
    // Arguments: source PDFs (either case), batch files and folders, nothing else.
    EXPECT_EQ(complete({"mervo", "-c", ""}), (S{"in.pdf", "UP.PDF", "job.app", "out dir"}));
    // mervo-split: a count, then a batch file; -d takes a folder.
    EXPECT_EQ(complete({"mervo-split", "4", ""}), (S{"job.app", "out dir"}));
    EXPECT_EQ(complete({"mervo-split", "-d", ""}), (S{"out dir"}));
}

namespace {

// One batch line as mervo writes it.
std::string batchLine(const std::string& source, const std::string& moveTo, const std::string& output,
                      bool create)
{
    return source + "; all; ; ; " + moveTo + "; " + output + "; N; " + (create ? "Y; N" : "N; Y") +
           "; N\r\r\n";
}

struct LogRecord {
    std::string output, source, size;
};

std::vector<LogRecord> readLog(const std::string& path)
{
    std::vector<LogRecord> out;
    for (const std::string& line : splitLines(readFileBytes(path))) {
        if (line.size() < 160) continue;
        auto field = [&](std::size_t at, std::size_t len) {
            std::string f = line.substr(at, len);
            return f.erase(f.find_last_not_of(' ') + 1);
        };
        out.push_back({field(32, 80), field(159, 80), field(23, 8)});
    }
    return out;
}

// Each output's records in log order: the order of one output's rows is kept
// however the parts' records interleave.
// Sizes are left out: how often an output is rewritten whole rather than
// updated depends on how many sources the run holds open, which differs
// between one run and four; the page texts are compared instead.
std::map<std::string, std::vector<std::string>> recordsByOutput(const std::vector<LogRecord>& log)
{
    std::map<std::string, std::vector<std::string>> by;
    for (const auto& r : log)
        by[r.output].push_back(r.source);
    return by;
}

std::set<std::string> filesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename());
    return names;
}

} // namespace

// 2,000 rows into 40 outputs, cut into 4 parts run by parallel -j4, give the
// outputs, moves and log records of one run of the whole job.
TEST(ParallelParts, FourPartsUnderParallelMatchOneRun)
{
    if (!haveProgram("parallel")) GTEST_SKIP() << "GNU parallel is not installed";
    constexpr int kRows = 2000, kOutputs = 40;
    TempDir whole, parts;
    fs::create_directories(whole / "in");
    fs::create_directories(whole / "done");
    std::string job;
    std::map<int, std::size_t> expectedPages;
    // Every source a page of its own, each moved to done/ after its append.
    for (int i = 0; i < kRows - 2; ++i) {
        const std::string name = "s" + std::to_string(i);
        SamplePdfOptions o;
        o.name = name;
        o.pages = 1 + i % 2;
        ASSERT_TRUE(makeSamplePdf(whole / ("in/" + name + ".pdf"), o));
        const int out = i % kOutputs;
        expectedPages[out] += o.pages;
        job += batchLine("in/" + name + ".pdf", "done", "out" + std::to_string(out) + ".pdf", i < kOutputs);
    }
    // One source read by two rows, the second of which moves it away: the two
    // must run in order, whichever parts their outputs would go to.
    SamplePdfOptions common;
    common.name = "common";
    ASSERT_TRUE(makeSamplePdf(whole / "in/common.pdf", common));
    job += batchLine("in/common.pdf", "", "out5.pdf", false);
    job += batchLine("./in/common.pdf", "done", "out6.pdf", false);
    expectedPages[5] += 1;
    expectedPages[6] += 1;
    writeFileBytes(whole / "job.app", job);
    fs::copy(whole.path(), parts.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);

    auto one = runProgram(kMervo, {"job.app", "-r", "-q"}, whole.path(), 900);
    ASSERT_EQ(one.exitCode, 0) << one.err;
    auto split = shell(shellQuote(kSource + "/scripts/mervo-split") + " 4 job.app | parallel -j4 " +
                           shellQuote(kMervo) + " {} -r -q",
                       parts.path(), 900);
    ASSERT_EQ(split.exitCode, 0) << split.out << split.err;
    EXPECT_EQ(filesIn(parts.path()).count("job-4.app"), 1u) << "not cut into four parts";
    // Whatever the timing, the rows of out5 and out6 share a part through common.pdf.
    int withCommon = 0;
    for (int part = 1; part <= 4; ++part) {
        const std::string text = readFileBytes(parts / ("job-" + std::to_string(part) + ".app"));
        const bool five = text.find("; out5.pdf;") != std::string::npos;
        EXPECT_EQ(five, text.find("; out6.pdf;") != std::string::npos) << "part " << part;
        withCommon += five;
    }
    EXPECT_EQ(withCommon, 1);

    for (int out = 0; out < kOutputs; ++out) {
        const std::string name = "out" + std::to_string(out) + ".pdf";
        const auto pages = pdfPageTexts(whole / name);
        EXPECT_EQ(pages.size(), expectedPages[out]) << name;
        EXPECT_EQ(pdfPageTexts(parts / name), pages) << name;
    }
    EXPECT_EQ(filesIn(parts / "done"), filesIn(whole / "done"));
    EXPECT_EQ(filesIn(whole / "done").size(), static_cast<std::size_t>(kRows - 1));
    EXPECT_TRUE(filesIn(parts / "in").empty());

    const auto wholeLog = readLog(whole / "append.log");
    const auto partsLog = readLog(parts / "append.log");
    EXPECT_EQ(wholeLog.size(), static_cast<std::size_t>(kRows));
    EXPECT_EQ(partsLog.size(), wholeLog.size());
    EXPECT_EQ(recordsByOutput(partsLog), recordsByOutput(wholeLog));
}

// Two jobs that share one output and one append.log, run at the same time,
// lose no pages and no records.
TEST(ParallelParts, TwoPartsSharingAnOutputLoseNothing)
{
    if (!haveProgram("parallel")) GTEST_SKIP() << "GNU parallel is not installed";
    constexpr int kEach = 40;
    TempDir dir;
    SamplePdfOptions first;
    first.name = "start";
    ASSERT_TRUE(makeSamplePdf(dir / "shared.pdf", first));
    std::string a, b;
    std::vector<std::string> expectA, expectB;
    for (int i = 0; i < 2 * kEach; ++i) {
        const std::string name = (i < kEach ? "a" : "b") + std::to_string(i);
        SamplePdfOptions o;
        o.name = name;
        ASSERT_TRUE(makeSamplePdf(dir / (name + ".pdf"), o));
        (i < kEach ? a : b) += batchLine(name + ".pdf", "", "shared.pdf", false);
        (i < kEach ? expectA : expectB).push_back(name + " p1");
    }
    writeFileBytes(dir / "a.app", a);
    writeFileBytes(dir / "b.app", b);
    auto r = shell("parallel -j2 " + shellQuote(kMervo) + " {} -r -q ::: a.app b.app", dir.path(), 600);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

    const auto pages = pdfPageTexts(dir / "shared.pdf");
    ASSERT_EQ(pages.size(), static_cast<std::size_t>(2 * kEach + 1));
    EXPECT_EQ(pages[0], "start p1");
    // Each job's pages are all there, in its own order, however the two interleave.
    std::vector<std::string> gotA, gotB;
    for (std::size_t i = 1; i < pages.size(); ++i)
        (pages[i][0] == 'a' ? gotA : gotB).push_back(pages[i]);
    EXPECT_EQ(gotA, expectA);
    EXPECT_EQ(gotB, expectB);
    EXPECT_EQ(readLog(dir / "append.log").size(), static_cast<std::size_t>(2 * kEach));
}
