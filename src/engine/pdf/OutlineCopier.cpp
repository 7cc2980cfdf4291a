#include "engine/pdf/OutlineCopier.h"

#include "engine/pdf/Destinations.h"
#include "engine/pdf/Outline.h"

#include <functional>

namespace fb::pdf {

using OH = QPDFObjectHandle;

void copyOutline(QPDF& in, QPDF& out, const PageMap& pageMap)
{
    OH srcOutlines = in.getRoot().getKey("/Outlines");
    if (!srcOutlines.isDictionary()) return;
    std::set<QPDFObjGen> seen;
    std::size_t budget = kMaxOutlineItems;
    std::function<std::vector<NewOutlineItem>(OH, int)> collect = [&](OH parent, int depth) {
        std::vector<NewOutlineItem> result;
        if (depth > kMaxOutlineDepth) return result;
        for (OH item : outlineChildren(parent, seen)) {
            if (budget == 0) break;
            --budget;
            std::vector<NewOutlineItem> kids = collect(item, depth + 1);
            OH page = destPage(in, item);
            auto found = page.isInitialized() && !page.isNull() ? pageMap.find(page.getObjGen()) : pageMap.end();
            if (found != pageMap.end()) {
                NewOutlineItem n;
                OH title = item.getKey("/Title");
                n.title = title.isString() ? title.getUTF8Value() : std::string();
                n.dest = retargetDest(explicitDest(in, item), found->second);
                OH c = item.getKey("/C");
                if (c.isArray() && !c.isIndirect()) n.color = c.shallowCopy();
                OH f = item.getKey("/F");
                if (f.isInteger()) n.flags = OH::newInteger(f.getIntValue());
                n.kids = std::move(kids);
                result.push_back(std::move(n));
            } else {
                // The item's page did not come along: its kept kids move up a level.
                for (auto& k : kids) result.push_back(std::move(k));
            }
        }
        return result;
    };
    std::vector<NewOutlineItem> items = collect(srcOutlines, 0);
    if (items.empty()) return;
    OH outlines = ensureOutlineRoot(out);
    appendOutlineItems(out, outlines, items);
    refreshOutlineRoot(outlines);
}

} // namespace fb::pdf
