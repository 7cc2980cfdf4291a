#pragma once
#include <qpdf/InputSource.hh>

#include <string>
#include <vector>

namespace fb::pdf {

// A PDF file read through pread and a small window of its bytes. qpdf's own
// file source asks stdio for the position before nearly every token, and each
// ask is an lseek system call (about 700 for a ten-page file); here the
// position is a number, and a seek inside the window costs nothing.
class FdInputSource : public InputSource {
public:
    // Takes fd, which it closes.
    FdInputSource(std::string name, int fd);
    ~FdInputSource() override;
    FdInputSource(const FdInputSource&) = delete;
    FdInputSource& operator=(const FdInputSource&) = delete;

    qpdf_offset_t findAndSkipNextEOL() override;
    std::string const& getName() const override { return name_; }
    qpdf_offset_t tell() override { return pos_; }
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override { pos_ = 0; }
    size_t read(char* buffer, size_t length) override;
    void unreadCh(char ch) override;

private:
    // Makes the window start at offset; false at the end of the file.
    bool load(qpdf_offset_t offset);
    bool inWindow(qpdf_offset_t offset) const
    {
        return offset >= windowStart_ && offset < windowStart_ + static_cast<qpdf_offset_t>(windowLength_);
    }
    size_t preadAll(char* buffer, size_t length, qpdf_offset_t offset);
    qpdf_offset_t fileSize();

    std::string name_;
    int fd_;
    qpdf_offset_t pos_ = 0;
    std::vector<char> window_;
    qpdf_offset_t windowStart_ = 0;
    size_t windowLength_ = 0;
};

} // namespace fb::pdf
