#include "engine/pdf/PdfSave.h"

#include "common/Files.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <cerrno>
#include <exception>
#include <system_error>

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

bool savePdfAtomically(QPDF& pdf, const std::string& path, const std::string& minimumVersion,
                       std::string* why)
{
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
