#pragma once
#include "common/FileLock.h"

#include <qpdf/QPDF.hh>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fb::pdf {

class IncrementalWriter;
class PageCopier;

using fb::FileIdentity;
using fb::identityOf;

// An output as the last row left it: open, with what its incremental writer
// knows, the source documents its copied pages still read from, and where
// their pages went (so a later row of the same source goes on the same copy).
struct OpenOutput {
    OpenOutput();
    ~OpenOutput();
    std::shared_ptr<QPDF> pdf;
    std::unique_ptr<IncrementalWriter> writer;
    std::unique_ptr<PageCopier> copier;
    std::vector<std::shared_ptr<QPDF>> sources;
    long pageCount = 0;
};

// Keeps the output a run saved last, so the next row that appends to it need
// not read and walk it again. It is handed out only while the file is the one
// saved (same identity) and nothing changed the document since.
class OpenOutputCache {
public:
    OpenOutputCache();
    ~OpenOutputCache();

    // Keeps output as the version of path just saved; changeCount is the
    // server's count of document changes at that moment.
    void keep(const std::string& path, std::unique_ptr<OpenOutput> output, long changeCount);

    // The kept output for path, when the file and the document are as they
    // were kept; the cache lets go of it either way.
    std::unique_ptr<OpenOutput> take(const std::string& path, long changeCount);

    void clear();

private:
    std::string path_;
    FileIdentity identity_;
    long changeCount_ = 0;
    std::unique_ptr<OpenOutput> output_;
};

} // namespace fb::pdf
