#pragma once
#include "engine/pdf/CopySet.h"
#include "engine/pdf/Outline.h"

namespace fb::pdf {

// Carries the source's outline items into the output as far as the copy set
// allows: an item that jumps to a copied page, pointed at the copy; an item of
// any other action kind (or none) as soon as one of its ancestors is carried,
// or at the top level; each with its open or closed state, colour and style,
// under the nearest carried ancestor. An item whose page is not copied but which holds copied items is
// carried too, showing the first of their pages, so the nesting stays; when a
// later run copies its page it points there. Items made by earlier runs of the
// set are not made again, and later items nest under them.
// finishing: the copy is done for now; items of other action kinds that still
// wait for an ancestor go in too, under the nearest carried one or at the top
// level, as items that jump to pages would.
void copyOutline(CopySet& set, QPDF& out, OutlineWriter& writer, bool finishing = false);

} // namespace fb::pdf
