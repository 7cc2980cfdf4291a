#pragma once
#include <qpdf/QPDFObjectHandle.hh>

#include <cstddef>
#include <memory>
#include <string>

class QPDF;

namespace fb::pdf {

// Opens a PDF for page work, warnings silenced. Throws when the file cannot be
// read or its page tree cannot be walked, so a damaged file fails here and not
// half-way through an insert.
std::shared_ptr<QPDF> openPdf(const std::string& path);

// What qpdf said about a damaged file while reading it (kept, not printed),
// on one line; empty when it said nothing.
std::string warningsOf(QPDF& pdf);

// A new document without pages. Throws on failure.
std::shared_ptr<QPDF> createEmptyPdf();

// For a process that ends when its run does: documents let go are not freed
// until the next one is made, so the last ones cost nothing to close (the
// system takes their memory back at exit). Off frees what is parked.
void leaveLastDocumentsAtExit(bool on);
// How many documents let go are waiting to be freed.
std::size_t parkedDocumentCount();

// "" for a page of pdf that is a page dictionary. For one qpdf could not read
// whole (it reads, for example, an array nested deeper than its limit as null)
// the reason: "page 3 of a.pdf cannot be read whole: " and what qpdf said.
// index is the page's 0-based position.
std::string unreadablePage(QPDF& pdf, QPDFObjectHandle page, long index);

} // namespace fb::pdf
