#pragma once
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <vector>

namespace fb::pdf {

// Adds pages at the end of a document's page tree without walking it: each
// page goes into the rightmost node, and a full node gets a new sibling, so a
// tree of bounded nodes grows by touching only its right edge and the /Count
// values on it. qpdf's own page list is not told (it would rebuild itself
// from the whole tree); callers count and find pages through this class.
class PageTreeAppender {
public:
    static constexpr int kMaxKids = 32;

    explicit PageTreeAppender(QPDF& pdf) : pdf_(pdf) {}

    // The /Count of the root; the number of pages of a well-formed tree.
    long count() const;

    // Appends page, an indirect page dictionary that belongs to the document
    // and is not in the tree yet.
    void append(QPDFObjectHandle page);

    // The 0-based page, found by the /Count values; uninitialized when none.
    QPDFObjectHandle pageAt(long index) const;

    // The nodes and pages whose dictionaries changed, since the last clear.
    const std::vector<QPDFObjectHandle>& touched() const { return touched_; }
    void clearTouched() { touched_.clear(); }

private:
    QPDFObjectHandle root() const;
    QPDFObjectHandle newNode(QPDFObjectHandle parent);

    QPDF& pdf_;
    std::vector<QPDFObjectHandle> touched_;
};

} // namespace fb::pdf
