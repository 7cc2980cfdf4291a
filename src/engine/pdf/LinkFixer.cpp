#include "engine/pdf/LinkFixer.h"

#include "engine/pdf/Destinations.h"
#include "common/Trace.h"

#include <vector>

namespace fb::pdf {

namespace {

using OH = QPDFObjectHandle;

std::vector<OH> linkAnnotations(OH page)
{
    std::vector<OH> out;
    OH annots = page.getKey("/Annots");
    if (!annots.isArray()) return out;
    for (int i = 0; i < annots.getArrayNItems(); ++i) {
        OH a = annots.getArrayItem(i);
        if (a.isDictionary() && a.getKey("/Subtype").isName() && a.getKey("/Subtype").getName() == "/Link")
            out.push_back(a);
    }
    return out;
}

void pointAt(PendingLink p, OH page)
{
    OH dest = retargetDest(p.dest, page);
    if (p.action.isInitialized()) {
        OH action = p.action.shallowCopy();
        action.replaceKey("/D", dest);
        p.link.replaceKey("/A", action);
    } else {
        p.link.replaceKey("/Dest", dest);
    }
}

} // namespace

void fixCopiedLinks(CopySet& set, OH from, OH to)
{
    auto fromLinks = linkAnnotations(from);
    auto toLinks = linkAnnotations(to);
    if (fromLinks.size() != toLinks.size()) return;
    SourceIndex& source = *set.source;
    for (std::size_t i = 0; i < toLinks.size(); ++i) {
        try {
            if (!hasLocalJump(fromLinks[i])) continue; // web, file and named-action links need nothing
            OH link = toLinks[i];
            PendingLink p{link, source.explicitDest(fromLinks[i]), OH()};
            if (!link.hasKey("/Dest") && link.getKey("/A").isDictionary())
                p.action = link.getKey("/A").shallowCopy();
            long page = source.destPageIndex(p.dest);
            OH target = set.copyOf(page);
            if (target.isInitialized()) {
                pointAt(p, target);
                continue;
            }
            // No copy of the target (yet): a dead link rather than one into the source.
            if (p.action.isInitialized())
                link.removeKey("/A");
            else
                link.removeKey("/Dest");
            if (page >= 0) set.pendingLinks.emplace(page, std::move(p));
        } catch (const std::exception& e) {
            trace(std::string("link kept as copied: ") + e.what());
            // A damaged link stays as the page copy carried it.
        }
    }
}

void linksArrived(CopySet& set, long page, std::vector<OH>& touched)
{
    auto [begin, end] = set.pendingLinks.equal_range(page);
    OH target = set.copyOf(page);
    if (!target.isInitialized()) return;
    for (auto it = begin; it != end; ++it) {
        try {
            pointAt(it->second, target);
            touched.push_back(it->second.link);
        } catch (const std::exception& e) {
            // The link stays dead rather than fail the pages it sits on.
            trace(std::string("link left pointing nowhere: ") + e.what());
        }
    }
    set.pendingLinks.erase(begin, end);
}

} // namespace fb::pdf
