#pragma once
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <vector>

namespace fb::pdf {

// One range of a /PageLabels number tree: from the 0-based page start on,
// pages are labelled by dict (/S style, /P prefix, /St first number).
struct LabelRange {
    long long start = 0;
    QPDFObjectHandle dict;
};
using PageLabelRanges = std::vector<LabelRange>;

// The document's page label ranges in page order; empty when it has none.
// Damaged or looping trees are read as far as they go.
PageLabelRanges readPageLabels(QPDF& pdf);

// The label dictionary of the 0-based page index, its /St moved on to that
// page; pages no range covers are numbered in decimal from 1.
QPDFObjectHandle labelForPage(const PageLabelRanges& ranges, long long index);

// Keeps an output's /PageLabels right as pages go in: pages already there
// keep the labels they show, inserted pages bring the labels they had in
// their source. Leaves documents without labels alone until labelled pages
// arrive.
class PageLabelWriter {
public:
    explicit PageLabelWriter(QPDF& out) : out_(out) {}

    // count pages were inserted at output position; oldCount is the page count
    // before. The source pages were first..first+count-1 of a document with
    // the given ranges.
    void inserted(long long position, long long count, long long oldCount, const PageLabelRanges& source,
                  long long first);

private:
    void write();

    QPDF& out_;
    bool loaded_ = false;
    PageLabelRanges ranges_;
    QPDFObjectHandle labels_; // the output's /PageLabels, once this writer made it
};

} // namespace fb::pdf
