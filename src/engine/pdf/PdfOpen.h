#pragma once
#include <memory>
#include <string>

class QPDF;

namespace fb::pdf {

// Opens a PDF for page work, warnings silenced. Throws when the file cannot be
// read or its page tree cannot be walked, so a damaged file fails here and not
// half-way through an insert.
std::shared_ptr<QPDF> openPdf(const std::string& path);

// A new document without pages. Throws on failure.
std::shared_ptr<QPDF> createEmptyPdf();

} // namespace fb::pdf
