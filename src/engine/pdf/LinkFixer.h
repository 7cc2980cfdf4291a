#pragma once
#include "engine/pdf/PageMap.h"

#include <qpdf/QPDF.hh>

#include <set>

namespace fb::pdf {

// Links copied ahead of their target page lost it: points the links of the
// copy `to` (of source page `from` in `in`) at the copied target, or drops the
// destination when the target page did not come along and is not one of the
// output's own pages (localPages).
void fixCopiedLinks(QPDF& in, QPDFObjectHandle from, QPDFObjectHandle to, const PageMap& pageMap,
                    const std::set<QPDFObjGen>& localPages);

} // namespace fb::pdf
