#pragma once
#include "engine/pdf/NamedDestinations.h"
#include "engine/pdf/PageLabels.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace fb::pdf {

// One outline item of a source, read once.
struct SourceOutlineItem {
    QPDFObjectHandle item;
    std::vector<int> kids;     // indexes into SourceOutline::items
    long page = -1;            // 0-based source page the item jumps to; -1 none
    bool jumpsLocally = false; // /Dest or /GoTo, resolved or not
};

struct SourceOutline {
    std::vector<SourceOutlineItem> items;
    std::vector<int> top;
};

// What copying pages out of one open document needs, built once per document
// and shared by every run and every output that takes pages from it: its
// pages and their positions, named destinations, outline and page labels.
class SourceIndex {
public:
    explicit SourceIndex(std::shared_ptr<QPDF> pdf);

    QPDF& pdf() { return *pdf_; }
    const std::vector<QPDFObjectHandle>& pages() const { return pages_; }
    // The 0-based position of a page object of this document, or -1.
    long pageIndex(QPDFObjectHandle page) const;

    // The explicit destination an item or link jumps to (named ones resolved), or null.
    QPDFObjectHandle explicitDest(QPDFObjectHandle item);
    // The 0-based page a destination array points at, or -1.
    long destPageIndex(QPDFObjectHandle dest) const;

    const SourceOutline& outline();
    const PageLabelRanges& labels();
    // Its form, read once for every run that copies fields out of it.
    QPDFAcroFormDocumentHelper& form();
    std::string version() const { return version_; }

private:
    std::shared_ptr<QPDF> pdf_;
    std::vector<QPDFObjectHandle> pages_;
    std::map<QPDFObjGen, long> pageIndex_;
    std::string version_;
    std::optional<NamedDestinations> names_;
    std::optional<SourceOutline> outline_;
    std::optional<PageLabelRanges> labels_;
    std::optional<QPDFAcroFormDocumentHelper> form_;
};

} // namespace fb::pdf
