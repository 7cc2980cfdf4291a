#pragma once
#include <fstream>
#include <ostream>
#include <string>

namespace fb {

// fopen "rb" succeeds and the path is not a directory.
bool canOpenForReading(const std::string& path);
bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path); // follows symbolic links
bool pathExists(const std::string& path);
bool removeFile(const std::string& path);

// mkdir of one level; an existing folder counts as success.
bool createFolderOneLevel(const std::string& path);

// Copies through a temporary file in the target's folder renamed over the
// target, so a failed copy never leaves a half-written or missing target.
bool copyFileReplacing(const std::string& from, const std::string& to);

// Plain file name with extension: "/x/a.pdf" -> "a.pdf".
std::string fileTitle(const std::string& path);
// Everything up to and including the last '/', "" when there is none.
std::string folderPartWithSlash(const std::string& path);

// Same inode when both exist, else the same normalized absolute path.
bool sameFile(const std::string& a, const std::string& b);

// Writes a file so that readers see either the old content or the complete new
// one: the text goes to ".<name>.XXXXXX" beside the target and commit() flushes,
// fsyncs and renames it over the target. Anything short of a successful commit
// removes the temporary file and leaves the target as it was.
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
    std::string tempPath_;
    std::ofstream out_;
    int fd_ = -1;
};

} // namespace fb
