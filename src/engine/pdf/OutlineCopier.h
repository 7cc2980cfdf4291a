#pragma once
#include "engine/pdf/CopySet.h"
#include "engine/pdf/Outline.h"

namespace fb::pdf {

// Carries the source's outline items into the output as far as the copy set
// allows: an item that jumps to a copied page, pointed at the copy; an item of
// any other action kind (or none) with its parent, or at the top level; each
// with its open or closed state, colour and style, under the nearest carried
// ancestor. An item whose page is not copied but which holds copied items is
// carried too, showing the first of their pages, so the nesting stays; when a
// later run copies its page it points there. Items made by earlier runs of the
// set are not made again, and later items nest under them.
void copyOutline(CopySet& set, QPDF& out, OutlineWriter& writer);

} // namespace fb::pdf
