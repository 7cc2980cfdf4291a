#include "engine/pdf/PdfOpen.h"

#include "common/Files.h"
#include "engine/pdf/FdInputSource.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

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

std::string unreadablePage(QPDF& pdf, QPDFObjectHandle page, long index)
{
    if (page.isDictionary()) return {};
    std::string said;
    if (page.isIndirect()) {
        // qpdf keeps what it said about the object among its warnings, which
        // reading them takes away: each goes back.
        const std::string object = "object " + page.getObjGen().unparse(' ');
        for (const QPDFExc& warning : pdf.getWarnings()) {
            if (said.empty() && warning.getObject() == object) said = warning.getMessageDetail();
            pdf.warn(warning);
        }
    }
    if (said.empty()) said = "it is " + std::string(page.getTypeName()) + ", not a page";
    return "page " + std::to_string(index + 1) + " of " + pdf.getFilename() + " cannot be read whole: " + said;
}

std::shared_ptr<QPDF> createEmptyPdf()
{
    auto pdf = std::make_shared<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->emptyPDF();
    return pdf;
}

} // namespace fb::pdf
