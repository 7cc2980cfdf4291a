#include "log/AppendLog.h"

#include "support/Text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace fb {

namespace {

std::string padded(const std::string& s, std::size_t width)
{
    return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

struct FileTimes {
    long long size = 0;
    std::string created, modified;
};

// Birth time where the file system records it, else the last status change.
bool readTimes(const std::string& path, FileTimes& t)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct statx sx {};
    bool ok = statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0;
    ::close(fd);
    if (!ok) return true;  // size 0 and empty times, as for an unreadable output
    t.size = static_cast<long long>(sx.stx_size);
    std::time_t born = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_ctime.tv_sec;
    t.created = formatLocalTime(born);
    t.modified = formatLocalTime(sx.stx_mtime.tv_sec);
    return true;
}

} // namespace

std::string formatLogRecord(const std::string& dateTime, long long size,
                            const std::string& outputPath, const std::string& created,
                            const std::string& modified, const std::string& sourcePath)
{
    return padded(dateTime, 22) + "\t" + padded(std::to_string(size), 8) + "\t" +
           padded(outputPath, 80) + "\t" + padded(created, 22) + "\t" + padded(modified, 22) +
           "\t" + padded(sourcePath, 80) + "\r\n";
}

AppendLog::AppendLog(std::string path)
    : path_(std::move(path)), clock_([] { return std::time(nullptr); })
{
}

AppendLog::~AppendLog() { close(); }

bool AppendLog::open()
{
    close();
    file_ = std::fopen(path_.c_str(), "a+b");
    return file_ != nullptr;
}

void AppendLog::close()
{
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool AppendLog::clear()
{
    close();
    file_ = std::fopen(path_.c_str(), "w+b");
    return file_ != nullptr;
}

bool AppendLog::writeRecord(const std::string& outputPath, const std::string& sourcePath)
{
    if (!file_) return false;
    FileTimes t;
    readTimes(outputPath, t);
    std::string line =
        formatLogRecord(formatLocalTime(clock_()), t.size, outputPath, t.created, t.modified, sourcePath);
    bool ok = std::fwrite(line.data(), 1, line.size(), file_) == line.size();
    ok = std::fflush(file_) == 0 && ok;
    fsync(fileno(file_));
    return ok;
}

} // namespace fb
