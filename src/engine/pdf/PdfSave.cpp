#include "engine/pdf/PdfSave.h"

#include "common/FileLock.h"
#include "common/Files.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <system_error>
#include <unistd.h>

namespace fb::pdf {

namespace {

// The end of qpdf's output pipeline: a buffer written straight to the
// descriptor. A stdio stream would keep a failed write in its error flag,
// where a later flush reports success; here the first failed write throws
// with the system's reason. finish() never throws: qpdf calls it from
// destructors, also while that exception unwinds; close() reports instead.
class FdPipeline : public Pipeline {
public:
    explicit FdPipeline(int fd) : Pipeline("output file", nullptr), fd_(fd) { buffer_.reserve(kSize); }

    void write(unsigned char const* data, size_t len) override
    {
        if (error_) throw std::system_error(error_, std::generic_category());
        buffer_.append(reinterpret_cast<const char*>(data), len);
        if (buffer_.size() >= kSize && !put()) throw std::system_error(error_, std::generic_category());
    }

    void finish() override { (void)put(); }

    // Everything written, or the reason it was not.
    void close()
    {
        if (!put()) throw std::system_error(error_, std::generic_category());
    }

private:
    static constexpr std::size_t kSize = 1 << 16;

    bool put()
    {
        if (error_) return false;
        if (!writeAll(fd_, buffer_.data(), buffer_.size())) error_ = errno ? errno : EIO;
        buffer_.clear();
        return error_ == 0;
    }

    int fd_;
    int error_ = 0;
    std::string buffer_;
};

} // namespace

// The one place where an output is replaced: a temporary file beside it,
// filled by fill, synced, given the old file's owner and mode and renamed over
// it; the folder is synced after the rename so the new name survives a crash.
bool replaceFile(const std::string& path, const std::function<bool(int fd)>& fill, std::string* why)
{
    std::string reason;
    auto fail = [&](int error) {
        if (reason.empty()) reason = reasonText(error);
        if (why) *why = reason;
        return false;
    };
    // A link stays a link: the new version replaces the file it points at.
    const std::string target = finalTarget(path);
    if (target.empty()) return fail(errno);
    if (isDirectory(target)) return fail(EISDIR);
    if (!writableOrAbsent(target)) return fail(errno);
    // Named after this process, so a later save can tell a dead run's litter
    // from a live run's file and remove it.
    std::string temp;
    const int fd = createTempBeside(target, temp);
    if (fd < 0) return fail(errno);
    bool ok = false;
    int error = 0;
    try {
        errno = 0;
        ok = fill(fd);
        error = errno;
    } catch (const std::exception& e) {
        reason = e.what();
    }
    if (!ok && reason.empty()) reason = error ? reasonText(error) : "the file could not be written";
    if (ok && !(takeOwnerAndMode(fd, target, 0666) && fsync(fd) == 0)) {
        ok = false;
        error = errno;
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    // Not over a version other than the one a lock holder of this process read.
    if (ok && !renameIntoPlace(temp, target)) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        return fail(error);
    }
    syncFolderOf(target);
    return true;
}

bool savePdfAtomically(QPDF& pdf, const std::string& path, const std::string& minimumVersion,
                       std::string* why)
{
    if (path.empty()) {
        if (why) *why = reasonText(ENOENT);
        return false;
    }
    try {
        return replaceFile(
            path,
            [&](int fd) {
                FdPipeline out(fd);
                QPDFWriter writer(pdf);
                writer.setOutputPipeline(&out);
                if (!minimumVersion.empty()) writer.setMinimumPDFVersion(minimumVersion);
                writer.write();
                out.close();
                return true;
            },
            why);
    } catch (const std::exception& e) {
        if (why) *why = e.what();
        return false;
    }
}

} // namespace fb::pdf
