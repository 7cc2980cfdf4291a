// Hostile files through the real program, run unattended as cron runs it: each
// kind as a source, as an existing output and as a filler. Whatever the file,
// the program must end in time without crashing, say what went wrong, exit
// non-zero when the job was not done, and leave every other file as it was.
#include "testkit/SamplePdf.h"
#include "pages/PageCount.h"
#include "testkit/HostilePdfs.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>

using namespace fb;
using namespace fb::test;

namespace {

const std::string kMervo = FB_MERVO_EXE;
constexpr int kTimeoutSeconds = 60; // generous for sanitizer builds; a hang is far longer

// Pages of the file's page tree that are not page dictionaries (a page copied
// as null, for one).
int pagesThatAreNoPage(const std::string& path)
{
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str());
    int bad = 0;
    for (auto page : pdf.getAllPages())
        bad += page.isDictionary() ? 0 : 1;
    return bad;
}

// Every entry in the folder: a checksum of a regular file's bytes, or its type.
std::map<std::string, std::string> snapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string rel = std::filesystem::relative(e.path(), folder);
        if (e.is_symlink() || !e.is_regular_file()) {
            files[rel] = e.is_directory() ? "<dir>" : "<special>";
        } else {
            files[rel] = std::to_string(std::hash<std::string>{}(readFileBytes(e.path())));
        }
    }
    return files;
}

enum class Role { Source, Output, NewOutput, Filler };

struct Case {
    Kind kind;
    Role role;
};

std::string roleName(Role r);

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.kind.name << " as " << roleName(c.role);
}

std::string roleName(Role r)
{
    switch (r) {
    case Role::Source: return "Source";
    case Role::Output: return "Output";
    case Role::NewOutput: return "NewOutput";
    case Role::Filler: return "Filler";
    }
    return "";
}

class HostilePdf : public ::testing::TestWithParam<Case> {};

TEST_P(HostilePdf, EndsInTimeSaysWhyAndTouchesNothingElse)
{
    const auto& [kind, role] = GetParam();
    TempDir dir;
    writeSample(dir / "good.pdf", 1);  // one page: an odd output asks for the filler
    writeSample(dir / "other.pdf", 2); // a bystander
    kind.make(dir / "x.pdf", dir.path());
    if (HasFatalFailure()) return;

    std::vector<std::string> args;
    std::string changed; // the one file the job may write besides the log
    switch (role) {
    case Role::Source:
        args = {"-c", "-b", "-f", "-oout.pdf", "x.pdf", "-r", "-q"};
        changed = "out.pdf";
        break;
    case Role::Output:
        args = {"-a", "-ox.pdf", "good.pdf", "-r", "-q"};
        changed = "x.pdf";
        break;
    case Role::NewOutput:
        args = {"-c", "-ox.pdf", "good.pdf", "-r", "-q"};
        changed = "x.pdf";
        break;
    case Role::Filler:
        writeFileBytes(dir / "setup.ini", "ODDEVERY;x.pdf\r\nODDFINAL;\r\nNOSPLASH\r\n");
        args = {"-c", "-oout.pdf", "good.pdf", "-r", "-q"};
        changed = "out.pdf";
        break;
    }
    auto before = snapshot(dir.path());

    auto r = runProgram(kMervo, args, dir.path(), kTimeoutSeconds);

    ASSERT_FALSE(r.timedOut) << "hung";
    ASSERT_LT(r.exitCode, 128) << "crashed: " << r.err;
    auto after = snapshot(dir.path());
    const bool written =
        after.count(changed) && (!before.count(changed) || after[changed] != before[changed]);
    if (r.exitCode == 0) {
        // Done: the output is a sound PDF, evened out by the filler, and logged.
        auto check = runProgram("/usr/bin/qpdf", {"--check", changed}, dir.path(), kTimeoutSeconds);
        EXPECT_TRUE(check.exitCode == 0 || check.exitCode == 3) << check.out << check.err;
        // Counted, not read page by page: a 20,000-page output would take minutes.
        const int pages = countPages(dir / changed);
        EXPECT_GT(pages, 0);
        EXPECT_EQ(pagesThatAreNoPage(dir / changed), 0) << r.err;
        // A filler that could not be added leaves the output odd, and the run
        // must not call that done.
        EXPECT_FALSE(role == Role::Filler && pages == 1) << r.err;
        EXPECT_NE(readFileBytes(dir / "append.log"), "");
    } else {
        // Not done: it says why. Only a failed filler leaves a written output
        // behind: the source's pages went in all the same.
        EXPECT_NE(r.err, "");
        if (kind.name == "DeepNesting")
            EXPECT_NE(r.err.find("Error! can't insert pages"), std::string::npos) << r.err;
        if (role != Role::Filler) {
            EXPECT_FALSE(written) << r.err;
            EXPECT_EQ(readFileBytes(dir / "append.log"), "");
        }
    }
    // Nothing else in the folder changed, whatever happened.
    for (auto* files : {&before, &after}) {
        files->erase(changed);
        files->erase("append.log");
    }
    EXPECT_EQ(after, before) << r.err;
}

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (const auto& k : hostileKinds())
        for (Role r : {Role::Source, Role::Output, Role::NewOutput, Role::Filler})
            cases.push_back({k, r});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Kinds, HostilePdf, ::testing::ValuesIn(allCases()), [](const auto& info) {
    return info.param.kind.name + "_As" + roleName(info.param.role);
});

} // namespace
