#pragma once
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
    int exitCode = -1;      // 128 + signal when killed by one
    bool timedOut = false;  // killed for running past its time
    std::string out;
    std::string err;
    long maxRssKb = 0;      // the most memory it held at once
};

// Runs the program with the given arguments in a folder, with no display and
// nothing on standard input. A program still running after timeoutSeconds
// (0: no limit) is killed, so a hang fails the test instead of the whole suite.
ProcessResult runProgram(const std::string& exe, const std::vector<std::string>& args,
                         const std::string& workingDirectory, int timeoutSeconds = 0);

// The same, started without waiting for it, so that several run at once.
class RunningProgram {
public:
    RunningProgram(const std::string& exe, const std::vector<std::string>& args,
                   const std::string& workingDirectory);
    ~RunningProgram(); // kills it if it was never finished
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    // Waits for it to end, killing it past timeoutSeconds (0: no limit).
    ProcessResult finish(int timeoutSeconds = 0);

private:
    TempDir capture_;
    int pid_ = -1;
};

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
