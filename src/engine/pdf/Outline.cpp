#include "engine/pdf/Outline.h"

#include <functional>

namespace fb::pdf {

using OH = QPDFObjectHandle;

std::vector<OH> outlineChildren(OH parent, std::set<QPDFObjGen>& seen)
{
    std::vector<OH> out;
    if (!parent.isDictionary()) return out;
    OH cur = parent.getKey("/First");
    while (cur.isDictionary() && out.size() < kMaxOutlineItems) {
        if (cur.isIndirect() && !seen.insert(cur.getObjGen()).second) break;
        out.push_back(cur);
        cur = cur.getKey("/Next");
    }
    return out;
}

OH ensureOutlineRoot(QPDF& pdf)
{
    OH root = pdf.getRoot();
    OH outlines = root.getKey("/Outlines");
    if (!outlines.isDictionary()) {
        outlines = pdf.makeIndirectObject(OH::parse("<< /Type /Outlines >>"));
        root.replaceKey("/Outlines", outlines);
    }
    return outlines;
}

void refreshOutlineRoot(OH outlines)
{
    std::set<QPDFObjGen> seen;
    auto items = outlineChildren(outlines, seen);
    long long count = 0;
    for (auto& item : items) {
        count += 1;
        OH c = item.getKey("/Count");
        if (c.isInteger() && c.getIntValue() > 0) count += c.getIntValue();
    }
    if (!items.empty()) outlines.replaceKey("/Last", items.back());
    outlines.replaceKey("/Count", OH::newInteger(count));
}

int appendOutlineItems(QPDF& pdf, OH parent, const std::vector<NewOutlineItem>& items)
{
    if (items.empty()) return 0;
    std::set<QPDFObjGen> seen;
    auto existing = outlineChildren(parent, seen);
    OH previous = existing.empty() ? OH() : existing.back();
    int total = 0;
    for (const auto& item : items) {
        OH node = pdf.makeIndirectObject(OH::newDictionary());
        node.replaceKey("/Title", OH::newUnicodeString(item.title));
        node.replaceKey("/Parent", parent);
        node.replaceKey("/Dest", item.dest);
        OH color = item.color;
        OH flags = item.flags;
        if (color.isInitialized() && color.isArray() && !color.isIndirect()) node.replaceKey("/C", color);
        if (flags.isInitialized() && flags.isInteger()) node.replaceKey("/F", flags);
        if (previous.isInitialized()) {
            previous.replaceKey("/Next", node);
            node.replaceKey("/Prev", previous);
        } else {
            parent.replaceKey("/First", node);
        }
        parent.replaceKey("/Last", node);
        int below = appendOutlineItems(pdf, node, item.kids);
        if (below > 0) node.replaceKey("/Count", OH::newInteger(below));
        total += 1 + below;
        previous = node;
    }
    return total;
}

bool addPageBookmark(QPDF& pdf, long page, const std::string& title)
{
    auto pages = pdf.getAllPages();
    if (pages.empty()) return false;
    if (page < 0) page = 0;
    if (page >= static_cast<long>(pages.size())) page = static_cast<long>(pages.size()) - 1;
    addBookmarkToPage(pdf, pages[static_cast<std::size_t>(page)], title);
    return true;
}

void addBookmarkToPage(QPDF& pdf, OH page, const std::string& title)
{
    OH dest = OH::newArray();
    dest.appendItem(page);
    dest.appendItem(OH::newName("/Fit"));
    OH outlines = ensureOutlineRoot(pdf);
    appendOutlineItems(pdf, outlines, {NewOutlineItem{title, dest, OH(), OH(), {}}});
    refreshOutlineRoot(outlines);
}

OH findOutlineItem(QPDF& pdf, const std::string& title)
{
    OH outlines = pdf.getRoot().getKey("/Outlines");
    std::set<QPDFObjGen> seen;
    std::size_t budget = kMaxOutlineItems;
    OH found;
    std::function<bool(OH, int)> search = [&](OH parent, int depth) {
        if (depth > kMaxOutlineDepth) return false;
        for (OH item : outlineChildren(parent, seen)) {
            if (budget == 0) return false;
            --budget;
            OH t = item.getKey("/Title");
            if (t.isString() && t.getUTF8Value() == title) {
                found = item;
                return true;
            }
            if (search(item, depth + 1)) return true;
        }
        return false;
    };
    search(outlines, 0);
    return found;
}

} // namespace fb::pdf
