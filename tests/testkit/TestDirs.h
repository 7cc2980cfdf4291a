#pragma once
#include <functional>
#include <string>
#include <vector>

namespace fb::test {

// A fresh folder under /tmp, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);

struct ProcessResult {
    int exitCode = -1;     // 128 + signal when killed by one
    bool timedOut = false; // killed for running past its time
    std::string out;
    std::string err;
    long maxRssKb = 0; // the most memory it held at once
};

// What the program meets besides its arguments.
struct ProcessSetup {
    // The most bytes any file may grow to (RLIMIT_FSIZE, with SIGXFSZ ignored,
    // so that a write past it fails with EFBIG as on a full disk); -1: no limit.
    long long fileSizeLimit = -1;
    // Run as user and group 65534 when the test runs as root, for whom every
    // file is writable.
    bool unprivileged = false;
};

// Runs the program with the given arguments in a folder, with no display and
// nothing on standard input. A program still running after timeoutSeconds
// (0: no limit) is killed, so a hang fails the test instead of the whole suite.
ProcessResult runProgram(const std::string& exe, const std::vector<std::string>& args,
                         const std::string& workingDirectory, int timeoutSeconds = 0,
                         const ProcessSetup& setup = {});

// The same, started and left running for the test to act on (send it a
// signal, watch its files) until wait(). inChild runs in the new process just
// before the program starts, after setup: a place for what ProcessSetup does
// not cover, such as replacing a standard stream.
class RunningProgram {
public:
    RunningProgram(const std::string& exe, const std::vector<std::string>& args,
                   const std::string& workingDirectory, const ProcessSetup& setup = {},
                   const std::function<void()>& inChild = {});
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    int pid() const { return pid_; }
    ProcessResult wait(int timeoutSeconds = 0);

private:
    TempDir capture_;
    int pid_ = -1; // -1 once waited for: its number may go to another process
};

// The names starting with "." in a folder ("." and ".." aside): where the
// program's temporary files would be.
std::vector<std::string> hiddenFiles(const std::string& folder);

// Page texts and outline titles of a PDF, read back with poppler.
std::vector<std::string> pdfPageTexts(const std::string& path);
struct OutlineEntry {
    std::string title;
    int depth = 0;
};
std::vector<OutlineEntry> pdfOutline(const std::string& path);

// What `qpdf --check` finds wrong with a PDF; empty when it passes clean.
std::string qpdfCheckProblems(const std::string& path);

} // namespace fb::test
