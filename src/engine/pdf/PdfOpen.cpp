#include "engine/pdf/PdfOpen.h"

#include "common/Files.h"
#include "engine/pdf/FdInputSource.h"

#include <qpdf/QPDF.hh>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace fb::pdf {

std::shared_ptr<QPDF> openPdf(const std::string& path)
{
    auto pdf = std::make_shared<QPDF>();
    pdf->setSuppressWarnings(true);
    // Only a regular file, opened without blocking: a FIFO or device given as
    // a PDF would otherwise hang the open for ever.
    const int fd = openRegularForReading(path);
    if (fd < 0) throw std::runtime_error(path + ": " + std::strerror(errno));
    pdf->processInputSource(std::make_shared<FdInputSource>(path, fd));
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
