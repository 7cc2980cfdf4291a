#include "common/Files.h"

#include "common/FileLock.h"
#include "common/StopSignals.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fb {

namespace {

// The folder a temporary file must live in so that rename() stays on one file
// system and replaces the target in one step.
std::string folderForTemp(const std::string& target)
{
    const std::string folder = folderPartWithSlash(target);
    return folder.empty() ? std::string("./") : folder;
}

const char* const kTempOwnerTag = ".mervo-";

// "/x/.a.pdf.mervo-" for target "/x/a.pdf": every temporary file of that
// target starts with it, followed by the owner's process id.
std::string tempPrefixFor(const std::string& target)
{
    return "." + fileTitle(target) + kTempOwnerTag;
}

std::string processName(const std::string& pid)
{
    std::ifstream in("/proc/" + pid + "/comm", std::ios::binary);
    std::string name;
    std::getline(in, name);
    return name;
}

// A temporary file belongs to a live run when its process exists and is this
// same program; a process id taken over by another program counts as gone.
bool ownerIsAlive(pid_t pid)
{
    if (pid <= 0) return false;
    if (pid == ::getpid()) return true;
    if (::kill(pid, 0) != 0 && errno != EPERM) return false;
    return processName(std::to_string(pid)) == processName("self");
}

// The mode of a file that replaces none, as a plain create gives it: under the umask.
constexpr mode_t kNewFileMode = 0666;
// As many links as the kernel follows in one path before it says ELOOP.
constexpr int kMaxLinkHops = 40;

// Gives the file open on fd what the target it is to replace has: its owner and
// group where the runner may give them (kept silently otherwise) and its mode
// (kNewFileMode under the umask for a new target). False, errno set, when the
// mode can't be set.
bool takeOwnerAndMode(int fd, const std::string& target)
{
    struct stat old {
    }, mine{};
    if (::stat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return ::fchmod(fd, kNewFileMode & ~mask) == 0;
    }
    if (::fstat(fd, &mine) == 0 && (mine.st_uid != old.st_uid || mine.st_gid != old.st_gid)) {
        // Only root may give a file away; anyone may keep its group when they
        // belong to it. Either way the replacement goes on.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    // After the owner: a change of owner clears the set-id bits.
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// The file path finally names, symbolic links followed (relative ones from the
// link's own folder); a target that does not exist yet is named all the same.
// A replacement goes there, so that a link stays a link. path itself when it
// is no link; "" with errno ELOOP for a loop.
std::string finalTarget(const std::string& path)
{
    std::string at = path;
    for (int hops = 0; hops < kMaxLinkHops; ++hops) {
        struct stat st {};
        if (at.empty() || ::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        std::vector<char> buf(static_cast<std::size_t>(st.st_size) + 256);
        const ssize_t n = ::readlink(at.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= buf.size())
            return at; // changed under us: whatever it names now is what the write meets
        const std::string to(buf.data(), static_cast<std::size_t>(n));
        at = to[0] == '/' ? to : folderPartWithSlash(at) + to;
    }
    errno = ELOOP;
    return "";
}

// Syncs the folder holding target, so a rename into it survives a crash.
void syncFolderOf(const std::string& target)
{
    const int dfd = ::open(folderForTemp(target).c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

} // namespace

bool writableOrAbsent(const std::string& path)
{
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return true;
    return errno == ENOENT;
}

std::string reasonText(int error)
{
    if (error == 0) return {}; // nothing said, rather than "Success"
    return std::generic_category().message(error);
}

namespace {

// Calls write(data, size, done) until all is taken; write says how much it took.
template <typename Write> bool writeInSteps(const char* data, std::size_t size, Write write)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(data + done, size - done, done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            // Nothing taken and no error: trying again would loop for ever.
            errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool writeAll(int fd, const char* data, std::size_t size)
{
    return writeInSteps(data, size,
                        [fd](const char* from, std::size_t n, std::size_t) { return ::write(fd, from, n); });
}

bool pwriteAll(int fd, const char* data, std::size_t size, off_t offset)
{
    return writeInSteps(data, size, [fd, offset](const char* from, std::size_t n, std::size_t done) {
        return ::pwrite(fd, from, n, offset + static_cast<off_t>(done));
    });
}

bool canOpenForReading(const std::string& path)
{
    return openForReadingError(path) == 0;
}

int openForReadingError(const std::string& path)
{
    if (path.empty()) return ENOENT;
    // Non-blocking, so a named pipe without a writer can't hang the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    const int why = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    ::close(fd);
    return why;
}

int openRegularForReading(const std::string& path)
{
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int why = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = why;
        return -1;
    }
    // Reads of a regular file never wait anyway; plain blocking reads from here on.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool isReadableRegularFile(const std::string& path)
{
    const int fd = openRegularForReading(path);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::FILE* openRegularForAppending(const std::string& path)
{
    if (path.empty()) return nullptr;
    // Read-write, so that opening a FIFO does not wait for a reader either.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ok = ok && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
    std::FILE* file = ok ? ::fdopen(fd, "a+b") : nullptr;
    if (!file) {
        // Say why, as openRegularForReading does: a folder or a FIFO is no log.
        const int why = !S_ISREG(st.st_mode) ? (S_ISDIR(st.st_mode) ? EISDIR : EINVAL) : errno;
        ::close(fd);
        errno = why;
    }
    return file;
}

bool sameContent(const std::string& a, const std::string& b)
{
    const int fa = openRegularForReading(a);
    if (fa < 0) return false;
    const int fb = openRegularForReading(b);
    if (fb < 0) {
        ::close(fa);
        return false;
    }
    struct stat sa {
    }, sb{};
    bool same = ::fstat(fa, &sa) == 0 && ::fstat(fb, &sb) == 0 && sa.st_size == sb.st_size;
    std::vector<char> ba(1 << 16), bb(1 << 16);
    while (same) {
        const ssize_t na = ::read(fa, ba.data(), ba.size());
        if (na <= 0) {
            same = na == 0;
            break;
        }
        ssize_t got = 0;
        while (got < na) {
            const ssize_t nb = ::read(fb, bb.data() + got, static_cast<std::size_t>(na - got));
            if (nb <= 0) break;
            got += nb;
        }
        same = got == na && std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(na)) == 0;
    }
    ::close(fa);
    ::close(fb);
    return same;
}

namespace {

// A new empty file named ".<name>.mervo-<pid>.XXXXXX" beside the target.
int openTempNamedFor(const std::string& target, std::string& tempPath)
{
    std::string name = folderForTemp(target) + tempPrefixFor(target) + std::to_string(::getpid()) + ".XXXXXX";
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    MakingOwnTempFile making;
    const int fd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) {
        tempPath.clear();
        return -1;
    }
    tempPath.assign(buf.data());
    noteOwnTempFile(tempPath);
    return fd;
}

} // namespace

int createTempBeside(const std::string& target, std::string& tempPath)
{
    removeStaleTempFiles(target);
    return openTempNamedFor(target, tempPath);
}

std::string linkBeside(const std::string& target)
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        // The name is drawn as a temporary file's is, then given to the target.
        MakingOwnTempFile making;
        std::string name;
        const int fd = openTempNamedFor(target, name);
        if (fd < 0) return "";
        ::close(fd);
        ::unlink(name.c_str());
        if (::link(target.c_str(), name.c_str()) == 0) return name;
        if (errno != EEXIST) return "";
    }
    return "";
}

void removeStaleTempFiles(const std::string& target)
{
    const std::string folder = folderForTemp(target);
    const std::string prefix = tempPrefixFor(target);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        // The owner's process id, then "." and the six random characters.
        const std::string rest = name.substr(prefix.size());
        const auto dot = rest.find('.');
        if (dot == std::string::npos || dot == 0 || rest.size() - dot != 7 ||
            rest.find_first_not_of("0123456789") != dot)
            continue;
        if (!ownerIsAlive(static_cast<pid_t>(std::stol(rest.substr(0, dot))))) stale.push_back(folder + name);
    }
    ::closedir(dir);
    for (const std::string& path : stale) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
    }
}

bool isRegularFile(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool pathExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool removeFile(const std::string& path)
{
    return !path.empty() && !isDirectory(path) && ::unlink(path.c_str()) == 0;
}

bool createFolderOneLevel(const std::string& path)
{
    if (path.empty()) return false;
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    return isDirectory(path);
}

namespace {

// Copies into a temporary file beside `to` itself (a link there is replaced,
// not followed), then puts it in place: renamed over the target, or (no
// replacing) given the target's name only while that is free.
bool copyFile(const std::string& from, const std::string& to, TempFileBeside::Placement how)
{
    if (from.empty() || to.empty()) return false;
    if (isDirectory(to)) {
        errno = EEXIST; // the name is taken
        return false;
    }
    const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        errno = EINVAL;
        return false;
    }
    TempFileBeside out;
    if (!out.create(to)) {
        const int why = errno;
        ::close(in);
        errno = why;
        return false;
    }
    bool ok = true;
    std::vector<char> buf(1 << 16);
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        if (!writeAll(out.fd(), buf.data(), static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    const int why = errno;
    ::close(in);
    errno = why;
    // The copy keeps the source's mode, whatever the target had.
    return ok && ::fchmod(out.fd(), st.st_mode & 07777) == 0 && out.place(how);
}

} // namespace

bool copyFileReplacing(const std::string& from, const std::string& to)
{
    return copyFile(from, to, TempFileBeside::Placement::Replace);
}

bool copyFileNoReplace(const std::string& from, const std::string& to)
{
    return copyFile(from, to, TempFileBeside::Placement::NoReplace);
}

std::string numberedFileName(const std::string& fileName, int number)
{
    const auto dot = fileName.find_last_of('.');
    const std::string suffix = " (" + std::to_string(number) + ")";
    if (dot == std::string::npos || dot == 0) return fileName + suffix;
    return fileName.substr(0, dot) + suffix + fileName.substr(dot);
}

std::string fileTitle(const std::string& path)
{
    const auto pos = path.find_last_of('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string folderPartWithSlash(const std::string& path)
{
    const auto pos = path.find_last_of('/');
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa {
    }, sb{};
    if (!a.empty() && !b.empty() && ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sameInode(sa, sb);
    std::error_code ec1, ec2;
    const auto pa = std::filesystem::absolute(a, ec1).lexically_normal();
    const auto pb = std::filesystem::absolute(b, ec2).lexically_normal();
    if (ec1 || ec2) return a == b;
    return pa == pb;
}

TempFileBeside::~TempFileBeside()
{
    discard();
}

bool TempFileBeside::create(const std::string& target)
{
    discard();
    // Named after this process, so a later save can tell a dead run's litter
    // from a live run's file and remove it.
    fd_ = createTempBeside(target, path_);
    if (fd_ < 0) return false;
    target_ = target;
    return true;
}

void TempFileBeside::adopt(int fd, std::string path, std::string target)
{
    discard();
    fd_ = fd;
    path_ = std::move(path);
    target_ = std::move(target);
}

bool TempFileBeside::place(Placement how)
{
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    bool ok = ::fsync(fd_) == 0;
    int why = errno;
    // Checked: a network file system may report a failed write only here.
    if (::close(fd_) != 0 && ok) {
        ok = false;
        why = errno;
    }
    fd_ = -1;
    if (ok) {
        ok = how == Placement::Replace ? renameIntoPlace(path_, target_) : renameNoReplace(path_, target_);
        why = errno;
    }
    if (!ok) {
        discard();
        errno = why;
        return false;
    }
    path_.clear();
    syncFolderOf(target_);
    return true;
}

void TempFileBeside::discard()
{
    const int keep = errno;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
    errno = keep;
}

std::string replacementTarget(const std::string& path)
{
    if (path.empty()) {
        errno = ENOENT;
        return "";
    }
    const std::string target = finalTarget(path);
    if (target.empty()) return "";
    if (isDirectory(target)) {
        errno = EISDIR;
        return "";
    }
    return writableOrAbsent(target) ? target : "";
}

namespace {
// A write that failed without saying why (errno 0) still gets a reason.
std::string writeFailureText(int error)
{
    return error ? reasonText(error) : "the file could not be written";
}
} // namespace

bool replaceFile(const std::string& path, const std::function<bool(int fd)>& fill, std::string* why)
{
    auto failed = [why](std::string reason) {
        if (why) *why = std::move(reason);
        return false;
    };
    TempFileBeside file;
    const std::string target = replacementTarget(path);
    if (target.empty() || !file.create(target)) return failed(reasonText(errno));
    try {
        errno = 0;
        if (!fill(file.fd())) return failed(writeFailureText(errno));
    } catch (const std::exception& e) {
        return failed(*e.what() ? e.what() : writeFailureText(0));
    }
    if (!takeOwnerAndMode(file.fd(), target) || !file.place()) return failed(reasonText(errno));
    return true;
}

AtomicFileWriter::AtomicFileWriter(std::string target) : target_(std::move(target)) {}

AtomicFileWriter::~AtomicFileWriter()
{
    abandon();
}

bool AtomicFileWriter::open()
{
    abandon();
    failure_.clear();
    errno = 0;
    const std::string final = replacementTarget(target_);
    return (!final.empty() && file_.create(final)) || failed();
}

bool AtomicFileWriter::failed()
{
    const int error = errno;
    if (failure_.empty()) failure_ = writeFailureText(error);
    errno = error;
    return false;
}

std::ostream& AtomicFileWriter::stream()
{
    return out_;
}

bool AtomicFileWriter::commit()
{
    if (file_.fd() < 0) {
        errno = EBADF;
        return failed();
    }
    // Written by hand rather than through a stream, so that every failure is
    // seen and its errno is the one reported.
    const std::string text = out_.str();
    errno = 0;
    const bool ok = writeAll(file_.fd(), text.data(), text.size()) &&
                    takeOwnerAndMode(file_.fd(), file_.target()) && file_.place();
    abandon(); // keeps errno
    return ok || failed();
}

void AtomicFileWriter::abandon()
{
    out_.str("");
    out_.clear();
    file_.discard();
}

bool renameNoReplace(const std::string& from, const std::string& to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // A file system without it: a hard link never replaces either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace fb
