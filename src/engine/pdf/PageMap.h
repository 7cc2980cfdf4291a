#pragma once
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <map>

namespace fb::pdf {

// Where the pages of a source went: source page object → its copy in the output.
using PageMap = std::map<QPDFObjGen, QPDFObjectHandle>;

} // namespace fb::pdf
