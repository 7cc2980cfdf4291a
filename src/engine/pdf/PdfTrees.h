#pragma once
#include <qpdf/QPDFObjectHandle.hh>

#include <functional>
#include <string>

namespace fb::pdf {

// Calls visit(key, value) for every pair of a name tree's /Names arrays or a
// number tree's /Nums arrays (pairsKey), leaves in tree order. Real trees are
// shallow; a hostile one is read as far as it goes: a node met again is
// skipped, and depth and the number of nodes are bounded.
void forEachTreePair(QPDFObjectHandle root, const std::string& pairsKey,
                     const std::function<void(QPDFObjectHandle key, QPDFObjectHandle value)>& visit);

} // namespace fb::pdf
