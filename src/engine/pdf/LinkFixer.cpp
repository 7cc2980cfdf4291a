#include "engine/pdf/LinkFixer.h"

#include "engine/pdf/Destinations.h"

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

} // namespace

void fixCopiedLinks(QPDF& in, OH from, OH to, const PageMap& pageMap, const std::set<QPDFObjGen>& localPages)
{
    auto fromLinks = linkAnnotations(from);
    auto toLinks = linkAnnotations(to);

    for (std::size_t i = 0; i < toLinks.size(); ++i) {
        OH link = toLinks[i];
        OH target;
        OH srcDest;
        if (fromLinks.size() == toLinks.size()) {
            srcDest = explicitDest(in, fromLinks[i]);
            OH srcPage = srcDest.isArray() ? srcDest.getArrayItem(0) : OH::newNull();
            if (srcPage.isIndirect()) {
                auto found = pageMap.find(srcPage.getObjGen());
                if (found != pageMap.end()) target = found->second;
            }
        }
        OH action = link.getKey("/A");
        bool goTo = action.isDictionary() && action.getKey("/S").isName() &&
                    action.getKey("/S").getName() == "/GoTo";
        OH current = link.getKey("/Dest");
        if (current.isNull() && goTo) current = action.getKey("/D");
        if (!current.isArray()) continue; // named or remote: nothing refers to a page object here
        if (target.isInitialized()) {
            OH dest = retargetDest(srcDest, target);
            if (link.hasKey("/Dest")) {
                link.replaceKey("/Dest", dest);
            } else {
                OH newAction = action.shallowCopy();
                newAction.replaceKey("/D", dest);
                link.replaceKey("/A", newAction);
            }
            continue;
        }
        OH page = current.getArrayItem(0);
        if (page.isIndirect() && localPages.count(page.getObjGen())) continue;
        if (link.hasKey("/Dest")) link.removeKey("/Dest");
        else if (goTo) link.removeKey("/A");
    }
}

} // namespace fb::pdf
