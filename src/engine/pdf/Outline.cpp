#include "engine/pdf/Outline.h"

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

OH findOutlineItem(QPDF& pdf, const std::string& title)
{
    OH outlines = pdf.getRoot().getKey("/Outlines");
    std::set<QPDFObjGen> seen;
    std::size_t budget = kMaxOutlineItems;
    OH found;
    auto search = [&](auto& self, OH parent, int depth) -> bool {
        if (depth > kMaxOutlineDepth) return false;
        for (OH item : outlineChildren(parent, seen)) {
            if (budget == 0) return false;
            --budget;
            OH t = item.getKey("/Title");
            if (t.isString() && t.getUTF8Value() == title) {
                found = item;
                return true;
            }
            if (self(self, item, depth + 1)) return true;
        }
        return false;
    };
    search(search, outlines, 0);
    return found;
}

void OutlineWriter::loadRoot()
{
    OH catalog = pdf_.getRoot();
    root_ = catalog.getKey("/Outlines");
    if (!root_.isDictionary()) {
        root_ = pdf_.makeIndirectObject(OH::parse("<< /Type /Outlines >>"));
        catalog.replaceKey("/Outlines", root_);
    }
    // Trust what the top level says of itself when it is consistent; walk it
    // (the only walk of what the document already holds) when not.
    OH last = root_.getKey("/Last");
    OH count = root_.getKey("/Count");
    if (last.isDictionary() && last.isIndirect() && last.getKey("/Next").isNull() && count.isInteger() &&
        count.getIntValue() > 0 && last.getKey("/Parent").isIndirect() &&
        last.getKey("/Parent").getObjGen() == root_.getObjGen()) {
        rootLast_ = last;
        rootCount_ = count.getIntValue();
        return;
    }
    std::set<QPDFObjGen> seen;
    auto items = outlineChildren(root_, seen);
    rootCount_ = 0;
    for (auto& item : items) {
        rootCount_ += 1;
        OH c = item.getKey("/Count");
        if (c.isInteger() && c.getIntValue() > 0) rootCount_ += c.getIntValue();
    }
    rootLast_ = items.empty() ? OH() : items.back();
}

void OutlineWriter::append(OH parent, OH node, bool closed)
{
    if (!root_.isInitialized()) loadRoot();
    auto madeParent = parent.isInitialized() ? made_.find(parent.getObjGen()) : made_.end();
    OH into = madeParent != made_.end() ? parent : root_;
    OH& last = madeParent != made_.end() ? madeParent->second.last : rootLast_;

    node.replaceKey("/Parent", into);
    node.removeKey("/Prev");
    node.removeKey("/Next");
    changed(into);
    if (last.isInitialized()) {
        changed(last);
        last.replaceKey("/Next", node);
        node.replaceKey("/Prev", last);
    } else {
        into.replaceKey("/First", node);
    }
    into.replaceKey("/Last", node);
    last = node;
    made_[node.getObjGen()] = Made{madeParent != made_.end() ? parent : OH(), closed, OH(), 0, generation_};

    // One more item shows under every open ancestor up to the first closed one.
    for (OH cur = into;;) {
        if (cur.getObjGen() == root_.getObjGen() || !made_.count(cur.getObjGen())) {
            root_.replaceKey("/Count", OH::newInteger(++rootCount_));
            break;
        }
        Made& m = made_[cur.getObjGen()];
        ++m.count;
        changed(cur);
        cur.replaceKey("/Count", OH::newInteger(m.closed ? -m.count : m.count));
        if (m.closed) break;
        if (!m.parent.isInitialized()) {
            root_.replaceKey("/Count", OH::newInteger(++rootCount_));
            break;
        }
        cur = m.parent;
    }
}

void OutlineWriter::changed(OH item)
{
    // Items made since the last clear are new to any update anyway.
    auto m = made_.find(item.getObjGen());
    if (m != made_.end() && m->second.generation == generation_) return;
    if (touchedIds_.insert(item.getObjGen()).second) touched_.push_back(item);
}

void OutlineWriter::clearTouched()
{
    touched_.clear();
    touchedIds_.clear();
    ++generation_;
}

OH OutlineWriter::addPageBookmark(OH page, const std::string& title)
{
    OH dest = OH::newArray();
    dest.appendItem(page);
    dest.appendItem(OH::newName("/Fit"));
    OH node = pdf_.makeIndirectObject(OH::newDictionary());
    node.replaceKey("/Title", OH::newUnicodeString(title));
    node.replaceKey("/Dest", dest);
    append(OH(), node, false);
    return node;
}

} // namespace fb::pdf
