#include "common/LineReader.h"

#include "common/Files.h"

#include <cerrno>
#include <cstring>
#include <istream>

#include <unistd.h>

namespace fb {

namespace {

constexpr int kEnd = -1;
constexpr std::size_t kBufferSize = 1 << 16;

// The one line-splitting rule for every text file the program reads: a run of
// CRs, with or without an LF after it, or a lone LF ends a line; characters
// past the limit are skipped, not kept.
template <class Source> LineReader::Result readLine(Source& src, std::string& line, std::size_t limit)
{
    line.clear();
    bool any = false;
    bool tooLong = false;
    for (;;) {
        const int c = src.get();
        if (c == kEnd) break;
        any = true;
        if (c == '\n') break;
        if (c == '\r') {
            while (src.peek() == '\r')
                src.get();
            if (src.peek() == '\n') src.get();
            break;
        }
        if (line.size() < limit) {
            line.push_back(static_cast<char>(c));
        } else {
            tooLong = true;
            src.skipToLineEnd();
        }
    }
    if (!any) return LineReader::Result::End;
    return tooLong ? LineReader::Result::TooLong : LineReader::Result::Line;
}

// readTextLine's source: a stream buffer, read a character at a time so the
// stream is left just after the line.
struct StreamSource {
    std::streambuf* buf;
    int get()
    {
        const auto c = buf->sbumpc();
        return c == std::char_traits<char>::eof() ? kEnd : static_cast<unsigned char>(c);
    }
    int peek()
    {
        const auto c = buf->sgetc();
        return c == std::char_traits<char>::eof() ? kEnd : static_cast<unsigned char>(c);
    }
    void skipToLineEnd()
    {
        for (int c = peek(); c != kEnd && c != '\r' && c != '\n'; c = peek())
            buf->sbumpc();
    }
};

} // namespace

bool readTextLine(std::istream& in, std::string& line)
{
    line.clear();
    std::streambuf* buf = in.rdbuf();
    if (!buf || !in.good()) {
        in.setstate(std::ios::failbit | std::ios::eofbit);
        return false;
    }
    StreamSource src{buf};
    if (readLine(src, line, kMaxTextLength) == LineReader::Result::End) {
        in.setstate(std::ios::failbit | std::ios::eofbit);
        return false;
    }
    return true;
}

LineReader::LineReader(const std::string& path)
{
    fd_ = openRegularForReading(path);
    open_ = fd_ >= 0;
    if (open_) buffer_.resize(kBufferSize);
}

LineReader LineReader::fromText(std::string_view text)
{
    LineReader r;
    r.open_ = true;
    r.atEnd_ = true; // nothing to fill from: the buffer is the whole text
    r.buffer_.assign(text.begin(), text.end());
    r.end_ = r.buffer_.size();
    return r;
}

LineReader::LineReader(LineReader&& other) noexcept
    : fd_(other.fd_), open_(other.open_), failed_(other.failed_), atEnd_(other.atEnd_),
      started_(other.started_), buffer_(std::move(other.buffer_)), pos_(other.pos_), end_(other.end_)
{
    other.fd_ = -1;
    other.open_ = false;
}

LineReader::~LineReader()
{
    if (fd_ >= 0) ::close(fd_);
}

bool LineReader::fill()
{
    if (pos_ < end_) return true;
    if (atEnd_ || fd_ < 0) return false;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed_ = true;
        if (n <= 0) {
            atEnd_ = true;
            return false;
        }
        pos_ = 0;
        end_ = static_cast<std::size_t>(n);
        return true;
    }
}

int LineReader::get()
{
    if (!fill()) return kEnd;
    return static_cast<unsigned char>(buffer_[pos_++]);
}

int LineReader::peek()
{
    if (!fill()) return kEnd;
    return static_cast<unsigned char>(buffer_[pos_]);
}

void LineReader::skipToLineEnd()
{
    while (fill()) {
        const char* from = buffer_.data() + pos_;
        const std::size_t n = end_ - pos_;
        const void* lf = std::memchr(from, '\n', n);
        const void* cr = std::memchr(from, '\r', n);
        const char* stop = nullptr;
        if (lf && cr)
            stop = static_cast<const char*>(lf < cr ? lf : cr);
        else
            stop = static_cast<const char*>(lf ? lf : cr);
        if (stop) {
            pos_ = static_cast<std::size_t>(stop - buffer_.data());
            return;
        }
        pos_ = end_;
    }
}

LineReader::Result LineReader::next(std::string& line, std::size_t limit)
{
    if (!open_) {
        line.clear();
        return Result::End;
    }
    if (!started_) {
        started_ = true;
        // A UTF-8 byte-order mark, as some editors write one, is no part of the first line.
        static const char kBom[] = "\xEF\xBB\xBF";
        if (fill() && end_ - pos_ >= 3 && std::memcmp(buffer_.data() + pos_, kBom, 3) == 0) pos_ += 3;
    }
    return readLine(*this, line, limit);
}

} // namespace fb
