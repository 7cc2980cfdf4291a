#include "engine/pdf/PdfSave.h"

#include "common/FileLock.h"
#include "common/Files.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fb::pdf {

// The one place where an output is replaced: a temporary file beside it,
// filled by fill, synced, given the old file's mode and renamed over it; the
// folder is synced after the rename so the new name survives a crash.
bool replaceFile(const std::string& path, const std::function<bool(int fd)>& fill)
{
    if (isDirectory(path)) return false;
    const mode_t mode = modeForReplacement(path, 0666);
    // Named after this process, so a later save can tell a dead run's litter
    // from a live run's file and remove it.
    std::string temp;
    int fd = createTempBeside(path, temp);
    if (fd < 0) return false;
    bool ok = false;
    try {
        ok = fill(fd) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    } catch (...) {
        ok = false;
    }
    if (close(fd) != 0) ok = false;
    // Not over a version other than the one a lock holder of this process read.
    if (ok && !renameIntoPlace(temp, path)) ok = false;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    syncFolderOf(path);
    return true;
}

namespace {

bool writeAndRename(QPDF& pdf, const std::string& path, const std::string& minimumVersion)
{
    return replaceFile(path, [&](int fd) {
        int own = dup(fd);
        if (own < 0) return false;
        FILE* file = fdopen(own, "wb");
        if (!file) {
            close(own);
            return false;
        }
        bool ok = false;
        try {
            QPDFWriter writer(pdf);
            writer.setOutputFile(path.c_str(), file, false);
            if (!minimumVersion.empty()) writer.setMinimumPDFVersion(minimumVersion);
            writer.write();
            ok = std::fflush(file) == 0;
        } catch (...) {
            ok = false;
        }
        if (std::fclose(file) != 0) ok = false;
        return ok;
    });
}

} // namespace

bool savePdfAtomically(QPDF& pdf, const std::string& path, const std::string& minimumVersion)
{
    if (path.empty()) return false;
    try {
        return writeAndRename(pdf, path, minimumVersion);
    } catch (...) {
        return false;
    }
}

} // namespace fb::pdf
