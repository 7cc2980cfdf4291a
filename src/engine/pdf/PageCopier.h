#pragma once
#include "engine/pdf/CopySet.h"
#include "engine/pdf/Outline.h"
#include "engine/pdf/PageLabels.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace fb::pdf {

class PageTreeAppender;

// How pages that go after the output's last page are added: through the
// appender (the output's page tree is not walked, qpdf's list of pages is not
// told). formMerged is set when the output's form had to take fields, which
// reads and changes more than an appender follows.
struct AppendState {
    PageTreeAppender* appender = nullptr;
    bool formMerged = false;
};

// Copies pages into one output document. It remembers, for every open source
// it took pages from, where each of them went (a CopySet), so that a source
// copied in several runs ends up as if copied at once.
class PageCopier {
public:
    explicit PageCopier(QPDF& out) : out_(out), outline_(out), labels_(out) {}

    // Copies count pages of source, from the 0-based firstPage, after the
    // output's 0-based page insertAfter (-1: before the first), with their
    // annotations, form fields and page labels; links are pointed at the
    // copies, and with bookmarks the source's outline items come along. False
    // when the range does not fit either document. May throw on damaged input.
    bool copy(const std::shared_ptr<SourceIndex>& source, long insertAfter, long firstPage, long count,
              bool bookmarks, AppendState* append = nullptr);

    OutlineWriter& outline() { return outline_; }

    // Objects made before the last save that copies since have changed
    // (links given their target, bookmarks given kids), for an update.
    std::vector<QPDFObjectHandle> touched() const;

    // Before a save: the bookmarks still waiting for an ancestor go in.
    void finishOutlines();
    void clearTouched();

    // The highest version of the sources copied from ("" when none is higher
    // than the output's own): what the output is at least to be saved as.
    const std::string& minimumVersion() const { return minimumVersion_; }
    // Names minimumVersion() as the catalog's /Version when the catalog names
    // none or a lower one. Readers take the later of it and the header's, and
    // unlike the header an update can change it.
    void raiseCatalogVersion();

private:
    CopySet& copySetFor(const std::shared_ptr<SourceIndex>& source, long firstPage, long count);

    QPDF& out_;
    OutlineWriter outline_;
    PageLabelWriter labels_;
    std::map<const SourceIndex*, CopySet> sets_;
    std::vector<QPDFObjectHandle> touchedLinks_;
    // The output's form, read once: each new reading walks every field and
    // page, which made each run cost as much as the whole document.
    std::optional<QPDFAcroFormDocumentHelper> form_;
    std::string minimumVersion_;
};

} // namespace fb::pdf
