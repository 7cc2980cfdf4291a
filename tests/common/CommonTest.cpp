#include "common/Files.h"
#include "common/LineReader.h"
#include "common/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <dirent.h>
#include <sys/wait.h>
#include <sys/resource.h>
#include <csignal>
#include <filesystem>

#include "testkit/TestDirs.h"

namespace fb {
namespace {

using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

std::vector<std::string> readAllLines(const std::string& bytes)
{
    std::istringstream in(bytes);
    std::vector<std::string> lines;
    std::string line;
    while (readTextLine(in, line))
        lines.push_back(line);
    return lines;
}

int entriesIn(const std::string& folder)
{
    int n = 0;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") ++n;
        ::closedir(d);
    }
    return n;
}

using Lines = std::vector<std::string>;

TEST(TextLines, AllLineEndsReadAlike)
{
    EXPECT_EQ(readAllLines("a\r\r\nb\r\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(readAllLines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(readAllLines("a\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(readAllLines("a\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(readAllLines("a\r\nb\r"), (Lines{"a", "b"}));
    EXPECT_EQ(readAllLines("\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(readAllLines(""), Lines{});
    // A lone CR ends a line too; blanks stay.
    EXPECT_EQ(readAllLines("a\rb \r\n"), (Lines{"a", "b "}));
    EXPECT_EQ(readAllLines("a\rb\rc"), (Lines{"a", "b", "c"}));
}

TEST(TextTrim, BlanksOnly)
{
    EXPECT_EQ(trimLeft("  a b  "), "a b  ");
    EXPECT_EQ(trimRight("  a b  "), "  a b");
    EXPECT_EQ(trimBlanks("  a b  "), "a b");
    EXPECT_EQ(trimBlanks("   "), "");
    EXPECT_EQ(trimBlanks("\ta\t"), "\ta\t");
}

TEST(TextNumbers, AtoiSemanticsSaturating)
{
    EXPECT_EQ(parseLeadingInt("42"), 42);
    EXPECT_EQ(parseLeadingInt("  \t7n"), 7);
    EXPECT_EQ(parseLeadingInt("+5 "), 5);
    EXPECT_EQ(parseLeadingInt("-12x"), -12);
    EXPECT_EQ(parseLeadingInt("all"), 0);
    EXPECT_EQ(parseLeadingInt(""), 0);
    EXPECT_EQ(parseLeadingInt("- 5"), 0);
    EXPECT_EQ(parseLeadingInt("Unknown"), 0);
    EXPECT_EQ(parseLeadingInt("2147483647"), INT32_MAX);
    EXPECT_EQ(parseLeadingInt("2147483648"), INT32_MAX);
    EXPECT_EQ(parseLeadingInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseLeadingInt("-2147483649"), INT32_MIN);
    EXPECT_EQ(parseLeadingInt(std::string(500, '9')), INT32_MAX);
    // Not NUL-terminated: the view ends where it ends.
    EXPECT_EQ(parseLeadingInt(std::string_view("123456", 3)), 123);
}

TEST(TextMisc, SmallHelpers)
{
    EXPECT_TRUE(endsWith("a.pdf", ".pdf"));
    EXPECT_FALSE(endsWith("a.PDF", ".pdf"));
    EXPECT_FALSE(endsWith("df", ".pdf"));
    EXPECT_TRUE(contains("x.pdf.bak", ".pdf"));
    EXPECT_FALSE(contains("", "a"));
    EXPECT_EQ(toLowerAscii("A.PdF\xC4"), "a.pdf\xC4");
    EXPECT_EQ(onOneLine("Can't save\n\nout.pdf: No space left on device\n"),
              "Can't save: out.pdf: No space left on device");
    const std::string stamp = formatLocalTime(0);
    ASSERT_EQ(stamp.size(), 19u);
    EXPECT_EQ(stamp[4], '-');
    EXPECT_EQ(stamp[10], ' ');
    EXPECT_EQ(stamp[16], ':');
}

TEST(FilesPaths, NamesAndFolders)
{
    EXPECT_EQ(fileTitle("/x/y/a.pdf"), "a.pdf");
    EXPECT_EQ(fileTitle("a.pdf"), "a.pdf");
    EXPECT_EQ(fileTitle("/x/"), "");
    EXPECT_EQ(folderPartWithSlash("/x/y/a.pdf"), "/x/y/");
    EXPECT_EQ(folderPartWithSlash("a.pdf"), "");
    EXPECT_EQ(folderPartWithSlash("/a"), "/");
}

TEST(FilesQueries, ExistenceAndReadability)
{
    TempDir dir;
    writeFileBytes(dir / "f", "x");
    EXPECT_TRUE(canOpenForReading(dir / "f"));
    EXPECT_FALSE(canOpenForReading(dir.path()));
    EXPECT_FALSE(canOpenForReading(dir / "missing"));
    EXPECT_FALSE(canOpenForReading(""));
    EXPECT_TRUE(isDirectory(dir.path()));
    EXPECT_FALSE(isDirectory(dir / "f"));
    EXPECT_TRUE(pathExists(dir / "f"));
    EXPECT_FALSE(pathExists(dir / "missing"));

    EXPECT_TRUE(createFolderOneLevel(dir / "sub"));
    EXPECT_TRUE(createFolderOneLevel(dir / "sub")); // already there counts as success
    EXPECT_FALSE(createFolderOneLevel(dir / "no/such/levels"));
    EXPECT_FALSE(createFolderOneLevel(dir / "f"));
    EXPECT_FALSE(removeFile(dir / "sub"));
    EXPECT_TRUE(removeFile(dir / "f"));
    EXPECT_FALSE(removeFile(dir / "f"));
}

TEST(FilesQueries, SameFile)
{
    TempDir dir;
    writeFileBytes(dir / "a", "1");
    writeFileBytes(dir / "b", "1");
    ASSERT_EQ(::symlink((dir / "a").c_str(), (dir / "link").c_str()), 0);
    EXPECT_TRUE(sameFile(dir / "a", dir / "link"));
    EXPECT_TRUE(sameFile(dir / "a", dir.path() + "/./sub/../a"));
    EXPECT_FALSE(sameFile(dir / "a", dir / "b"));
    EXPECT_TRUE(sameFile(dir / "gone", dir.path() + "//x/../gone"));
    EXPECT_FALSE(sameFile(dir / "gone", dir / "a"));
}

TEST(FilesCopy, ReplacesTargetAndFailsCleanly)
{
    TempDir dir;
    writeFileBytes(dir / "src", std::string("new\0bytes", 9));
    writeFileBytes(dir / "dst", "old");
    ASSERT_TRUE(copyFileReplacing(dir / "src", dir / "dst"));
    EXPECT_EQ(readFileBytes(dir / "dst"), std::string("new\0bytes", 9));
    EXPECT_TRUE(copyFileReplacing(dir / "src", dir / "fresh"));
    EXPECT_EQ(readFileBytes(dir / "fresh"), std::string("new\0bytes", 9));

    writeFileBytes(dir / "dst", "old");
    EXPECT_FALSE(copyFileReplacing(dir / "missing", dir / "dst"));
    EXPECT_FALSE(copyFileReplacing(dir / "src", dir / "nofolder/dst"));
    EXPECT_FALSE(copyFileReplacing(dir.path(), dir / "dst"));
    ASSERT_TRUE(createFolderOneLevel(dir / "adir"));
    EXPECT_FALSE(copyFileReplacing(dir / "src", dir / "adir"));
    EXPECT_EQ(readFileBytes(dir / "dst"), "old");

    // Without replacing: a taken name fails with EEXIST and keeps its file; a
    // free one gets the copy with the source's mode.
    errno = 0;
    EXPECT_FALSE(copyFileNoReplace(dir / "src", dir / "dst"));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readFileBytes(dir / "dst"), "old");
    ASSERT_EQ(::chmod((dir / "src").c_str(), 0604), 0);
    ASSERT_TRUE(copyFileNoReplace(dir / "src", dir / "new"));
    EXPECT_EQ(readFileBytes(dir / "new"), std::string("new\0bytes", 9));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0604u);
    // src, dst, fresh, adir, new: no temporary files left behind.
    EXPECT_EQ(entriesIn(dir.path()), 5);
    EXPECT_EQ(entriesIn(dir / "adir"), 0);
}

TEST(FilesAtomicWriter, CommitReplacesWholeFile)
{
    TempDir dir;
    const std::string target = dir / "out.txt";
    writeFileBytes(target, "old content that is longer");
    ::chmod(target.c_str(), 0640);
    {
        AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.open());
        writer.stream() << "line\r\r\n";
        EXPECT_EQ(readFileBytes(target), "old content that is longer");
        EXPECT_EQ(entriesIn(dir.path()), 2); // target and the temporary beside it
        ASSERT_TRUE(writer.commit());
    }
    EXPECT_EQ(readFileBytes(target), "line\r\r\n");
    EXPECT_EQ(entriesIn(dir.path()), 1);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // keeps the replaced file's permissions
}

TEST(FilesAtomicWriter, AbandonAndFailuresLeaveTargetAlone)
{
    TempDir dir;
    const std::string target = dir / "keep.txt";
    writeFileBytes(target, "old");
    {
        AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.open());
        writer.stream() << "half";
    } // destroyed without commit
    EXPECT_EQ(readFileBytes(target), "old");
    {
        AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.open());
        writer.stream() << "half";
        writer.abandon();
        EXPECT_FALSE(writer.commit());
    }
    EXPECT_EQ(readFileBytes(target), "old");
    EXPECT_EQ(entriesIn(dir.path()), 1);

    AtomicFileWriter noFolder(dir / "missing/x.txt");
    EXPECT_FALSE(noFolder.open());
    noFolder.stream() << "ignored";
    EXPECT_FALSE(noFolder.commit());
    EXPECT_EQ(noFolder.failure(), "No such file or directory");

    ASSERT_TRUE(createFolderOneLevel(dir / "adir"));
    AtomicFileWriter onDirectory(dir / "adir");
    EXPECT_FALSE(onDirectory.open());
    EXPECT_FALSE(onDirectory.commit());
    EXPECT_TRUE(isDirectory(dir / "adir"));

    AtomicFileWriter neverOpened(target);
    EXPECT_FALSE(neverOpened.commit());
    EXPECT_EQ(readFileBytes(target), "old");
    EXPECT_EQ(entriesIn(dir.path()), 2);
}

TEST(FilesAtomicWriter, RelativeTargetInCurrentFolder)
{
    TempDir dir;
    char old[PATH_MAX];
    ASSERT_NE(::getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    AtomicFileWriter writer("rel.txt");
    const bool opened = writer.open();
    if (opened) writer.stream() << "x";
    const bool committed = opened && writer.commit();
    ASSERT_EQ(::chdir(old), 0);
    EXPECT_TRUE(committed);
    EXPECT_EQ(readFileBytes(dir / "rel.txt"), "x");
}

// Batch files, setup.ini and CSV exports are written this way. A write past a
// file-size limit (EFBIG, as a full disk's ENOSPC) fails the commit with its
// reason; a link keeps pointing at the file that takes the new content.
TEST(FilesAtomicWriter, AFailedWriteSaysWhyAndALinkStaysALink)
{
    TempDir dir;
    const std::string target = dir / "real.txt";
    writeFileBytes(target, "old");
    ASSERT_EQ(::symlink("real.txt", (dir / "link.txt").c_str()), 0);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        AtomicFileWriter writer(dir / "link.txt");
        std::string said = "opened";
        if (writer.open()) {
            writer.stream() << std::string(5000, 'x');
            said = writer.commit() ? "committed" : reasonText(errno);
        }
        (void)!::write(pipeFds[1], said.data(), said.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    char said[100] = {};
    (void)!::read(pipeFds[0], said, sizeof said - 1);
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_STREQ(said, "File too large");
    EXPECT_EQ(readFileBytes(target), "old");
    EXPECT_EQ(entriesIn(dir.path()), 2);

    AtomicFileWriter writer(dir / "link.txt");
    ASSERT_TRUE(writer.open());
    writer.stream() << "new";
    ASSERT_TRUE(writer.commit());
    EXPECT_EQ(readFileBytes(target), "new");
    EXPECT_EQ(std::filesystem::read_symlink(dir / "link.txt"), "real.txt");
}

} // namespace
} // namespace fb

namespace fb {
namespace {

TEST(LineReaderTest, EveryLineEndAndOverlongLinesWithoutLosingTheNext)
{
    auto reader = LineReader::fromText("a\r\r\nb\r\nc\nd\re\r\r" + std::string(50, 'x') + "\ry");
    std::vector<std::string> lines;
    std::vector<LineReader::Result> results;
    std::string line;
    for (LineReader::Result r; (r = reader.next(line, 10)) != LineReader::Result::End;) {
        lines.push_back(line);
        results.push_back(r);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "d", "e", std::string(10, 'x'), "y"}));
    EXPECT_EQ(results[5], LineReader::Result::TooLong);
    EXPECT_EQ(results[6], LineReader::Result::Line);

    // Only regular files are opened: a FIFO, a folder and a device are refused at once.
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    EXPECT_FALSE(LineReader(dir / "fifo").isOpen());
    EXPECT_FALSE(LineReader(dir.path()).isOpen());
    EXPECT_FALSE(LineReader("/dev/zero").isOpen());
    EXPECT_EQ(openRegularForAppending(dir / "fifo"), nullptr);
}

TEST(FilesTempNames, SayWhoseTheyAreAndADeadRunsAreRemoved)
{
    test::TempDir dir;
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::string deadName = ".out.pdf.mervo-" + std::to_string(dead) + ".abcdef";
    const std::string otherTarget = ".other.pdf.mervo-" + std::to_string(dead) + ".abcdef";
    test::writeFileBytes(dir / deadName, "litter");
    test::writeFileBytes(dir / otherTarget, "not ours to judge");

    std::string temp;
    const int fd = createTempBeside(dir / "out.pdf", temp);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(temp.rfind(dir / ".out.pdf.mervo-" + std::to_string(::getpid()) + ".", 0), 0u) << temp;
    EXPECT_FALSE(pathExists(dir / deadName));
    EXPECT_TRUE(pathExists(dir / otherTarget));
    // A live run's temporary file stays.
    removeStaleTempFiles(dir / "out.pdf");
    EXPECT_TRUE(pathExists(temp));
}

} // namespace
} // namespace fb
