#include "engine/pdf/PdfOpen.h"

#include "common/Files.h"
#include "engine/pdf/FdInputSource.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace fb::pdf {

namespace {

// Tearing down a large document (every object disconnected, then freed) can
// take a quarter of a run that copies it. Where the process ends soon after,
// the last document let go is parked instead and freed only when another
// document is made; whatever is parked at exit is left to the system, which
// takes the memory back at once. A document holds nothing unwritten: its
// saves wrote and synced their files before it was let go.
std::atomic<bool> parking{false};

struct Parked {
    std::mutex lock;
    std::vector<QPDF*> docs;
};

// Never destroyed: it must outlive every document, statics included, and
// what it holds at exit is not to be freed.
Parked& parked()
{
    static Parked* const all = new Parked;
    return *all;
}

void letGo(QPDF* pdf)
{
    if (parking.load(std::memory_order_relaxed)) {
        Parked& p = parked();
        std::lock_guard<std::mutex> hold(p.lock);
        p.docs.push_back(pdf);
        return;
    }
    delete pdf;
}

// Before a new document: what is parked is freed, so parking never holds
// more than the documents closed since the last one was made.
void freeParked()
{
    std::vector<QPDF*> docs;
    {
        Parked& p = parked();
        std::lock_guard<std::mutex> hold(p.lock);
        docs.swap(p.docs);
    }
    for (QPDF* pdf : docs)
        delete pdf;
}

std::shared_ptr<QPDF> newPdf()
{
    freeParked();
    return std::shared_ptr<QPDF>(new QPDF, letGo);
}

} // namespace

void leaveLastDocumentsAtExit(bool on)
{
    parking.store(on, std::memory_order_relaxed);
    if (!on) freeParked();
}

std::size_t parkedDocumentCount()
{
    Parked& p = parked();
    std::lock_guard<std::mutex> hold(p.lock);
    return p.docs.size();
}

std::shared_ptr<QPDF> openPdf(const std::string& path)
{
    auto pdf = newPdf();
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
    auto pdf = newPdf();
    pdf->setSuppressWarnings(true);
    pdf->emptyPDF();
    return pdf;
}

} // namespace fb::pdf
