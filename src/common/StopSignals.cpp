#include "common/StopSignals.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>

#include <pthread.h>
#include <time.h>
#include <unistd.h>

namespace fb {

namespace {

std::atomic<int> stopSignalNumber{0};
std::atomic<int> signalsSeen{0};

// Filled before the handlers are installed, read only by them.
char closingText[1024];
std::size_t closingLength = 0;
int finalExitCode = 0;

// The temporary names made last. More than a handful never exist at once, so
// the oldest slot is reused; a slot being written is skipped by the handler.
constexpr int kSlots = 32;
constexpr std::size_t kPathLimit = 4096;
struct TempSlot {
    std::atomic<int> ready{0};
    char path[kPathLimit];
};
TempSlot tempSlots[kSlots];
std::atomic<unsigned> nextSlot{0};

// Threads between making a temporary file and noting it, and whether a
// second signal is ending the process (none may start then).
std::atomic<int> tempFilesBeingMade{0};
std::atomic<int> endingAtOnce{0};
// Nested makings in one thread count once.
thread_local int makingDepth = 0;

const sigset_t& stopSignalSet()
{
    static const sigset_t set = [] {
        sigset_t s;
        sigemptyset(&s);
        for (int signal : {SIGTERM, SIGINT, SIGHUP})
            sigaddset(&s, signal);
        return s;
    }();
    return set;
}

// Waits (a bounded while) for other threads to note the files they are making.
void waitForTempFilesBeingMade()
{
    const timespec step{0, 1000000};
    for (int i = 0; i < 2000 && tempFilesBeingMade.load() > 0; ++i)
        ::nanosleep(&step, nullptr);
}

// ".mervo-<pid>." as this process's temporary names hold it.
char ownTag[32];

bool holdsOwnTag(const char* path)
{
    const std::size_t n = std::strlen(ownTag);
    if (n == 0) return false;
    for (const char* p = path; *p; ++p)
        if (std::strncmp(p, ownTag, n) == 0) return true;
    return false;
}

void setOwnTag()
{
    // Built by hand: snprintf is not safe where this may be called again.
    char digits[16];
    int n = 0;
    for (long pid = ::getpid(); pid > 0 && n < 15; pid /= 10)
        digits[n++] = static_cast<char>('0' + pid % 10);
    std::size_t at = 0;
    for (const char* s = ".mervo-"; *s;)
        ownTag[at++] = *s++;
    while (n > 0)
        ownTag[at++] = digits[--n];
    ownTag[at++] = '.';
    ownTag[at] = '\0';
}

extern "C" void onStopSignal(int signal)
{
    if (signalsSeen.fetch_add(1) == 0) {
        stopSignalNumber.store(signal);
        return;
    }
    endingAtOnce.store(1);
    waitForTempFilesBeingMade();
    removeOwnTempFiles();
    if (closingLength > 0) {
        ssize_t ignored = ::write(STDERR_FILENO, closingText, closingLength);
        (void)ignored;
    }
    ::_exit(finalExitCode);
}

} // namespace

void ignoreWriteSignals()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

void installStopSignals(const std::string& closingLine, int exitCode)
{
    closingLength = std::min(closingLine.size(), sizeof closingText);
    std::memcpy(closingText, closingLine.data(), closingLength);
    finalExitCode = exitCode;
    setOwnTag();
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    // Interrupted reads and writes go on, so a stop never shows as an I/O error.
    action.sa_flags = SA_RESTART;
    action.sa_mask = stopSignalSet();
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        sigaction(s, &action, nullptr);
}

int stopSignal()
{
    return stopSignalNumber.load();
}

std::string signalName(int signal)
{
    switch (signal) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(signal);
    }
}

void noteOwnTempFile(const std::string& path)
{
    if (path.size() >= kPathLimit) return; // left for a later run to remove
    TempSlot& slot = tempSlots[nextSlot.fetch_add(1) % kSlots];
    slot.ready.store(0);
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.ready.store(1);
}

void removeOwnTempFiles()
{
    for (TempSlot& slot : tempSlots) {
        // Only names this process made; one already renamed into place or
        // removed is simply not there any more.
        if (slot.ready.load() == 1 && holdsOwnTag(slot.path)) ::unlink(slot.path);
    }
}

MakingOwnTempFile::MakingOwnTempFile()
{
    pthread_sigmask(SIG_BLOCK, &stopSignalSet(), &previousMask_);
    if (makingDepth++ > 0) return;
    tempFilesBeingMade.fetch_add(1);
    if (endingAtOnce.load()) {
        // The process is being ended by another thread; making a file now
        // would leave it behind.
        tempFilesBeingMade.fetch_sub(1);
        for (;;)
            ::pause();
    }
}

MakingOwnTempFile::~MakingOwnTempFile()
{
    if (--makingDepth == 0) tempFilesBeingMade.fetch_sub(1);
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

} // namespace fb
