#pragma once
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstddef>
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

// The document's /Outlines dictionary, made when missing.
QPDFObjectHandle ensureOutlineRoot(QPDF& pdf);

// Recomputes /Last and /Count of the top level after items were appended.
void refreshOutlineRoot(QPDFObjectHandle outlines);

// An outline item still to be written.
struct NewOutlineItem {
    std::string title;
    QPDFObjectHandle dest;
    QPDFObjectHandle color;
    QPDFObjectHandle flags;
    std::vector<NewOutlineItem> kids;
};

// Links the items under parent, after its existing children; returns the
// number of items written (all open).
int appendOutlineItems(QPDF& pdf, QPDFObjectHandle parent, const std::vector<NewOutlineItem>& items);

// Adds a top-level bookmark titled title that shows the 0-based page (clamped
// to the document). False when the document has no pages.
bool addPageBookmark(QPDF& pdf, long page, const std::string& title);

// Adds a top-level bookmark titled title that shows page.
void addBookmarkToPage(QPDF& pdf, QPDFObjectHandle page, const std::string& title);

// The first item, depth first, whose title is title; uninitialized when none.
QPDFObjectHandle findOutlineItem(QPDF& pdf, const std::string& title);

} // namespace fb::pdf
