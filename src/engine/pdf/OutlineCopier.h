#pragma once
#include "engine/pdf/PageMap.h"

#include <qpdf/QPDF.hh>

namespace fb::pdf {

// Appends to out's top level the outline items of in that jump to a copied
// page, pointed at the copy; an item whose page did not come along gives its
// kept children to its parent.
void copyOutline(QPDF& in, QPDF& out, const PageMap& pageMap);

} // namespace fb::pdf
