#include "engine/pdf/PdfOpen.h"

#include <qpdf/QPDF.hh>

namespace fb::pdf {

std::shared_ptr<QPDF> openPdf(const std::string& path)
{
    auto pdf = std::make_shared<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->processFile(path.c_str());
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
