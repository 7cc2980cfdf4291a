#include "engine/pdf/PdfOpen.h"

#include "common/Files.h"

#include <qpdf/QPDF.hh>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <unistd.h>

namespace fb::pdf {

std::shared_ptr<QPDF> openPdf(const std::string& path)
{
    auto pdf = std::make_shared<QPDF>();
    pdf->setSuppressWarnings(true);
    // Only a regular file, opened without blocking: a FIFO or device given as
    // a PDF would otherwise hang the open for ever.
    const int fd = openRegularForReading(path);
    if (fd < 0) throw std::runtime_error(path + ": " + std::strerror(errno));
    FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        throw std::runtime_error(path + ": cannot be read");
    }
    pdf->processFile(path.c_str(), file, true);
    (void)pdf->getAllPages();
    return pdf;
}

std::shared_ptr<QPDF> createEmptyPdf()
{
    auto pdf = std::make_shared<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->emptyPDF();
    return pdf;
}

} // namespace fb::pdf
