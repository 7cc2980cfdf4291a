#pragma once
#include <qpdf/QPDF.hh>

namespace fb::pdf {

// Copies count pages of in, from the 0-based firstPage, into out after its
// 0-based page insertAfter (-1: before the first), with their annotations and
// form fields; links are pointed at the copied pages, and with bookmarks the
// outline items that jump to them come along. False when the range does not
// fit either document. May throw on damaged input.
bool copyPages(QPDF& in, QPDF& out, long insertAfter, long firstPage, long count, bool bookmarks);

} // namespace fb::pdf
