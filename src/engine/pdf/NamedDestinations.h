#pragma once
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <string>

namespace fb::pdf {

// The named destinations of a document, read once: the /Dests name tree of
// the /Names dictionary (string keys) and the older /Dests dictionary of the
// catalog (name keys). Damaged or looping trees are read as far as they go.
class NamedDestinations {
public:
    explicit NamedDestinations(QPDF& pdf);

    // The destination array a name (a string or a name object) stands for, or
    // null when the document does not define it.
    QPDFObjectHandle find(QPDFObjectHandle name) const;

private:
    std::map<std::string, QPDFObjectHandle> byString_;
    std::map<std::string, QPDFObjectHandle> byName_;
};

} // namespace fb::pdf
