#include "engine/pdf/OutlineCopier.h"

#include "engine/pdf/Destinations.h"
#include "engine/pdf/PdfTrees.h"
#include "common/Trace.h"

namespace fb::pdf {

using OH = QPDFObjectHandle;

namespace {

// A copy of a value of the source that belongs to out.
OH importValue(QPDF& out, OH value, int depth = 0)
{
    if (value.isIndirect()) {
        // A page copied here would be a stray copy outside the page tree;
        // qpdf already leaves pages out when it copies what refers to them.
        // A node of the page tree (a damaged action can name one) qpdf does
        // not copy at all: it hands back an empty handle that crashes later.
        if (value.isPageObject() || value.isPagesObject()) return OH::newNull();
        OH copy = out.copyForeignObject(value);
        return copy.isInitialized() ? copy : OH::newNull();
    }
    if (depth > kMaxTreeDepth) return OH::newNull();
    if (value.isDictionary()) {
        OH copy = OH::newDictionary();
        for (auto& [key, v] : value.ditems())
            copy.replaceKey(key, importValue(out, v, depth + 1));
        return copy;
    }
    if (value.isArray()) {
        OH copy = OH::newArray();
        for (auto& v : value.aitems())
            copy.appendItem(importValue(out, v, depth + 1));
        return copy;
    }
    if (value.isStream()) return OH::newNull();
    return value.shallowCopy();
}

bool plainNumbers(OH array, int n)
{
    if (!array.isArray() || array.getArrayNItems() != n) return false;
    for (auto& v : array.aitems())
        if (!v.isNumber()) return false;
    return true;
}

class Copier {
public:
    Copier(CopySet& set, QPDF& out, OutlineWriter& writer, bool finishing)
        : set_(set), out_(out), writer_(writer), finishing_(finishing)
    {
        // Items come parent first, so one pass from the end sees kids before
        // their parent: the copy of the first page each item's subtree shows.
        const auto& items = set_.source->outline().items;
        firstPage_.resize(items.size());
        for (std::size_t i = items.size(); i-- > 0;) {
            if (items[i].jumpsLocally) firstPage_[i] = set_.copyOf(items[i].page);
            for (auto kid = items[i].kids.begin();
                 !firstPage_[i].isInitialized() && kid != items[i].kids.end(); ++kid)
                firstPage_[i] = firstPage_[static_cast<std::size_t>(*kid)];
        }
    }

    // parent: the nearest carried ancestor; uninitialized when none is (yet)
    // or the item is at the top level (topLevel).
    void visit(int index, OH parent, bool topLevel)
    {
        const std::size_t at = static_cast<std::size_t>(index);
        const SourceOutlineItem& entry = set_.source->outline().items[at];
        OH& made = set_.madeItems[at];
        OH target = entry.jumpsLocally ? set_.copyOf(entry.page) : OH();
        if (!made.isInitialized()) {
            const bool standIn =
                entry.jumpsLocally && !target.isInitialized() && firstPage_[at].isInitialized();
            const bool carry = entry.jumpsLocally ? target.isInitialized() || standIn
                                                  : parent.isInitialized() || topLevel || finishing_;
            if (carry) {
                try {
                    made = make(entry, standIn ? firstPage_[at] : target, parent, standIn);
                    set_.standInItems[at] = standIn;
                } catch (const std::exception& e) {
                    trace(std::string("bookmark left out: ") + e.what());
                    made = OH(); // a damaged item is left out; its kids move up
                }
            }
        } else if (set_.standInItems[at] && target.isInitialized()) {
            made.replaceKey("/Dest", retargetDest(set_.source->explicitDest(entry.item), target));
            writer_.changed(made);
            set_.standInItems[at] = false;
        }
        OH under = made.isInitialized() ? made : parent;
        for (int kid : entry.kids)
            visit(kid, under, false);
    }

private:
    OH make(const SourceOutlineItem& entry, OH target, OH parent, bool standIn)
    {
        OH item = entry.item;
        OH node = out_.makeIndirectObject(OH::newDictionary());
        OH title = item.getKey("/Title");
        node.replaceKey("/Title", OH::newString(title.isString() ? title.getStringValue() : std::string()));
        if (standIn) {
            node.replaceKey("/Dest", OH::newArray({target, OH::newName("/Fit")}));
        } else if (target.isInitialized()) {
            node.replaceKey("/Dest", retargetDest(set_.source->explicitDest(item), target));
        } else {
            try {
                OH action = item.getKey("/A");
                if (action.isDictionary()) node.replaceKey("/A", importValue(out_, action));
            } catch (const std::exception& e) {
                trace(std::string("bookmark action left out: ") + e.what());
                // Keep the item, without the action that could not be read.
            }
        }
        OH color = item.getKey("/C");
        if (plainNumbers(color, 3)) node.replaceKey("/C", importValue(out_, color));
        OH style = item.getKey("/F");
        if (style.isInteger()) node.replaceKey("/F", OH::newInteger(style.getIntValue()));
        OH count = item.getKey("/Count");
        writer_.append(parent, node, count.isInteger() && count.getIntValue() < 0);
        return node;
    }

    CopySet& set_;
    QPDF& out_;
    OutlineWriter& writer_;
    bool finishing_;
    std::vector<OH> firstPage_; // by item; uninitialized: nothing of its subtree copied
};

} // namespace

void copyOutline(CopySet& set, QPDF& out, OutlineWriter& writer, bool finishing)
{
    const SourceOutline& outline = set.source->outline();
    if (outline.items.empty()) return;
    set.madeItems.resize(outline.items.size());
    set.standInItems.resize(outline.items.size());
    set.bookmarks = true;
    Copier copier(set, out, writer, finishing);
    for (int index : outline.top)
        copier.visit(index, OH(), true);
}

} // namespace fb::pdf
