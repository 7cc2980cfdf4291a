#pragma once
#include <string>

class QPDF;

namespace fb::pdf {

// Writes pdf in full to a temporary file beside path, syncs it, keeps the mode
// of the file it replaces and renames it over path, then syncs the folder.
// A reader never sees a half-written output. False on any failure, with the
// temporary file removed. Never throws.
bool savePdfAtomically(QPDF& pdf, const std::string& path);

} // namespace fb::pdf
