#pragma once
#include <string>

class QPDF;

namespace fb::pdf {

// Writes pdf in full in place of path through replaceFile, so a reader never
// sees a half-written output and a link stays a link. False on any failure,
// with the file as it was and, when why is given, the reason (the system's or
// qpdf's text) in it. Never throws. minimumVersion ("1.7"; empty: none) raises
// the version the file is written as.
bool savePdfAtomically(QPDF& pdf, const std::string& path, const std::string& minimumVersion = {},
                       std::string* why = nullptr);

} // namespace fb::pdf
