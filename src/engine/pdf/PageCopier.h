#pragma once
#include <qpdf/QPDF.hh>

#include <set>

namespace fb::pdf {

// Copies count pages of in, from the 0-based firstPage, into out after its
// 0-based page insertAfter (-1: before the first), with their annotations and
// form fields; links are pointed at the copied pages, and with bookmarks the
// outline items that jump to them come along. False when the range does not
// fit either document. May throw on damaged input.
//
// With an appender, pages that go after the last page are added through it
// (the output's page tree is not walked); sourceCopies then holds every page
// copied from in so far, which links from later runs may point at, and
// formMerged is set when the output's form had to take fields.
class PageTreeAppender;
struct AppendState {
    PageTreeAppender* appender = nullptr;
    std::set<QPDFObjGen>* sourceCopies = nullptr;
    bool formMerged = false;
};
bool copyPages(QPDF& in, QPDF& out, long insertAfter, long firstPage, long count, bool bookmarks,
               AppendState* append = nullptr);

} // namespace fb::pdf
