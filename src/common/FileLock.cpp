#include "common/FileLock.h"

#include "common/Files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef sigev_notify_thread_id
#define sigev_notify_thread_id _sigev_un._tid
#endif

namespace fb {

bool sameInode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool lockingUnsupported(int error)
{
    return error == ENOLCK || error == EOPNOTSUPP || error == EINVAL || error == ENOSYS;
}

FileIdentity identityFrom(const struct stat& st)
{
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return id;
}

namespace {

// One attempt at the lock. Open-file-description locks first; a kernel
// without them says EINVAL, and from then on classic locks are used, which a
// close of any other descriptor of the file in this process would drop.
int attempt(int fd, short type, bool block, bool& ofd)
{
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
#ifdef F_OFD_SETLKW
    if (ofd) {
        if (::fcntl(fd, block ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return 0;
        if (errno != EINVAL) return errno;
        ofd = false;
    }
#else
    ofd = false;
#endif
    if (::fcntl(fd, block ? F_SETLKW : F_SETLK, &fl) == 0) return 0;
    return errno;
}

bool heldByOther(int error)
{
    return error == EAGAIN || error == EACCES;
}

void onTick(int) {}

// Interrupts a blocking wait of this thread after a tenth of a second, so
// that the wait can be bounded and the caller asked whether to go on. The
// signal is aimed at this thread alone and armed only around the wait itself:
// whatever the caller does in between never sees an interrupted call. The
// previous handler and mask come back afterwards.
class TickTimer {
public:
    TickTimer()
    {
        struct sigaction sa {};
        sa.sa_handler = onTick;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0; // no SA_RESTART: the wait must return with EINTR
        if (::sigaction(SIGALRM, &sa, &oldAction_) != 0) return;
        sigset_t alarm;
        sigemptyset(&alarm);
        sigaddset(&alarm, SIGALRM);
        ::pthread_sigmask(SIG_UNBLOCK, &alarm, &oldMask_);
        struct sigevent ev {};
        ev.sigev_notify = SIGEV_THREAD_ID;
        ev.sigev_signo = SIGALRM;
        ev.sigev_notify_thread_id = ::gettid();
        if (::timer_create(CLOCK_MONOTONIC, &ev, &timer_) != 0) {
            restore();
            return;
        }
        ready_ = true;
    }
    ~TickTimer()
    {
        if (!ready_) return;
        // A tick already sent must not meet the old handler: SIGALRM's
        // default ends the process. It is blocked and taken here instead.
        sigset_t alarm;
        sigemptyset(&alarm);
        sigaddset(&alarm, SIGALRM);
        ::pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
        ::timer_delete(timer_);
        struct timespec none {};
        while (::sigtimedwait(&alarm, nullptr, &none) == SIGALRM) {
        }
        restore();
    }
    TickTimer(const TickTimer&) = delete;
    TickTimer& operator=(const TickTimer&) = delete;
    bool ready() const { return ready_; }
    bool arm() { return set(100000000); }
    void disarm() { set(0); }

private:
    bool set(long ns)
    {
        struct itimerspec once {};
        once.it_value.tv_nsec = ns;
        return ::timer_settime(timer_, 0, &once, nullptr) == 0;
    }
    void restore()
    {
        ::sigaction(SIGALRM, &oldAction_, nullptr);
        ::pthread_sigmask(SIG_SETMASK, &oldMask_, nullptr);
    }
    struct sigaction oldAction_ {};
    sigset_t oldMask_{};
    timer_t timer_{};
    bool ready_ = false;
};

// Where a path leads once every link is followed; for a name not there yet,
// its folder's real path and the name.
std::string canonicalOf(const std::string& path)
{
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        std::string out = real;
        std::free(real);
        return out;
    }
    std::string folder = folderPartWithSlash(path);
    if (folder.empty()) folder = ".";
    if (char* real = ::realpath(folder.c_str(), nullptr)) {
        std::string out = std::string(real) + "/" + fileTitle(path);
        std::free(real);
        return out;
    }
    return path;
}

} // namespace

std::optional<FileIdentity> identityOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return identityFrom(st);
}

std::optional<FileIdentity> identityOf(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return identityFrom(st);
}

int lockDescriptor(int fd, const LockWait& wait, bool exclusive)
{
    const short type = exclusive ? F_WRLCK : F_RDLCK;
    bool ofd = true;
    int r = attempt(fd, type, false, ofd);
    if (!heldByOther(r)) return r;
    if (wait.limit.count() <= 0) return ETIMEDOUT;
    if (wait.onWait) wait.onWait();
    const auto deadline = std::chrono::steady_clock::now() + wait.limit;
    TickTimer tick;
    for (;;) {
        if (tick.ready() && tick.arm()) {
            r = attempt(fd, type, true, ofd);
            tick.disarm();
        } else {
            ::usleep(50000); // no timer to bound a blocking wait: ask again and again
            r = attempt(fd, type, false, ofd);
        }
        if (r == 0) return 0;
        // EDEADLK: classic locks see a cycle through another process; it clears when one side lets go.
        if (r != EINTR && r != EDEADLK && !heldByOther(r)) return r;
        if (std::chrono::steady_clock::now() >= deadline) return ETIMEDOUT;
        if (wait.keepWaiting && !wait.keepWaiting()) return ECANCELED;
        if (r == EDEADLK) ::usleep(50000);
    }
}

void unlockDescriptor(int fd)
{
    struct flock fl {};
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
#ifdef F_OFD_SETLK
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return;
#endif
    ::fcntl(fd, F_SETLK, &fl);
}

// ---- locks by name ----------------------------------------------------------

struct FileLock::Held {
    std::string path;
    std::string canonical;
    int fd = -1;                          // the file found at the name
    std::vector<int> renamedIn;           // new versions this holder put there, locked too
    std::optional<FileIdentity> expected; // what the name should name; nullopt: nothing
};

namespace {

std::mutex registryMutex;
std::vector<FileLock::Held*> registry;

void enroll(FileLock::Held* held)
{
    std::lock_guard<std::mutex> guard(registryMutex);
    registry.push_back(held);
}

void withdraw(FileLock::Held* held)
{
    std::lock_guard<std::mutex> guard(registryMutex);
    registry.erase(std::remove(registry.begin(), registry.end(), held), registry.end());
}

} // namespace

FileLock::FileLock() = default;

FileLock::~FileLock()
{
    release();
}

FileLock::FileLock(FileLock&& other) noexcept
    : state_(other.state_), error_(other.error_), held_(std::move(other.held_))
{
    other.state_ = State::Failed;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        release();
        state_ = other.state_;
        error_ = other.error_;
        held_ = std::move(other.held_);
        other.state_ = State::Failed;
    }
    return *this;
}

FileLock FileLock::acquire(const std::string& path, const LockWait& wait)
{
    FileLock lock;
    auto held = std::make_unique<Held>();
    held->path = path;
    // One bound and one notice for the whole wait, however often the name moves on.
    const auto deadline = std::chrono::steady_clock::now() + wait.limit;
    bool told = false;
    LockWait each = wait;
    each.onWait = [&] {
        if (!told && wait.onWait) wait.onWait();
        told = true;
    };
    // A rename gives the name a new file while we wait for the old one's
    // lock; then the new file is the one to lock. The bound only guards
    // against a name that changes for ever.
    for (int tries = 0; tries < 1000; ++tries) {
        bool exclusive = true;
        int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
            // Not ours to write: a shared lock still keeps writers out while we read.
            exclusive = false;
            fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        }
        if (fd < 0) {
            // Nothing there to lock, or nothing a reader will accept.
            lock.state_ = errno == ENOENT ? State::Absent : State::Unlocked;
            lock.error_ = 0;
            held->expected = identityOf(path);
            break;
        }
        struct stat locked {};
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
            // A folder, FIFO or device is refused by whoever reads it.
            ::close(fd);
            lock.state_ = State::Unlocked;
            held->expected = identityOf(path);
            break;
        }
        each.limit =
            std::max(std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(
                                                       deadline - std::chrono::steady_clock::now()));
        const int r = lockDescriptor(fd, each, exclusive);
        if (lockingUnsupported(r)) {
            // A file system without locks: only the version check protects the file.
            held->expected = identityOf(fd);
            ::close(fd);
            lock.state_ = State::Unlocked;
            lock.error_ = r;
            break;
        }
        if (r != 0) {
            ::close(fd);
            lock.state_ = State::Failed;
            lock.error_ = r;
            return lock;
        }
        struct stat named {};
        if (::stat(path.c_str(), &named) == 0 && sameInode(named, locked)) {
            held->fd = fd;
            held->expected = identityOf(fd);
            lock.state_ = State::Locked;
            break;
        }
        ::close(fd); // the name moved on; this lock guards nothing
        lock.state_ = State::Failed;
        lock.error_ = EAGAIN;
    }
    if (lock.state_ == State::Failed) return lock;
    held->canonical = canonicalOf(path);
    enroll(held.get());
    lock.held_ = std::move(held);
    return lock;
}

FileLock FileLock::untracked()
{
    FileLock lock;
    lock.state_ = State::Unlocked;
    return lock;
}

bool FileLock::stillCurrent() const
{
    if (!held_) return state_ == State::Unlocked;
    std::lock_guard<std::mutex> guard(registryMutex);
    return identityOf(held_->path) == held_->expected;
}

void FileLock::release()
{
    if (!held_) return;
    withdraw(held_.get());
    // Closing an open-file-description's last descriptor lets its lock go.
    if (held_->fd >= 0) ::close(held_->fd);
    for (int fd : held_->renamedIn)
        ::close(fd);
    held_.reset();
}

bool renameIntoPlace(const std::string& from, const std::string& to)
{
    std::lock_guard<std::mutex> guard(registryMutex);
    FileLock::Held* held = nullptr;
    if (!registry.empty()) {
        const std::string canonical = canonicalOf(to);
        for (FileLock::Held* h : registry)
            if (h->path == to || h->canonical == canonical) held = h;
    }
    if (!held) return std::rename(from.c_str(), to.c_str()) == 0;

    if (identityOf(to) != held->expected) {
        errno = ESTALE;
        return false;
    }
    // Locked before it takes the name, so that it is never there unlocked
    // while this holder still works on it.
    int fd = ::open(from.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd >= 0 && lockDescriptor(fd, LockWait{std::chrono::milliseconds(0), {}, {}}) != 0) {
        ::close(fd);
        fd = -1;
    }
    const bool ok = held->expected ? std::rename(from.c_str(), to.c_str()) == 0 : renameNoReplace(from, to);
    if (!ok) {
        const int why = errno == EEXIST ? ESTALE : errno;
        if (fd >= 0) ::close(fd);
        errno = why;
        return false;
    }
    if (fd >= 0) {
        held->renamedIn.push_back(fd);
        held->expected = identityOf(fd);
    } else {
        held->expected = identityOf(to);
    }
    return true;
}

} // namespace fb
