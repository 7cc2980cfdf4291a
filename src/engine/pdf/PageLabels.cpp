#include "engine/pdf/PageLabels.h"

#include "engine/pdf/PdfTrees.h"

#include <algorithm>
#include <map>

namespace fb::pdf {

using OH = QPDFObjectHandle;

namespace {

// A direct copy holding only the keys that make a label.
OH plainLabel(OH dict)
{
    OH out = OH::newDictionary();
    OH s = dict.getKey("/S");
    if (s.isName()) out.replaceKey("/S", OH::newName(s.getName()));
    OH p = dict.getKey("/P");
    if (p.isString()) out.replaceKey("/P", OH::newString(p.getStringValue()));
    OH st = dict.getKey("/St");
    if (st.isInteger() && st.getIntValue() >= 1) out.replaceKey("/St", OH::newInteger(st.getIntValue()));
    return out;
}

long long startNumber(OH dict)
{
    OH st = dict.getKey("/St");
    return st.isInteger() ? st.getIntValue() : 1;
}

// Whether next labels its first page just as prev would have gone on.
bool continues(const LabelRange& prev, const LabelRange& next)
{
    auto name = [](OH d, const char* key) {
        return d.getKey(key).isNull() ? std::string() : d.getKey(key).unparse();
    };
    return name(prev.dict, "/S") == name(next.dict, "/S") && name(prev.dict, "/P") == name(next.dict, "/P") &&
           startNumber(next.dict) == startNumber(prev.dict) + (next.start - prev.start);
}

void push(PageLabelRanges& ranges, LabelRange range)
{
    if (!ranges.empty() && ranges.back().start == range.start) ranges.pop_back();
    if (!ranges.empty() && continues(ranges.back(), range)) return;
    ranges.push_back(std::move(range));
}

} // namespace

PageLabelRanges readPageLabels(QPDF& pdf)
{
    PageLabelRanges out;
    std::map<long long, OH> nums;
    forEachTreePair(pdf.getRoot().getKey("/PageLabels"), "/Nums", [&](OH key, OH value) {
        if (key.isInteger() && key.getIntValue() >= 0 && value.isDictionary())
            nums.emplace(key.getIntValue(), value);
    });
    for (auto& [start, dict] : nums)
        out.push_back({start, plainLabel(dict)});
    return out;
}

OH labelForPage(const PageLabelRanges& ranges, long long index)
{
    auto after = std::upper_bound(ranges.begin(), ranges.end(), index,
                                  [](long long i, const LabelRange& r) { return i < r.start; });
    if (after == ranges.begin()) {
        OH label = OH::newDictionary();
        label.replaceKey("/S", OH::newName("/D"));
        if (index > 0) label.replaceKey("/St", OH::newInteger(index + 1));
        return label;
    }
    const LabelRange& range = *(after - 1);
    OH label = OH(range.dict).shallowCopy();
    long long number = startNumber(range.dict) + (index - range.start);
    if (number == 1)
        label.removeKey("/St");
    else
        label.replaceKey("/St", OH::newInteger(number));
    return label;
}

void PageLabelWriter::inserted(long long position, long long count, long long oldCount,
                               const PageLabelRanges& source, long long first)
{
    if (!loaded_) {
        ranges_ = readPageLabels(out_);
        loaded_ = true;
    }
    if (ranges_.empty() && source.empty()) return; // nobody labels pages: keep it that way
    if (position == oldCount && !ranges_.empty()) {
        // After the last page, the common case: the ranges before stay as
        // they are, so only the new ones are added, to the list and to the
        // written array; redoing both made each run cost as much as all the
        // ranges, which one-page runs of a whole manual multiply.
        const std::size_t kept = ranges_.size();
        const bool replacesLast = ranges_.back().start == position;
        push(ranges_, {position, labelForPage(source, first)});
        for (auto& r : source)
            if (r.start > first && r.start < first + count)
                push(ranges_, {position + (r.start - first), r.dict});
        OH nums = labels_.isInitialized() ? labels_.getKey("/Nums") : OH();
        if (replacesLast || !nums.isArray() || nums.getArrayNItems() != static_cast<int>(2 * kept)) {
            write();
            return;
        }
        for (std::size_t i = kept; i < ranges_.size(); ++i) {
            nums.appendItem(OH::newInteger(ranges_[i].start));
            nums.appendItem(ranges_[i].dict);
        }
        return;
    }
    PageLabelRanges old = std::move(ranges_);
    if (old.empty() && oldCount > 0) old.push_back({0, labelForPage({}, 0)});

    PageLabelRanges next;
    for (auto& r : old)
        if (r.start < position) push(next, r);
    // The inserted pages: the range their first page falls in, then every
    // source range that starts among them.
    push(next, {position, labelForPage(source, first)});
    for (auto& r : source)
        if (r.start > first && r.start < first + count) push(next, {position + (r.start - first), r.dict});
    if (position < oldCount) {
        push(next, {position + count, labelForPage(old, position)});
        for (auto& r : old)
            if (r.start > position) push(next, {r.start + count, r.dict});
    }
    ranges_ = std::move(next);
    write();
}

void PageLabelWriter::write()
{
    OH nums = OH::newArray();
    for (auto& r : ranges_) {
        nums.appendItem(OH::newInteger(r.start));
        nums.appendItem(r.dict);
    }
    // One object, rewritten as runs go in: a new one per run would keep every
    // earlier array alive in the document until it is closed.
    if (!labels_.isInitialized()) {
        labels_ = out_.makeIndirectObject(OH::newDictionary());
        out_.getRoot().replaceKey("/PageLabels", labels_);
    }
    labels_.replaceKey("/Nums", nums);
}

} // namespace fb::pdf
