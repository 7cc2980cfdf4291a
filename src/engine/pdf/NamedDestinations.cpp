#include "engine/pdf/NamedDestinations.h"

#include "engine/pdf/PdfTrees.h"

namespace fb::pdf {

namespace {

using OH = QPDFObjectHandle;

// A destination value is an array, or a dictionary whose /D is one.
OH destinationArray(OH value)
{
    if (value.isDictionary()) value = value.getKey("/D");
    if (value.isArray() && value.getArrayNItems() > 0) return value;
    return OH::newNull();
}

} // namespace

NamedDestinations::NamedDestinations(QPDF& pdf)
{
    OH root = pdf.getRoot();
    OH names = root.getKey("/Names");
    if (names.isDictionary()) {
        forEachTreePair(names.getKey("/Dests"), "/Names", [&](OH key, OH value) {
            if (!key.isString()) return;
            OH dest = destinationArray(value);
            if (!dest.isNull()) byString_.emplace(key.getStringValue(), dest); // first one wins
        });
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
