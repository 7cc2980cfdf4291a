#pragma once
#include "engine/pdf/CopySet.h"

namespace fb::pdf {

// The links of a page copy jump to the copy of their target page, named
// destinations resolved. A link whose target page is not (yet) copied loses
// its destination and waits in the copy set: copying that page later gives
// it back (linksArrived).
void fixCopiedLinks(CopySet& set, QPDFObjectHandle from, QPDFObjectHandle to);

// Gives the links waiting for source page `page` their destination; the
// links changed go on touched.
void linksArrived(CopySet& set, long page, std::vector<QPDFObjectHandle>& touched);

} // namespace fb::pdf
