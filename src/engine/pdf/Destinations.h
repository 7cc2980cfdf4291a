#pragma once
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace fb::pdf {

// The explicit destination array of an outline item or link annotation
// (its /Dest, or the /D of a /GoTo action, named ones resolved), or null.
QPDFObjectHandle explicitDest(QPDF& pdf, QPDFObjectHandle item);

// The page object an outline item or link annotation jumps to, or null.
QPDFObjectHandle destPage(QPDF& pdf, QPDFObjectHandle item);

// A copy of dest that points at page, keeping the view parameters that are
// plain values; anything else becomes /Fit.
QPDFObjectHandle retargetDest(QPDFObjectHandle dest, QPDFObjectHandle page);

} // namespace fb::pdf
