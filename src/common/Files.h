#pragma once
#include <cstddef>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include <sys/types.h>

namespace fb {

// fopen "rb" succeeds and the path is not a directory.
bool canOpenForReading(const std::string& path);

// Every file the program reads or writes is a regular file (symbolic links
// followed). These open one without ever blocking: a FIFO, a device or a
// folder is refused at once (errno EINVAL, or EISDIR for a folder).
// A descriptor, or -1.
int openRegularForReading(const std::string& path);
// Exists, is a regular file and opens for reading.
bool isReadableRegularFile(const std::string& path);
// For appending and reading, created when missing, emptied first when asked;
// nullptr when it can't be opened or is not a regular file.
std::FILE* openRegularForAppending(const std::string& path, bool truncate);

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
// The mode a file replacing target should get: target's when it is a regular
// file, else fallback under the current umask.
mode_t modeForReplacement(const std::string& target, mode_t fallback);
// Gives the file open on fd what the target it is to replace has: its owner and
// group where the runner may give them (kept silently otherwise) and its mode
// (fallback under the umask for a new target). False, errno set, when the mode
// can't be set.
bool takeOwnerAndMode(int fd, const std::string& target, mode_t fallback);
// The file path finally names, symbolic links followed (relative ones from the
// link's own folder); a target that does not exist yet is named all the same.
// A replacement goes there, so that a link stays a link. path itself when it
// is no link; "" with errno ELOOP for a loop.
std::string finalTarget(const std::string& path);
// False (errno EACCES or EROFS) when path exists and the runner may not write
// it: such a file is never replaced behind its owner's back.
bool writableOrAbsent(const std::string& path);
// The system's text for an error number ("No space left on device").
std::string reasonText(int error);
// Writes all of data, going on after interruptions. False on an error.
bool writeAll(int fd, const char* data, std::size_t size);
// Syncs the folder holding target, so a rename into it survives a crash.
void syncFolderOf(const std::string& target);
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

// Writes a file so that readers see either the old content or the complete new
// one: the text is gathered in memory, and commit() writes it to a
// createTempBeside file beside the target (a link's final target), syncs it and
// renames it over the target. Anything short of a successful commit removes the
// temporary file and leaves the target as it was; errno then says why.
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

private:
    std::string target_;
    std::string final_; // where the bytes go: target_ with its links followed
    std::string tempPath_;
    std::ostringstream out_;
    int fd_ = -1;
};

} // namespace fb
