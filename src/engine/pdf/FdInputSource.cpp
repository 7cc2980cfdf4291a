#include "engine/pdf/FdInputSource.h"

#include <qpdf/QPDFExc.hh>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace fb::pdf {

namespace {
// Big enough for the objects and cross-reference lines near one another,
// small enough that two hundred sources held open cost little.
constexpr size_t kWindow = 16 * 1024;
} // namespace

FdInputSource::FdInputSource(std::string name, int fd) : name_(std::move(name)), fd_(fd) {}

FdInputSource::~FdInputSource()
{
    if (fd_ >= 0) ::close(fd_);
}

qpdf_offset_t FdInputSource::fileSize()
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        throw QPDFExc(qpdf_e_system, name_, "", pos_, std::string("stat: ") + std::strerror(errno));
    return st.st_size;
}

void FdInputSource::seek(qpdf_offset_t offset, int whence)
{
    qpdf_offset_t to = offset;
    if (whence == SEEK_CUR)
        to = pos_ + offset;
    else if (whence == SEEK_END)
        to = fileSize() + offset;
    if (to < 0) throw QPDFExc(qpdf_e_system, name_, "", pos_, "seek to offset " + std::to_string(to));
    pos_ = to;
}

void FdInputSource::unreadCh(char)
{
    if (pos_ > 0) --pos_;
}

size_t FdInputSource::preadAll(char* buffer, size_t length, qpdf_offset_t offset)
{
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd_, buffer + done, length - done, offset + static_cast<qpdf_offset_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            throw QPDFExc(qpdf_e_system, name_, "", offset, std::string("read: ") + std::strerror(errno));
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool FdInputSource::load(qpdf_offset_t offset)
{
    if (window_.empty()) window_.resize(kWindow);
    windowStart_ = offset;
    windowLength_ = preadAll(window_.data(), window_.size(), offset);
    return windowLength_ > 0;
}

size_t FdInputSource::read(char* buffer, size_t length)
{
    last_offset = pos_;
    size_t done = 0;
    while (done < length) {
        if (!inWindow(pos_)) {
            // Stream data and other long reads go straight to the caller.
            if (length - done >= kWindow) {
                size_t n = preadAll(buffer + done, length - done, pos_);
                done += n;
                pos_ += static_cast<qpdf_offset_t>(n);
                break;
            }
            if (!load(pos_)) break;
        }
        const size_t at = static_cast<size_t>(pos_ - windowStart_);
        const size_t n = std::min(length - done, windowLength_ - at);
        std::memcpy(buffer + done, window_.data() + at, n);
        done += n;
        pos_ += static_cast<qpdf_offset_t>(n);
    }
    if (done == 0 && length > 0) {
        // As stdio leaves it: a read at the end puts the position at the end.
        pos_ = fileSize();
        last_offset = pos_;
    }
    return done;
}

qpdf_offset_t FdInputSource::findAndSkipNextEOL()
{
    // The offset of the next CR or LF; the position ends after the run of
    // CRs and LFs that starts there.
    qpdf_offset_t found = -1;
    while (found < 0) {
        if (!inWindow(pos_) && !load(pos_)) {
            pos_ = fileSize();
            last_offset = pos_;
            return pos_;
        }
        const size_t at = static_cast<size_t>(pos_ - windowStart_);
        const char* begin = window_.data() + at;
        const char* end = window_.data() + windowLength_;
        const char* p = begin;
        while (p != end && *p != '\r' && *p != '\n')
            ++p;
        pos_ += p - begin;
        if (p != end) found = pos_;
    }
    while (inWindow(pos_) || load(pos_)) {
        const char c = window_[static_cast<size_t>(pos_ - windowStart_)];
        if (c != '\r' && c != '\n') break;
        ++pos_;
    }
    last_offset = pos_;
    return found;
}

} // namespace fb::pdf
