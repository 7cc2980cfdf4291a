#pragma once
#include <functional>
#include <string>

class QPDF;

namespace fb::pdf {

// Writes pdf in full to a temporary file beside path, syncs it, keeps the mode
// of the file it replaces and renames it over path, then syncs the folder.
// A reader never sees a half-written output. False on any failure, with the
// temporary file removed. Never throws. minimumVersion ("1.7"; empty: none)
// raises the version the file is written as.
bool savePdfAtomically(QPDF& pdf, const std::string& path, const std::string& minimumVersion = {});

// Replaces path with a new file that fill writes to the descriptor it is
// given, the same way: temporary file beside path, synced, mode kept, renamed,
// folder synced. False (temporary file removed) when fill or any step fails.
bool replaceFile(const std::string& path, const std::function<bool(int fd)>& fill);

} // namespace fb::pdf
