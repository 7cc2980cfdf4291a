#pragma once
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fb::pdf {

// Hostile files can nest or loop outlines; these bound every walk.
constexpr int kMaxOutlineDepth = 64;
constexpr std::size_t kMaxOutlineItems = 200000;

// The children of an outline node in /First../Next order, stopping at a loop
// (an item already in seen) or at kMaxOutlineItems.
std::vector<QPDFObjectHandle> outlineChildren(QPDFObjectHandle parent, std::set<QPDFObjGen>& seen);

// The first item, depth first, whose title is title; uninitialized when none.
QPDFObjectHandle findOutlineItem(QPDF& pdf, const std::string& title);

// Adds outline items to one document. Items go after the existing children of
// the top level or of an item this writer made; the /Count of every open
// ancestor (and the negative /Count of a closed one) is kept right as they
// go in, without walking the rest of the outline again.
class OutlineWriter {
public:
    explicit OutlineWriter(QPDF& pdf) : pdf_(pdf) {}

    // Links node (an indirect dictionary holding the item's own keys) as the
    // last child of parent, an item made by this writer, or of the top level
    // when parent is uninitialized. closed: the item shows its kids folded.
    void append(QPDFObjectHandle parent, QPDFObjectHandle node, bool closed);

    // A top-level item titled title that shows page.
    QPDFObjectHandle addPageBookmark(QPDFObjectHandle page, const std::string& title);

    // Items this writer changed (besides making them), since the last clear:
    // a document saved as an update must carry the ones written before.
    void changed(QPDFObjectHandle item);
    const std::vector<QPDFObjectHandle>& touched() const { return touched_; }
    void clearTouched();

private:
    struct Made {
        QPDFObjectHandle parent; // uninitialized: top level
        bool closed = false;
        QPDFObjectHandle last;
        long long count = 0;     // items below that show when this one is open
        unsigned generation = 0; // the clearTouched count when it was made
    };
    void loadRoot();

    QPDF& pdf_;
    QPDFObjectHandle root_;
    QPDFObjectHandle rootLast_;
    long long rootCount_ = 0;
    std::map<QPDFObjGen, Made> made_;
    std::vector<QPDFObjectHandle> touched_;
    std::set<QPDFObjGen> touchedIds_;
    unsigned generation_ = 0;
};

} // namespace fb::pdf
