// --dry-run against the real program: the plan it prints is what the real run then does.
#include "common/Files.h"
#include "testkit/SampleFiles.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <random>
#include <sstream>

using namespace fb;
using namespace fb::test;

namespace {

const std::string kMervo = FB_MERVO_EXE;

// Every file under the folder with its size and modification time.
std::string snapshot(const std::string& dir)
{
    std::string out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        struct stat st;
        stat(e.path().c_str(), &st);
        out += e.path().string() + " " + std::to_string(st.st_size) + " " +
               std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + "\n";
    }
    return out;
}

// The outputs as the plan says they will read, worked out from its lines alone.
struct Replay {
    std::map<std::string, std::vector<std::string>> pages;
    std::map<std::string, std::vector<std::string>> bookmarks;
    std::vector<std::string> logged;
    std::vector<std::pair<std::string, std::string>> moves;
    int exitCode = -1;
};

Replay replay(const std::vector<std::string>& lines, const std::string& dir)
{
    Replay r;
    auto textsOf = [&](const std::string& path) {
        auto it = r.pages.find(path);
        return it != r.pages.end() ? it->second : pdfPageTexts(dir + "/" + path);
    };
    std::string current;
    std::vector<std::string> pages;
    for (const std::string& line : lines) {
        const auto space = line.find(' ');
        const std::string keyword = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (keyword == "output") {
            const bool create = rest.rfind("create ", 0) == 0;
            current = rest.substr(rest.find(' ') + 1);
            pages = create ? std::vector<std::string>{} : textsOf(current);
            if (create)
                r.bookmarks[current].clear();
            else
                r.bookmarks[current]; // an existing file's own outline: the samples have none
        } else if (keyword == "pages") {
            const auto colon = rest.rfind(':');
            const std::string source = rest.substr(0, colon);
            const std::string range = rest.substr(colon + 1);
            const auto dash = range.find('-');
            const int first = std::stoi(range.substr(0, dash));
            const int last = dash == std::string::npos ? first : std::stoi(range.substr(dash + 1));
            const auto from = textsOf(source);
            for (int p = first; p <= last; ++p)
                pages.push_back(from.at(static_cast<size_t>(p - 1)));
        } else if (keyword == "bookmark") {
            r.bookmarks[current].push_back(rest.substr(rest.find(' ') + 1));
        } else if (keyword == "total") {
            EXPECT_EQ(std::to_string(pages.size()), rest.substr(0, rest.find(' '))) << line;
            r.pages[current] = pages;
        } else if (keyword == "log") {
            r.logged.push_back(rest);
        } else if (keyword == "move") {
            const auto arrow = rest.find(" -> ");
            r.moves.emplace_back(rest.substr(0, arrow), rest.substr(arrow + 4));
        } else if (keyword == "exit") {
            r.exitCode = std::stoi(rest);
        } else {
            EXPECT_TRUE(keyword == "message" || keyword == "not-done" || keyword == "keep-bookmarks")
                << "unknown plan line: " << line;
        }
    }
    return r;
}

std::string randomSpec(std::mt19937& rng, int pages)
{
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int a = pick(1, pages);
    const int b = pick(a, pages);
    switch (pick(0, 9)) {
    case 0: return "all";
    case 1: return "odd";
    case 2: return "even";
    case 3: return std::to_string(a) + "-" + std::to_string(b);
    case 4: return std::to_string(b) + "," + std::to_string(a) + "," + std::to_string(b);
    case 5: return std::to_string(pick(1, 3)) + "s";
    case 6: return std::to_string(a) + "-" + std::to_string(pick(1, 3)) + "n";
    case 7: return std::to_string(pages + 2); // refused: past the last page
    case 8: return "";                        // left out: no page selection
    default: return std::to_string(a);
    }
}

} // namespace

TEST(DryRun, PrintsTheDocumentedPlanAndTouchesNothing)
{
    TempDir dir;
    makePdf(dir / "in.pdf", "IN", 12);
    const std::string before = snapshot(dir.path());
    auto r = runProgram(kMervo, {"--dry-run", "-c", "-f", "-p6-7,9-10", "-oout.pdf", "in.pdf", "-r", "-q"},
                        dir.path(), 60);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "output create out.pdf\n"
                     "pages in.pdf:6-7\n"
                     "pages in.pdf:9-10\n"
                     "bookmark 1 in.pdf\n"
                     "bookmark 3 in.pdf\n"
                     "total 4 out.pdf\n"
                     "log out.pdf\n"
                     "exit 0\n");
    EXPECT_EQ(snapshot(dir.path()), before) << "a dry run wrote, moved or removed a file";

    // Only the runs after it are planned; a switch after the run is refused.
    auto late = runProgram(kMervo, {"in.pdf", "-r", "--dry-run", "-q"}, dir.path(), 60);
    EXPECT_EQ(late.exitCode, 2);
    EXPECT_NE(late.err.find("--dry-run must come before the -r"), std::string::npos) << late.err;
    EXPECT_EQ(snapshot(dir.path()), before);
    EXPECT_NE(runProgram(kMervo, {"--help"}, dir.path(), 60).out.find("--dry-run"), std::string::npos);
}

// Random jobs: rows over a few sources with random selections, new and existing
// outputs, file-name bookmarks, moves, fillers, left-out and refused rows. The
// plan is read back on its own and must equal the outputs' pages and bookmarks,
// the log, the moves, the exit code and the closing line of the real run.
TEST(DryRun, PlanEqualsWhatTheRunThenDoes)
{
    for (unsigned seed = 1; seed <= 14; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        TempDir dir;
        std::vector<int> counts;
        for (int s = 0; s < 4; ++s) {
            counts.push_back(pick(1, 6));
            makePdf(dir / ("s" + std::to_string(s) + ".pdf"), "S" + std::to_string(s), counts.back());
        }
        makePdf(dir / "fill.pdf", "FILL", 1);
        makePdf(dir / "last.pdf", "LAST", pick(1, 2));
        if (pick(0, 1)) makePdf(dir / "old.pdf", "OLD", pick(1, 3));
        std::string setup;
        if (pick(0, 2) == 0) setup += "ODDEVERY;fill.pdf\r\n";
        if (pick(0, 2) == 0) setup += "ODDFINAL;last.pdf\r\n";
        if (!setup.empty()) writeFileBytes(dir / "setup.ini", setup);

        const char* outputs[] = {"o1.pdf", "o2.pdf", "old.pdf", "sub/o3.pdf"};
        std::string job;
        const int rows = pick(2, 6);
        for (int i = 0; i < rows; ++i) {
            const int s = pick(0, 3);
            std::string spec = randomSpec(rng, counts[static_cast<size_t>(s)]);
            // Refused selections stop the whole job; keep them to one row in three jobs.
            if (spec == std::to_string(counts[static_cast<size_t>(s)] + 2) && seed % 3) spec = "all";
            const std::string output = pick(0, 9) == 0 ? "" : outputs[pick(0, 3)];
            const std::string move = pick(0, 3) == 0 ? "done" : "";
            job += std::string(pick(0, 7) == 0 ? "~" : "") + "s" + std::to_string(s) + ".pdf; " + spec +
                   "; " + std::to_string(counts[static_cast<size_t>(s)]) + "; Ready.; " + move + "; " +
                   output + "; N; " + (pick(0, 2) == 0 ? "Y" : "N") + "; Y; " + (pick(0, 1) ? "Y" : "N") +
                   "\r\r\n";
        }
        writeFileBytes(dir / "job.app", job);
        SCOPED_TRACE(job + setup);

        const std::string before = snapshot(dir.path());
        auto dry = runProgram(kMervo, {"--dry-run", "job.app", "-r", "-q"}, dir.path(), 60);
        ASSERT_EQ(snapshot(dir.path()), before) << "a dry run changed the folder";
        const auto planLines = splitLines(dry.out);
        const Replay plan = replay(planLines, dir.path());
        auto real = runProgram(kMervo, {"job.app", "-r", "-q"}, dir.path(), 60);

        EXPECT_EQ(dry.exitCode, real.exitCode) << dry.out << "--\n" << real.err;
        EXPECT_EQ(plan.exitCode, dry.exitCode);
        const auto dryErr = splitLines(dry.err);
        const auto realErr = splitLines(real.err);
        EXPECT_EQ(dryErr.empty() ? "" : dryErr.back(), realErr.empty() ? "" : realErr.back());

        for (const auto& [path, pages] : plan.pages) {
            EXPECT_EQ(pdfPageTexts(dir / path), pages) << path << "\n" << dry.out;
            std::vector<std::string> titles;
            for (const auto& item : pdfOutline(dir / path))
                titles.push_back(item.title);
            EXPECT_EQ(titles, plan.bookmarks.at(path)) << path << "\n" << dry.out;
        }
        const auto logged =
            splitLines(pathExists(dir / "append.log") ? readFileBytes(dir / "append.log") : "");
        ASSERT_EQ(logged.size(), plan.logged.size()) << dry.out;
        for (size_t i = 0; i < logged.size(); ++i)
            EXPECT_EQ(logged[i].substr(32, plan.logged[i].size() + 1), plan.logged[i] + " ");
        for (const auto& [from, to] : plan.moves) {
            EXPECT_FALSE(pathExists(dir / from)) << from;
            EXPECT_TRUE(pathExists(dir / to)) << to;
        }
        // Nothing the plan did not name was written.
        for (const char* out : outputs) {
            if (!plan.pages.count(out) && std::string(out) != "old.pdf") {
                EXPECT_FALSE(pathExists(dir / out)) << out << "\n" << dry.out;
            }
        }
    }
}
