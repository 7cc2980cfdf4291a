#pragma once
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fb::pdf {

// Saves a document opened from a file as an update appended to that file:
// the new objects and the changed ones, a cross-reference section whose /Prev
// points at the file's last one, and a new trailer. The file is never
// changed in place: a new file beside it gets the old bytes and the update,
// is synced and renamed over the old, so a reader or a kill at any moment sees
// the old version or the new one.
//
// Copying the old bytes every time would make each row cost as much as the
// whole file, so the version a rename replaces is kept under a hidden name
// (a shadow), one update behind. The next save appends the update it lacks and
// the new one to it and renames it over the output; the output it replaces
// becomes the next shadow. Only the first save, or one after anything touched
// the shadow, copies the whole file. The shadow is removed with the writer.
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
    ~IncrementalWriter();
    IncrementalWriter(const IncrementalWriter&) = delete;
    IncrementalWriter& operator=(const IncrementalWriter&) = delete;

    // Appends the update for pdf to path, which must still be the file this
    // writer was made for (a symbolic link's final target takes the update).
    // False on failure, with the file untouched and, when why is given, the
    // reason in it.
    bool save(QPDF& pdf, const std::string& path, const std::vector<QPDFObjectHandle>& touched,
              std::string* why = nullptr);

    int savesSinceFullWrite() const { return saves_; }
    // For a file this program last left with that many updates since its full write.
    void continueChain(int saves) { saves_ = saves; }

private:
    IncrementalWriter() = default;
    void snapshot(QPDF& pdf);
    std::string updateFor(QPDF& pdf, const std::vector<QPDFObjectHandle>& touched, int& maxId,
                          long long& xrefOffset) const;

    struct Shadow {
        int fd = -1;
        std::string path;
        long long size = 0;  // its length when it was last the output
        std::string missing; // the update it lacks to be the output again
    };
    bool saveThroughShadow(const std::string& path, const std::string& update, mode_t mode, std::string& why);
    bool saveThroughCopy(int base, const std::string& path, const std::string& update, std::string& why);
    void keepAsShadow(const std::string& name, const std::string& missing);
    void dropShadow();

    Shadow shadow_;
    long long baseSize_ = 0;
    long long lastXref_ = 0;
    int maxId_ = 0;
    bool endsWithNewline_ = true;
    int saves_ = 0;
    std::map<QPDFObjGen, std::string> watched_;
};

} // namespace fb::pdf
