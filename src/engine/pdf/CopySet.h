#pragma once
#include "engine/pdf/SourceIndex.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <memory>
#include <vector>

namespace fb::pdf {

// A link copied before the page it jumps to, waiting for that page.
struct PendingLink {
    QPDFObjectHandle link;   // the annotation in the output
    QPDFObjectHandle dest;   // its explicit destination in the source
    QPDFObjectHandle action; // its /GoTo action when it had one, else uninitialized
};

// Where the pages of one open source went in one output, over every run that
// copied them, so that runs copied apart behave as one copy: links across
// runs and the nesting of bookmarks are kept.
struct CopySet {
    std::shared_ptr<SourceIndex> source;
    std::vector<QPDFObjectHandle> copyOfPage; // by source page; uninitialized: not copied
    std::vector<QPDFObjectHandle> madeItems;  // by source outline item
    // Made items whose own page is not copied (yet), kept so that the items
    // below them stay below them; they show their first copied descendant's page.
    std::vector<bool> standInItems;
    bool bookmarks = false;                        // some run of the set carried bookmarks
    std::multimap<long, PendingLink> pendingLinks; // by the source page they wait for

    QPDFObjectHandle copyOf(long page) const
    {
        if (page < 0 || page >= static_cast<long>(copyOfPage.size())) return QPDFObjectHandle();
        return copyOfPage[static_cast<std::size_t>(page)];
    }
};

} // namespace fb::pdf
