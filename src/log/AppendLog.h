#pragma once
#include <cstddef>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

namespace fb {

// "append.log": one fixed-width line for every output an append has written.
class AppendLog {
public:
    explicit AppendLog(std::string path = "append.log");
    ~AppendLog();
    AppendLog(const AppendLog&) = delete;
    AppendLog& operator=(const AppendLog&) = delete;

    bool open(); // for appending, created when missing
    // The system's reason the last open or clear failed.
    const std::string& openError() const { return openError_; }
    bool isOpen() const { return file_ != nullptr; }
    void close();
    // One record for the output, flushed to disk at once; false (errno set)
    // when the log is not open or the record could not be written whole.
    bool writeRecord(const std::string& outputPath, const std::string& sourcePath);
    bool clear(); // reopen empty
    // Where the record's own date and time come from; an empty clock means the system's.
    void setClock(std::function<std::time_t()> clock);
    const std::string& path() const { return path_; }

private:
    // Locks the open log, first opening it again when the name holds another file now.
    bool lockCurrentLog();

    std::string path_;
    std::string openError_;
    std::FILE* file_ = nullptr;
    std::function<std::time_t()> clock_;
};

// The record line: "%-22s\t%-8lld\t%-80s\t%-22s\t%-22s\t%-80s\r\n" of the six values.
// Widths are minimums: a longer value moves the later fields to the right.
constexpr std::size_t kLogFieldWidths[] = {22, 8, 80, 22, 22, 80};
std::string formatLogRecord(const std::string& dateTime, long long size, const std::string& outputPath,
                            const std::string& created, const std::string& modified,
                            const std::string& sourcePath);

} // namespace fb
