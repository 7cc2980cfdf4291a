#pragma once
#include "common/Text.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fb {

// Reads the lines of a text file, never holding more than one line's worth of
// it: a line longer than the limit is reported as too long, its first `limit`
// characters kept and the rest skipped unread into memory. CR CR LF, CR LF, LF
// and a lone CR all end a line; a UTF-8 byte-order mark at the start of the
// text is skipped. Only regular files are opened (see
// openRegularForReading), so a FIFO, device or folder is refused at once.
class LineReader {
public:
    enum class Result { Line, TooLong, End };

    explicit LineReader(const std::string& path);
    // Reads the text itself; for tests and fuzzing.
    static LineReader fromText(std::string_view text);
    ~LineReader();
    LineReader(LineReader&&) noexcept;
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    LineReader& operator=(LineReader&&) = delete;

    bool isOpen() const { return open_; }
    Result next(std::string& line, std::size_t limit = kMaxTextLength);
    // A read failed part way (the lines before it were still given).
    bool failed() const { return failed_; }

    // The source interface the shared line-splitting code reads through.
    int get();
    int peek();
    void skipToLineEnd();

private:
    LineReader() = default;
    bool fill();

    int fd_ = -1;
    bool open_ = false;
    bool failed_ = false;
    bool atEnd_ = false;
    bool started_ = false;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

} // namespace fb
