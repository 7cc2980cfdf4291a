#include "common/Files.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fb {

namespace {

// The folder a temporary file must live in so that rename() stays on one file
// system and replaces the target in one step.
std::string folderForTemp(const std::string& target) {
    const std::string folder = folderPartWithSlash(target);
    return folder.empty() ? std::string("./") : folder;
}

// mkstemp beside the target; fd -1 on failure.
int makeTempBeside(const std::string& target, std::string& tempPath) {
    std::string name = folderForTemp(target) + "." + fileTitle(target) + ".XXXXXX";
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    const int fd = ::mkstemp(buf.data());
    if (fd < 0) {
        tempPath.clear();
        return -1;
    }
    tempPath.assign(buf.data());
    return fd;
}

// The mode a replacement file should get: the target's if it exists, else what
// a plain create would give under the current umask.
mode_t modeForReplacement(const std::string& target, mode_t fallback) {
    struct stat st{};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return fallback & ~mask;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void syncFolderOf(const std::string& target) {
    const int dfd = ::open(folderForTemp(target).c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

} // namespace

bool canOpenForReading(const std::string& path) {
    if (path.empty())
        return false;
    // Non-blocking, so a named pipe without a writer can't hang the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st{};
    const bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
    return ok;
}

bool isRegularFile(const std::string& path) {
    struct stat st{};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat st{};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool pathExists(const std::string& path) {
    struct stat st{};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool removeFile(const std::string& path) {
    return !path.empty() && !isDirectory(path) && ::unlink(path.c_str()) == 0;
}

bool createFolderOneLevel(const std::string& path) {
    if (path.empty())
        return false;
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    return isDirectory(path);
}

bool copyFileReplacing(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty() || isDirectory(to))
        return false;
    const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st{};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    std::string tempPath;
    const int out = makeTempBeside(to, tempPath);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    std::vector<char> buf(1 << 16);
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (!writeAll(out, buf.data(), static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    ok = ok && ::fchmod(out, st.st_mode & 07777) == 0;
    ok = ok && ::fsync(out) == 0;
    ok = (::close(out) == 0) && ok;
    ok = ok && ::rename(tempPath.c_str(), to.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    syncFolderOf(to);
    return true;
}

std::string fileTitle(const std::string& path) {
    const auto pos = path.find_last_of('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string folderPartWithSlash(const std::string& path) {
    const auto pos = path.find_last_of('/');
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa{}, sb{};
    if (!a.empty() && !b.empty() && ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    std::error_code ec1, ec2;
    const auto pa = std::filesystem::absolute(a, ec1).lexically_normal();
    const auto pb = std::filesystem::absolute(b, ec2).lexically_normal();
    if (ec1 || ec2)
        return a == b;
    return pa == pb;
}

AtomicFileWriter::AtomicFileWriter(std::string target) : target_(std::move(target)) {}

AtomicFileWriter::~AtomicFileWriter() { abandon(); }

bool AtomicFileWriter::open() {
    abandon();
    if (target_.empty() || isDirectory(target_))
        return false;
    fd_ = makeTempBeside(target_, tempPath_);
    if (fd_ < 0)
        return false;
    out_.open(tempPath_, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!out_.is_open()) {
        abandon();
        return false;
    }
    return true;
}

std::ostream& AtomicFileWriter::stream() { return out_; }

bool AtomicFileWriter::commit() {
    if (fd_ < 0 || !out_.is_open())
        return false;
    out_.flush();
    bool ok = out_.good();
    out_.close();
    ok = ok && !out_.fail();
    // The ofstream wrote through its own descriptor of the same file; fsync on
    // ours flushes that inode's data all the same.
    ok = ok && ::fchmod(fd_, modeForReplacement(target_, 0666)) == 0;
    ok = ok && ::fsync(fd_) == 0;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    ok = ok && !isDirectory(target_) && ::rename(tempPath_.c_str(), target_.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
        return false;
    }
    tempPath_.clear();
    syncFolderOf(target_);
    return true;
}

void AtomicFileWriter::abandon() {
    if (out_.is_open())
        out_.close();
    out_.clear();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

} // namespace fb
