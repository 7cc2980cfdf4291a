// End-to-end: what the program writes is never lost behind the user's back. A
// write that fails (a file-size limit, a full disk) leaves every file as it
// was and says why; an output that is a symbolic link stays one; an output the
// runner may not write is left alone.
#include "testkit/SampleFiles.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fb;
using namespace fb::test;
namespace fs = std::filesystem;

namespace {

const std::string kMervo = FB_MERVO_EXE;

// The same pages with object and cross-reference streams: an update can't be
// appended to it, so adding pages rewrites it whole.
void withXrefStream(const std::string& from, const std::string& to)
{
    auto r = runProgram("/usr/bin/qpdf", {"--object-streams=generate", from, to}, "/", 60);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

// Every file below folder (links as "-> target"), by path relative to it.
std::map<std::string, std::string> contents(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string name = e.path().lexically_relative(folder);
        if (e.is_symlink())
            files[name] = "-> " + fs::read_symlink(e.path()).string();
        else if (e.is_regular_file())
            files[name] = readFileBytes(e.path());
        else
            files[name] = "<folder>";
    }
    return files;
}

std::set<std::string> changedNames(const std::map<std::string, std::string>& before,
                                   const std::map<std::string, std::string>& after)
{
    std::set<std::string> names;
    for (const auto& [name, bytes] : after)
        if (!before.count(name) || before.at(name) != bytes) names.insert(name);
    for (const auto& [name, bytes] : before)
        if (!after.count(name)) names.insert(name + " (gone)");
    return names;
}

} // namespace

// Each write the program makes, run against a file-size limit: nothing but
// what succeeded changes, no temporary file is left and the message is
// followed by the system's reason (under -e the closing line carries both).
TEST(WriteFailures, AFailedWriteChangesNothingElseAndSaysWhy)
{
    struct Case {
        const char* what;
        std::vector<std::string> args;
        long long limit;
        std::string says; // on standard error
        int exitCode;
        std::set<std::string> written; // what may change: only what succeeded
    };
    const std::string tooLarge = "\nFile too large\n";
    const std::vector<Case> cases = {
        {"new output",
         {"-c", "-onew.pdf", "b.pdf", "-r", "-q"},
         1024,
         "mervo: Failed to save file: new.pdf" + tooLarge,
         1,
         {}},
        {"new output, quiet",
         {"-e", "-c", "-onew.pdf", "b.pdf", "-r", "-q"},
         1024,
         "(Failed to save file: new.pdf: File too large)",
         1,
         {}},
        {"update",
         {"-a", "-oout.pdf", "a.pdf", "-r", "-q"},
         16384,
         "mervo: Failed to save file: out.pdf" + tooLarge,
         1,
         {}},
        {"whole rewrite",
         {"-a", "-oxs.pdf", "a.pdf", "-r", "-q"},
         16384,
         "mervo: Failed to save file: xs.pdf" + tooLarge,
         1,
         {}},
        {"move",
         {"job.app", "-r", "-q"},
         40000,
         "mervo: Unable to move file: a.pdf to moved/a.pdf" + tooLarge,
         3,
         {"o.pdf", "append.log", "moved"}},
        {"log",
         {"-c", "-onew.pdf", "b.pdf", "-r", "-q"},
         40000,
         "mervo: Unable to write the record for new.pdf to append.log" + tooLarge,
         3,
         {"new.pdf"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        makePdf(dir / "a.pdf", "A", 200); // some 60 kB
        makePdf(dir / "b.pdf", "B", 3);   // some 1.3 kB
        makePdf(dir / "out.pdf", "OUT", 2);
        withXrefStream(dir / "out.pdf", dir / "xs.pdf");
        writeFileBytes(dir / "job.app", "a.pdf; 1; ; ; moved; o.pdf; N; Y; N; N\r\r\n");
        // Past the limit already: the record can't be added.
        writeFileBytes(dir / "append.log", c.what == std::string("log") ? std::string(45000, 'x') : "");
        const auto before = contents(dir.path());

        auto r = runProgram(kMervo, c.args, dir.path(), 60, {c.limit});

        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        // Said once: the closing line repeats it only when the message was not shown.
        EXPECT_EQ(r.err.find("File too large"), r.err.rfind("File too large")) << r.err;
        const auto changed = changedNames(before, contents(dir.path()));
        EXPECT_EQ(changed, c.written) << r.err;
    }
}

// A real full disk: a small file system of its own, where the test may mount one.
TEST(WriteFailures, AFullDiskLeavesTheOutputAsItWas)
{
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    TempDir dir;
    const std::string disk = dir / "disk";
    ASSERT_EQ(mkdir(disk.c_str(), 0755), 0);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        std::string at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk};
    makePdf(dir / "a.pdf", "A", 200);       // some 60 kB, outside
    makePdf(disk + "/out.pdf", "OUT", 120); // some 36 kB of the 64 kB
    const auto before = contents(dir.path());

    auto update = runProgram(kMervo, {"-a", "-odisk/out.pdf", "a.pdf", "-r", "-q"}, dir.path(), 60);
    auto fresh = runProgram(kMervo, {"-c", "-odisk/new.pdf", "a.pdf", "-r", "-q"}, dir.path(), 60);

    for (auto* r : {&update, &fresh}) {
        EXPECT_EQ(r->exitCode, 1) << r->err;
        EXPECT_NE(r->err.find("\nNo space left on device\n"), std::string::npos) << r->err;
    }
    EXPECT_NE(update.err.find("mervo: Failed to save file: disk/out.pdf\n"), std::string::npos);
    EXPECT_NE(fresh.err.find("mervo: Failed to save file: disk/new.pdf\n"), std::string::npos);
    // Nothing logged, nothing left on the disk but the output as it was.
    EXPECT_EQ(changedNames(before, contents(dir.path())), std::set<std::string>{"append.log"});
    EXPECT_EQ(readFileBytes(dir / "append.log"), "");
}

// Links are followed to the file they finally name (relative ones from their
// own folder), which takes the pages whether it is written new, updated or
// rewritten whole; the links themselves are never replaced.
TEST(OutputLinks, AnOutputThatIsALinkStaysOneAndItsTargetTakesThePages)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 2);
    makePdf(dir / "b.pdf", "B", 1);
    ASSERT_EQ(mkdir((dir / "real").c_str(), 0755), 0);
    ASSERT_EQ(symlink("mid.pdf", (dir / "out.pdf").c_str()), 0);
    ASSERT_EQ(symlink("real/t.pdf", (dir / "mid.pdf").c_str()), 0); // nothing there yet
    withXrefStream(dir / "b.pdf", dir / "real/xs.pdf");
    ASSERT_EQ(symlink(std::string(dir / "real/xs.pdf").c_str(), (dir / "xs.pdf").c_str()), 0);
    // New, then an update copied whole, then one through the kept version.
    writeFileBytes(dir / "job.app", "a.pdf; all; ; ; ; out.pdf; N; Y; N; N\r\r\n"
                                    "b.pdf; all; ; ; ; out.pdf; N; N; Y; N\r\r\n"
                                    "a.pdf; 2; ; ; ; out.pdf; N; N; Y; N\r\r\n");

    auto job = runProgram(kMervo, {"job.app", "-r", "-q"}, dir.path(), 60);
    auto rewrite = runProgram(kMervo, {"-a", "-oxs.pdf", "a.pdf", "-r", "-q"}, dir.path(), 60);

    EXPECT_EQ(job.exitCode, 0) << job.err;
    EXPECT_EQ(rewrite.exitCode, 0) << rewrite.err;
    auto after = contents(dir.path());
    EXPECT_EQ(after["out.pdf"], "-> mid.pdf");
    EXPECT_EQ(after["mid.pdf"], "-> real/t.pdf");
    EXPECT_EQ(after["xs.pdf"], "-> " + dir / "real/xs.pdf");
    EXPECT_EQ(pdfPageTexts(dir / "real/t.pdf"), (std::vector<std::string>{"A p1", "A p2", "B p1", "A p2"}));
    EXPECT_EQ(pdfPageTexts(dir / "real/xs.pdf"), (std::vector<std::string>{"B p1", "A p1", "A p2"}));
    for (const auto& [name, bytes] : after)
        EXPECT_NE(fs::path(name).filename().string()[0], '.') << name;
}

// access(W_OK) decides, as the system does for everyone but root: the test
// runs the program as an unprivileged user when it is root itself.
TEST(ProtectedOutputs, AreLeftWholeAndReplacedOnesKeepOwnerAndMode)
{
    const bool root = geteuid() == 0;
    const uid_t runner = root ? 65534 : geteuid();
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    makePdf(dir / "a.pdf", "A", 1);
    makePdf(dir / "ro.pdf", "RO", 1);
    ASSERT_EQ(chmod((dir / "ro.pdf").c_str(), 0444), 0);
    if (root) ASSERT_EQ(chown((dir / "ro.pdf").c_str(), runner, runner), 0);
    std::vector<std::string> protectedOutputs = {"ro.pdf"};
    if (root) {
        makePdf(dir / "theirs.pdf", "THEIRS", 1); // root's, in a folder the runner may write
        protectedOutputs.push_back("theirs.pdf");
    }

    for (const std::string& output : protectedOutputs) {
        for (const char* create : {"N", "Y"}) {
            SCOPED_TRACE(output + (create[0] == 'Y' ? " replaced" : " appended to"));
            writeFileBytes(dir / "job.app", std::string("a.pdf; all; ; ; moved; ") + output + "; N; Y; " +
                                                create + "; N\r\r\n");
            struct stat was {
            }, is{};
            ASSERT_EQ(stat((dir / output).c_str(), &was), 0);
            const auto before = contents(dir.path());

            auto r = runProgram(kMervo, {"job.app", "-r", "-q"}, dir.path(), 60, {-1, true});

            EXPECT_EQ(r.exitCode, 3) << r.err;
            EXPECT_NE(r.err.find("mervo: Failed to save file: " + output + "\nPermission denied\n"),
                      std::string::npos)
                << r.err;
            EXPECT_NE(r.err.find("mervo: not everything was done: the run ended at row 1"), std::string::npos)
                << r.err;
            ASSERT_EQ(stat((dir / output).c_str(), &is), 0);
            EXPECT_EQ(is.st_uid, was.st_uid);
            EXPECT_EQ(is.st_mode, was.st_mode);
            // Not written, not logged, nothing moved.
            const auto changed = changedNames(before, contents(dir.path()));
            EXPECT_TRUE(changed.empty() || changed == std::set<std::string>{"append.log"}) << r.err;
            EXPECT_EQ(readFileBytes(dir / "append.log"), "");
        }
    }

    // One the runner may write is replaced with its mode, and (by root) its owner.
    makePdf(dir / "keep.pdf", "KEEP", 1);
    ASSERT_EQ(chmod((dir / "keep.pdf").c_str(), 0640), 0);
    if (root) ASSERT_EQ(chown((dir / "keep.pdf").c_str(), 65534, 65534), 0);
    auto r = runProgram(kMervo, {"-c", "-okeep.pdf", "a.pdf", "-r", "-q"}, dir.path(), 60);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(stat((dir / "keep.pdf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(pdfPageTexts(dir / "keep.pdf"), std::vector<std::string>{"A p1"});
}
