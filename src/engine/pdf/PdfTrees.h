#pragma once
#include <qpdf/QPDFObjectHandle.hh>

#include <functional>
#include <string>

namespace fb::pdf {

// How deep any tree of a PDF (name and number trees, the page tree, outline
// and form-field chains, nested values) is followed. Real files stay far
// shallower; a hostile one can be deep or loop. A page tree of 32-way nodes
// this deep holds more pages than any file.
constexpr int kMaxTreeDepth = 32;

// Calls visit(key, value) for every pair of a name tree's /Names arrays or a
// number tree's /Nums arrays (pairsKey), leaves in tree order. Real trees are
// shallow; a hostile one is read as far as it goes: a node met again is
// skipped, and depth and the number of nodes are bounded.
void forEachTreePair(QPDFObjectHandle root, const std::string& pairsKey,
                     const std::function<void(QPDFObjectHandle key, QPDFObjectHandle value)>& visit);

} // namespace fb::pdf
