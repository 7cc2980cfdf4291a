#pragma once
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>

#include <sys/types.h>

namespace fb {

// fopen "rb" succeeds and the path is not a directory.
bool canOpenForReading(const std::string& path);
// Why it can't: 0 when it can, else the system's error (EISDIR for a
// directory, ENOENT for an empty path).
int openForReadingError(const std::string& path);

// Every file the program reads or writes is a regular file (symbolic links
// followed). These open one without ever blocking: a FIFO, a device or a
// folder is refused at once (errno EINVAL, or EISDIR for a folder).
// A descriptor, or -1.
int openRegularForReading(const std::string& path);
// Exists, is a regular file and opens for reading.
bool isReadableRegularFile(const std::string& path);
// For appending and reading, created when missing; nullptr (errno set) when
// it can't be opened or is not a regular file.
std::FILE* openRegularForAppending(const std::string& path);

// Both regular files with the same bytes.
bool sameContent(const std::string& a, const std::string& b);
bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path); // follows symbolic links
bool pathExists(const std::string& path);
bool removeFile(const std::string& path);

// mkdir of one level; an existing folder counts as success.
bool createFolderOneLevel(const std::string& path);

// Copies through a temporary file in the target's folder renamed over the
// target, so a failed copy never leaves a half-written or missing target.
bool copyFileReplacing(const std::string& from, const std::string& to);

// Copies like copyFileReplacing but never replaces: fails (errno EEXIST) when
// the target exists, even if it appears meanwhile.
bool copyFileNoReplace(const std::string& from, const std::string& to);

// "a.pdf", 2 -> "a (2).pdf"; "a", 3 -> "a (3)".
std::string numberedFileName(const std::string& fileName, int number);

// A temporary file beside the target, named ".<name>.mervo-<pid>.XXXXXX" so
// that it says whose it is. Temporary files of the same target left by a
// process that is gone are removed first. fd -1 on failure.
int createTempBeside(const std::string& target, std::string& tempPath);
// False (errno EACCES or EROFS) when path exists and the runner may not write
// it: such a file is never replaced behind its owner's back.
bool writableOrAbsent(const std::string& path);
// The system's text for an error number ("No space left on device").
std::string reasonText(int error);
// Writes all of data, going on after interruptions. False on an error, errno
// saying why (ENOSPC for a write that takes nothing).
bool writeAll(int fd, const char* data, std::size_t size);
// The same at offset, leaving the file position alone.
bool pwriteAll(int fd, const char* data, std::size_t size, off_t offset);
// A second name for the target, named as createTempBeside names its files, so
// the file it names now outlives the target being replaced. "" on failure
// (for example where the file system has no hard links).
std::string linkBeside(const std::string& target);
// Removes the temporary files of the target whose process is gone.
void removeStaleTempFiles(const std::string& target);

// Plain file name with extension: "/x/a.pdf" -> "a.pdf".
std::string fileTitle(const std::string& path);
// Everything up to and including the last '/', "" when there is none.
std::string folderPartWithSlash(const std::string& path);

// Same inode when both exist, else the same normalized absolute path.
bool sameFile(const std::string& a, const std::string& b);

// The one way a file gets a new version: a temporary file beside where it goes
// (createTempBeside) is filled, synced, closed and put in place in one step,
// and the folder synced after, so that the new name survives a crash. A reader
// sees the old file or the whole new one. Anything short of a successful
// place() removes the temporary file and leaves the target as it was, errno
// saying why. replaceFile and AtomicFileWriter below are the usual doors.
class TempFileBeside {
public:
    TempFileBeside() = default;
    ~TempFileBeside(); // discards if not placed
    TempFileBeside(const TempFileBeside&) = delete;
    TempFileBeside& operator=(const TempFileBeside&) = delete;

    // Opens the temporary file beside target itself (no links followed).
    // False, errno set.
    bool create(const std::string& target);
    // Takes over fd, open on the file path names beside target, as if create
    // had made it.
    void adopt(int fd, std::string path, std::string target);
    int fd() const { return fd_; }
    const std::string& target() const { return target_; }

    enum class Placement {
        Replace,   // renamed over the target, unless a FileLock of this process
                   // finds it is no longer the version read (renameIntoPlace)
        NoReplace, // given the target's name only while it is free (EEXIST)
    };
    bool place(Placement how = Placement::Replace);
    void discard(); // errno kept

private:
    std::string target_;
    std::string path_;
    int fd_ = -1;
};

// Where a new version of path is to be written: its final target, so that a
// link stays a link. "" with errno when that is a folder (EISDIR) or a file
// the runner may not write (EACCES, EROFS), which is never replaced behind its
// owner's back.
std::string replacementTarget(const std::string& path);

// Replaces path (its replacementTarget) with a new file that fill writes to
// the descriptor it is given, which gets the owner and mode of the file it
// replaces. fill reports
// a failure by returning false with errno set, or by throwing. False on any
// failure, with the target untouched and, when why is given, the reason (the
// system's text, or what fill threw) in it. Never throws.
bool replaceFile(const std::string& path, const std::function<bool(int fd)>& fill,
                 std::string* why = nullptr);

// replaceFile for text gathered in memory: open() takes the temporary file
// (so a missing or unwritable folder shows at once), stream() gathers the
// text and commit() writes and places it. Without a successful open and
// commit the target stays as it was; failure() then says why.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string target);
    ~AtomicFileWriter(); // abandons if not committed
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool open();
    std::ostream& stream();
    bool commit();
    void abandon();

    const std::string& target() const { return target_; }
    // The system's reason for the last failed open() or commit().
    const std::string& failure() const { return failure_; }

private:
    bool failed();
    std::string target_;
    std::string failure_;
    TempFileBeside file_;
    std::ostringstream out_;
};

// rename(from, to) that never replaces: false with errno EEXIST when to
// exists, even when it appears meanwhile.
bool renameNoReplace(const std::string& from, const std::string& to);

} // namespace fb
