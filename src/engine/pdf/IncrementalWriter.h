#pragma once
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fb::pdf {

// Saves a document opened from a file as an update appended to that file:
// the new objects and the changed ones, a cross-reference section whose /Prev
// points at the file's last one, and a new trailer. The file is never
// changed in place: the old bytes are copied (in the kernel) into a new file
// beside it, the update added, the new file synced and renamed over the old,
// so a reader or a kill at any moment sees the old version or the new one.
//
// Changes are found without a walk of the document: every object numbered
// above the file's highest is new; of the old objects, those the caller
// names (the page-tree edge) and a watched set near the catalog (the catalog,
// the document information, what the catalog refers to, the outline's root
// and last item, form and page-label dictionaries) are compared with how they
// read when the file was last written. Callers that change any other old
// object must save in full instead.
class IncrementalWriter {
public:
    // Null when the file cannot take an update written this way: encrypted,
    // linearized, or with object or cross-reference streams.
    static std::unique_ptr<IncrementalWriter> forFile(QPDF& pdf, const std::string& path);

    // Appends the update for pdf to path, which must still be the file this
    // writer was made for. False on failure, with the file untouched.
    bool save(QPDF& pdf, const std::string& path, const std::vector<QPDFObjectHandle>& touched);

    int savesSinceFullWrite() const { return saves_; }

private:
    IncrementalWriter() = default;
    void snapshot(QPDF& pdf);
    std::string updateFor(QPDF& pdf, const std::vector<QPDFObjectHandle>& touched, int& maxId,
                          long long& xrefOffset) const;

    long long baseSize_ = 0;
    long long lastXref_ = 0;
    int maxId_ = 0;
    bool endsWithNewline_ = true;
    int saves_ = 0;
    std::map<QPDFObjGen, std::string> watched_;
};

} // namespace fb::pdf
