#pragma once
#include <qpdf/QPDFObjectHandle.hh>

namespace fb::pdf {

class NamedDestinations;

// Where an outline item or link annotation jumps inside its own document: its
// /Dest, or the /D of a /GoTo action, as written (an array, or a name or
// string naming one). Null for other actions and for items without one.
QPDFObjectHandle localJump(QPDFObjectHandle item);

// True when the item jumps inside its own document (/Dest or a /GoTo action).
bool hasLocalJump(QPDFObjectHandle item);

// The explicit destination array of an outline item or link annotation, named
// ones resolved through names, or null.
QPDFObjectHandle explicitDest(QPDFObjectHandle item, const NamedDestinations& names);

// A copy of dest that points at page, keeping the view parameters that are
// plain values; anything else becomes /Fit.
QPDFObjectHandle retargetDest(QPDFObjectHandle dest, QPDFObjectHandle page);

} // namespace fb::pdf
