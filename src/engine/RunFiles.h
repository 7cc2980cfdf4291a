#pragma once
#include "common/FileLock.h"

#include <string>

namespace fb {

class AppendLog;

// Every question the append run asks of the file system, and every change it
// makes there outside the page work. The run goes through this so that a plan
// of a job can walk the very same steps against a pretend file system.
class RunFiles {
public:
    virtual ~RunFiles() = default;
    virtual bool canOpenForReading(const std::string& path);
    virtual bool isRegularFile(const std::string& path);
    virtual bool isReadableRegularFile(const std::string& path);
    virtual bool pathExists(const std::string& path);
    virtual bool sameFile(const std::string& a, const std::string& b);
    virtual bool sameContent(const std::string& a, const std::string& b);
    // A plain file in a folder we may write to, so a save can replace it.
    virtual bool canReplace(const std::string& path);
    virtual bool createFolderOneLevel(const std::string& path);
    virtual bool copyFileReplacing(const std::string& from, const std::string& to);
    virtual bool copyFileNoReplace(const std::string& from, const std::string& to);
    virtual bool removeFile(const std::string& path);
    // The lock a row holds on its output from reading it to its log record.
    virtual FileLock lockOutput(const std::string& path, const LockWait& wait);
    virtual bool openLog(AppendLog& log);
    virtual bool writeLogRecord(AppendLog& log, const std::string& output, const std::string& source);
};

// The real file system.
RunFiles& realRunFiles();

} // namespace fb
