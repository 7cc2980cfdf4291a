#include "engine/pdf/NamedDestinations.h"

#include <set>

namespace fb::pdf {

namespace {

using OH = QPDFObjectHandle;

// Name trees are shallow in practice; these only stop hostile ones.
constexpr int kMaxTreeDepth = 32;
constexpr std::size_t kMaxTreeNodes = 100000;

// A destination value is an array, or a dictionary whose /D is one.
OH destinationArray(OH value)
{
    if (value.isDictionary()) value = value.getKey("/D");
    if (value.isArray() && value.getArrayNItems() > 0) return value;
    return OH::newNull();
}

void readNameTree(OH node, int depth, std::set<QPDFObjGen>& seen, std::size_t& budget,
                  std::map<std::string, OH>& out)
{
    if (!node.isDictionary() || depth > kMaxTreeDepth || budget == 0) return;
    if (node.isIndirect() && !seen.insert(node.getObjGen()).second) return;
    --budget;
    OH names = node.getKey("/Names");
    if (names.isArray()) {
        int n = names.getArrayNItems();
        for (int i = 0; i + 1 < n; i += 2) {
            OH key = names.getArrayItem(i);
            if (!key.isString()) continue;
            OH dest = destinationArray(names.getArrayItem(i + 1));
            if (!dest.isNull()) out.emplace(key.getStringValue(), dest); // first one wins
        }
    }
    OH kids = node.getKey("/Kids");
    if (kids.isArray()) {
        int n = kids.getArrayNItems();
        for (int i = 0; i < n && budget > 0; ++i) readNameTree(kids.getArrayItem(i), depth + 1, seen, budget, out);
    }
}

} // namespace

NamedDestinations::NamedDestinations(QPDF& pdf)
{
    OH root = pdf.getRoot();
    OH names = root.getKey("/Names");
    if (names.isDictionary()) {
        std::set<QPDFObjGen> seen;
        std::size_t budget = kMaxTreeNodes;
        readNameTree(names.getKey("/Dests"), 0, seen, budget, byString_);
    }
    OH dests = root.getKey("/Dests");
    if (dests.isDictionary()) {
        for (auto& [key, value] : dests.ditems()) {
            OH dest = destinationArray(value);
            if (!dest.isNull()) byName_.emplace(key, dest);
        }
    }
}

OH NamedDestinations::find(OH name) const
{
    // Writers mix the two forms up, so each kind falls back on the other table.
    if (name.isString()) {
        std::string s = name.getStringValue();
        if (auto it = byString_.find(s); it != byString_.end()) return it->second;
        if (auto it = byName_.find("/" + s); it != byName_.end()) return it->second;
    } else if (name.isName()) {
        std::string n = name.getName();
        if (auto it = byName_.find(n); it != byName_.end()) return it->second;
        if (auto it = byString_.find(n.substr(1)); it != byString_.end()) return it->second;
    }
    return OH::newNull();
}

} // namespace fb::pdf
