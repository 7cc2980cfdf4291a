#include "engine/RunFiles.h"

#include "common/Files.h"
#include "log/AppendLog.h"

namespace fb {

bool RunFiles::canOpenForReading(const std::string& path)
{
    return fb::canOpenForReading(path);
}
int RunFiles::openError(const std::string& path)
{
    return openForReadingError(path);
}

bool RunFiles::isRegularFile(const std::string& path)
{
    return fb::isRegularFile(path);
}
bool RunFiles::isReadableRegularFile(const std::string& path)
{
    return fb::isReadableRegularFile(path);
}
bool RunFiles::pathExists(const std::string& path)
{
    return fb::pathExists(path);
}
bool RunFiles::sameFile(const std::string& a, const std::string& b)
{
    return fb::sameFile(a, b);
}
bool RunFiles::sameContent(const std::string& a, const std::string& b)
{
    return fb::sameContent(a, b);
}

bool RunFiles::canReplace(const std::string& path)
{
    if (!fb::isRegularFile(path)) return false;
    std::string folder = folderPartWithSlash(path);
    if (folder.empty())
        folder = ".";
    else if (folder.size() > 1)
        folder.pop_back();
    return ::access(folder.c_str(), W_OK) == 0;
}

bool RunFiles::createFolderOneLevel(const std::string& path)
{
    return fb::createFolderOneLevel(path);
}
bool RunFiles::copyFileReplacing(const std::string& from, const std::string& to)
{
    return fb::copyFileReplacing(from, to);
}
bool RunFiles::copyFileNoReplace(const std::string& from, const std::string& to)
{
    return fb::copyFileNoReplace(from, to);
}
bool RunFiles::removeFile(const std::string& path)
{
    return fb::removeFile(path);
}
FileLock RunFiles::lockOutput(const std::string& path, const LockWait& wait)
{
    return FileLock::acquire(path, wait);
}
bool RunFiles::openLog(AppendLog& log)
{
    return log.open();
}
bool RunFiles::writableOrAbsent(const std::string& path)
{
    return fb::writableOrAbsent(path);
}

bool RunFiles::writeLogRecord(AppendLog& log, const std::string& output, const std::string& source)
{
    return log.writeRecord(output, source);
}

RunFiles& realRunFiles()
{
    static RunFiles files;
    return files;
}

} // namespace fb
