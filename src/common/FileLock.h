#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <sys/stat.h>
#include <sys/types.h>

namespace fb {

// Which file a path names, and which version of it: another program's change
// or a replacement shows as a different identity.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
// Of the regular file path names (links followed); nullopt for anything else.
std::optional<FileIdentity> identityOf(const std::string& path);
std::optional<FileIdentity> identityOf(int fd);
FileIdentity identityFrom(const struct stat& st);

// The same file (device and inode), whatever its name or version.
bool sameInode(const struct stat& a, const struct stat& b);

// A lock error that means the file system keeps no locks (NFS without a lock
// daemon, some FUSE mounts): the file can still be used, unguarded.
bool lockingUnsupported(int error);

// How long to wait for a lock another process holds, and what to do meanwhile.
struct LockWait {
    std::chrono::milliseconds limit = std::chrono::minutes(5);
    // Called once, as soon as the lock turns out to be held by someone else.
    std::function<void()> onWait;
    // Called about ten times a second while waiting; false gives up.
    std::function<bool()> keepWaiting;
};

// Takes an fcntl record lock on the whole of fd's file, exclusive or shared:
// an open-file-description lock where the kernel has them (so no other
// descriptor of this process can drop it), a classic process lock otherwise.
// Waits within wait's limit. 0, or the errno: ETIMEDOUT past the limit,
// ECANCELED when keepWaiting gave up, ENOLCK where the file system has no locks.
int lockDescriptor(int fd, const LockWait& wait, bool exclusive = true);
void unlockDescriptor(int fd);

// An advisory lock on the file a path names, held while a process reads the
// file and puts a new version in its place. Other processes that honour it
// wait; the lock is never a file of its own.
//
// The version found under the lock is the one the holder read. While the lock
// is held, renameIntoPlace puts a new file at the name only if the name still
// names that version (or still names nothing, when there was no file), and
// the renamed file is held locked too, so the name never names a file free
// for another process before the holder lets go.
class FileLock {
public:
    enum class State {
        Locked,   // the file the name names, as read
        Absent,   // no file by that name; a new one may not replace one that appears
        Unlocked, // not locked, only its version watched: error() says why
                  // the file system refused the lock, 0 when it is not a
                  // regular file (its reader refuses it anyway)
        Failed,   // not taken: see error()
    };

    FileLock();
    ~FileLock();
    FileLock(FileLock&&) noexcept;
    FileLock& operator=(FileLock&&) noexcept;

    static FileLock acquire(const std::string& path, const LockWait& wait);
    // A lock on nothing, for work that writes no real file: always current.
    static FileLock untracked();

    State state() const { return state_; }
    int error() const { return error_; }
    // The name still names the version found under the lock, or this
    // process's own new version put there by renameIntoPlace.
    bool stillCurrent() const;
    void release();

    struct Held;

private:
    State state_ = State::Failed;
    int error_ = 0;
    std::unique_ptr<Held> held_;
};

// rename(from, to), unless a FileLock this process holds on to finds that to
// no longer names the version it read: then false with errno ESTALE and
// nothing renamed. Where that lock found no file, a file that appeared since
// is never replaced.
bool renameIntoPlace(const std::string& from, const std::string& to);

} // namespace fb
