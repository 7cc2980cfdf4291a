#include "engine/pdf/OutlineCopier.h"

#include "engine/pdf/Destinations.h"

namespace fb::pdf {

using OH = QPDFObjectHandle;

namespace {

constexpr int kMaxImportDepth = 32;

// A copy of a value of the source that belongs to out.
OH importValue(QPDF& out, OH value, int depth = 0)
{
    if (value.isIndirect()) {
        // A page copied here would be a stray copy outside the page tree;
        // qpdf already leaves pages out when it copies what refers to them.
        if (value.isPageObject()) return OH::newNull();
        return out.copyForeignObject(value);
    }
    if (depth > kMaxImportDepth) return OH::newNull();
    if (value.isDictionary()) {
        OH copy = OH::newDictionary();
        for (auto& [key, v] : value.ditems()) copy.replaceKey(key, importValue(out, v, depth + 1));
        return copy;
    }
    if (value.isArray()) {
        OH copy = OH::newArray();
        for (auto& v : value.aitems()) copy.appendItem(importValue(out, v, depth + 1));
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
    Copier(CopySet& set, QPDF& out, OutlineWriter& writer) : set_(set), out_(out), writer_(writer) {}

    void visit(int index, OH parent, bool parentCarried)
    {
        const SourceOutlineItem& entry = set_.source->outline().items[static_cast<std::size_t>(index)];
        OH& made = set_.madeItems[static_cast<std::size_t>(index)];
        if (!made.isInitialized()) {
            OH target = set_.copyOf(entry.page);
            bool carry = entry.jumpsLocally ? target.isInitialized() : parentCarried;
            if (carry) {
                try {
                    made = make(entry, target, parent);
                } catch (...) {
                    made = OH(); // a damaged item is left out; its kids move up
                }
            }
        }
        OH under = made.isInitialized() ? made : parent;
        for (int kid : entry.kids) visit(kid, under, made.isInitialized());
    }

private:
    OH make(const SourceOutlineItem& entry, OH target, OH parent)
    {
        OH item = entry.item;
        OH node = out_.makeIndirectObject(OH::newDictionary());
        OH title = item.getKey("/Title");
        node.replaceKey("/Title", OH::newString(title.isString() ? title.getStringValue() : std::string()));
        if (target.isInitialized()) {
            node.replaceKey("/Dest", retargetDest(set_.source->explicitDest(item), target));
        } else {
            try {
                OH action = item.getKey("/A");
                if (action.isDictionary()) node.replaceKey("/A", importValue(out_, action));
            } catch (...) {
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
};

} // namespace

void copyOutline(CopySet& set, QPDF& out, OutlineWriter& writer)
{
    const SourceOutline& outline = set.source->outline();
    if (outline.items.empty()) return;
    set.madeItems.resize(outline.items.size());
    Copier copier(set, out, writer);
    for (int index : outline.top) copier.visit(index, OH(), true);
}

} // namespace fb::pdf
