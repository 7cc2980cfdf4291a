#include "log/AppendLog.h"

#include "common/FileLock.h"
#include "common/Files.h"
#include "common/Messages.h"
#include "common/Text.h"

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fb {

namespace {

// How long a record waits for another run to finish writing to the log.
constexpr std::chrono::seconds kLogLockWait{60};
// How often the log is opened again when its name keeps moving on to another file.
constexpr int kMaxReopens = 100;

std::string padded(std::string s, std::size_t width)
{
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

// A line break inside a field would split the record and shift every field
// the readers take apart by position, so it is written as a blank.
std::string oneLine(std::string s)
{
    for (char& c : s)
        if (c == '\r' || c == '\n') c = ' ';
    return s;
}

struct OutputFacts {
    long long size = 0;
    std::string created, modified;
};

// Size and times of the output; size 0 and empty times when it can't be read.
OutputFacts readOutputFacts(const std::string& path)
{
    OutputFacts facts;
    // O_NONBLOCK: a FIFO given as output must not stall the run.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return facts;
    struct statx sx {};
    bool ok = ::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0;
    ::close(fd);
    // A folder can't be read as an output file.
    if (!ok || S_ISDIR(sx.stx_mode)) return facts;
    facts.size = static_cast<long long>(sx.stx_size);
    // Birth time where the file system keeps it, else the last status change.
    std::time_t created = (sx.stx_mask & STATX_BTIME) ? static_cast<std::time_t>(sx.stx_btime.tv_sec)
                                                      : static_cast<std::time_t>(sx.stx_ctime.tv_sec);
    facts.created = formatLocalTime(created);
    facts.modified = formatLocalTime(static_cast<std::time_t>(sx.stx_mtime.tv_sec));
    return facts;
}

} // namespace

std::string formatLogRecord(const std::string& dateTime, long long size, const std::string& outputPath,
                            const std::string& created, const std::string& modified,
                            const std::string& sourcePath)
{
    const std::string fields[] = {oneLine(dateTime), std::to_string(size), oneLine(outputPath),
                                  oneLine(created),  oneLine(modified),    oneLine(sourcePath)};
    std::string line;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i) line += '\t';
        line += padded(fields[i], kLogFieldWidths[i]);
    }
    line += "\r\n";
    return line;
}

AppendLog::AppendLog(std::string path) : path_(std::move(path)), clock_([] { return std::time(nullptr); }) {}

AppendLog::~AppendLog()
{
    close();
}

bool AppendLog::open()
{
    close();
    // Only a regular file: a FIFO would block the first write that fills it.
    file_ = openRegularForAppending(path_);
    openError_ = file_ ? std::string() : reasonText(errno);
    return file_ != nullptr;
}

void AppendLog::close()
{
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool AppendLog::clear()
{
    // Emptied under the lock, so that no other run's record is cut in half.
    if (!open() || !lockCurrentLog()) return false;
    const int fd = fileno(file_);
    const bool ok = ::ftruncate(fd, 0) == 0;
    unlockDescriptor(fd);
    return ok;
}

bool AppendLog::lockCurrentLog()
{
    LockWait wait;
    wait.limit = kLogLockWait;
    wait.onWait = [this] {
        StderrMessageBoxes().show(path_ + " is being written by another run; waiting for it",
                                  applicationName());
    };
    // A log moved away or replaced since it was opened (rotated, say) is not
    // the one to write: the name's file is opened again.
    for (int tries = 0; tries < kMaxReopens; ++tries) {
        const int fd = fileno(file_);
        const int r = lockDescriptor(fd, wait);
        const bool locked = r == 0;
        if (!locked && !lockingUnsupported(r)) return false;
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(path_.c_str(), &named) == 0 && sameInode(held, named))
            return true;
        if (locked) unlockDescriptor(fd);
        std::FILE* current = openRegularForAppending(path_);
        if (!current) return false;
        std::fclose(file_);
        file_ = current;
    }
    return false;
}

void AppendLog::setClock(std::function<std::time_t()> clock)
{
    if (clock)
        clock_ = std::move(clock);
    else
        clock_ = [] { return std::time(nullptr); };
}

bool AppendLog::writeRecord(const std::string& outputPath, const std::string& sourcePath)
{
    if (!file_) {
        errno = EBADF;
        return false;
    }
    OutputFacts facts = readOutputFacts(outputPath);
    std::string line = formatLogRecord(formatLocalTime(clock_()), facts.size, outputPath, facts.created,
                                       facts.modified, sourcePath);
    // Other runs may log at the same time. Under the log's lock, at the end of
    // the file the name holds now, in one write: records never interleave, and
    // a failed one can be cut off without touching anyone else's.
    if (!lockCurrentLog()) return false;
    // Written straight to the descriptor, so a failed write leaves nothing
    // behind in a buffer to surface later.
    const int fd = fileno(file_);
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    bool ok = writeAll(fd, line.data(), line.size());
    int why = errno;
    // On disk at once, so a viewer opened right afterwards sees the record.
    if (::fsync(fd) != 0 && ok) {
        ok = false;
        why = errno;
    }
    if (!ok) {
        // A half-written record (a full disk) would shift every later line.
        if (sized) (void)::ftruncate(fd, before.st_size);
        std::clearerr(file_);
    }
    unlockDescriptor(fd);
    if (!ok) errno = why; // the caller tells why
    return ok;
}

} // namespace fb
