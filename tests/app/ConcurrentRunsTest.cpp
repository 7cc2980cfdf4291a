// End to end: several runs of the real program appending to one output at the
// same time, each moving its sources, lose none of each other's pages.
#include "testkit/SampleFiles.h"
#include "log/LogTable.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <map>
#include <memory>

using namespace fb;
using namespace fb::test;

namespace {

constexpr int kRows = 30;

std::string twoDigits(int n)
{
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

class ConcurrentRunsTest : public ::testing::TestWithParam<int> {};

TEST_P(ConcurrentRunsTest, EveryRunsRowsAreInTheOutputInItsOwnOrder)
{
    const int runs = GetParam();
    TempDir dir;
    // Run k takes in<k>/sNN.pdf (two pages, "K<k>-NN p1" and "p2") into
    // out.pdf, which does not exist yet, and moves each into done<k>.
    for (int k = 0; k < runs; ++k) {
        const std::string in = "in" + std::to_string(k), done = "done" + std::to_string(k);
        ASSERT_EQ(mkdir((dir / in).c_str(), 0777), 0);
        std::string job;
        for (int r = 1; r <= kRows; ++r) {
            SamplePdfOptions o;
            o.name = "K" + std::to_string(k) + "-" + twoDigits(r);
            o.pages = 2;
            const std::string src = in + "/s" + twoDigits(r) + ".pdf";
            ASSERT_TRUE(makeSamplePdf(dir / src, o));
            job += src + "; all; 2; ; " + done + "; out.pdf; N; N; Y; N\r\r\n";
        }
        writeFileBytes(dir / ("job" + std::to_string(k) + ".app"), job);
    }

    std::vector<std::unique_ptr<RunningProgram>> started;
    for (int k = 0; k < runs; ++k)
        started.push_back(std::make_unique<RunningProgram>(
            FB_MERVO_EXE, std::vector<std::string>{"-e", "job" + std::to_string(k) + ".app", "-r", "-q"},
            dir.path()));
    for (auto& p : started) {
        const ProcessResult r = p->wait(300);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        // A run that waits on the output says so once, not once a row.
        EXPECT_LE(occurrences(r.err, "waiting for it"), 1) << r.err;
    }

    EXPECT_EQ(qpdfCheckProblems(dir / "out.pdf"), "");
    const std::vector<std::string> pages = pdfPageTexts(dir / "out.pdf");
    EXPECT_EQ(pages.size(), static_cast<std::size_t>(2 * kRows * runs));
    std::map<std::string, std::vector<std::string>> byRun;
    for (const std::string& text : pages)
        byRun[text.substr(0, text.find('-'))].push_back(text);
    for (int k = 0; k < runs; ++k) {
        std::vector<std::string> expected;
        for (int r = 1; r <= kRows; ++r) {
            const std::string name = "K" + std::to_string(k) + "-" + twoDigits(r);
            expected.push_back(name + " p1");
            expected.push_back(name + " p2");
        }
        EXPECT_EQ(byRun["K" + std::to_string(k)], expected) << "run " << k;
        EXPECT_EQ(namesIn(dir / ("in" + std::to_string(k))).size(), 0u);
        EXPECT_EQ(namesIn(dir / ("done" + std::to_string(k))).size(), static_cast<std::size_t>(kRows));
    }

    // One whole record per row, none torn or run into another.
    const auto log = readLogFile(dir / "append.log");
    ASSERT_TRUE(log);
    ASSERT_EQ(log->size(), static_cast<std::size_t>(kRows * runs));
    std::map<std::string, int> logged;
    for (const LogRow& row : *log) {
        EXPECT_EQ(row.fields[0].size(), 19u) << row.fields[0];
        EXPECT_EQ(row.fields[2], "out.pdf");
        ++logged[row.fields[5]];
    }
    EXPECT_EQ(logged.size(), static_cast<std::size_t>(kRows * runs));

    // Nothing hidden is left beside the output.
    for (const std::string& name : namesIn(dir.path()))
        EXPECT_NE(name[0], '.') << name;
}

INSTANTIATE_TEST_SUITE_P(TwoAndFour, ConcurrentRunsTest, ::testing::Values(2, 4),
                         [](const auto& info) { return std::to_string(info.param) + "Runs"; });

} // namespace
