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
    try {
        pdf->processInputSource(std::make_shared<FdInputSource>(path, fd));
        (void)pdf->getAllPages();
    } catch (const std::exception& e) {
        // What qpdf noticed before giving up often says more than the last error.
        const std::string noticed = warningsOf(*pdf);
        throw std::runtime_error(noticed.empty() ? std::string(e.what())
                                                 : e.what() + std::string("; ") + noticed);
    }
    return pdf;
}

std::string warningsOf(QPDF& pdf)
{
    // Reading the warnings takes them away: each goes back for the next reader.
    std::string text;
    for (const QPDFExc& warning : pdf.getWarnings()) {
        text += (text.empty() ? "" : "; ") + std::string(warning.what());
        pdf.warn(warning);
    }
    return text;
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
    return "page " + std::to_string(index + 1) + " of " + pdf.getFilename() +
           " cannot be read whole: " + said;
}

std::shared_ptr<QPDF> createEmptyPdf()
{
    auto pdf = std::make_shared<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->emptyPDF();
    return pdf;
}

} // namespace fb::pdf
