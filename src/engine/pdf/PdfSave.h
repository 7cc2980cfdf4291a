#pragma once
#include <functional>
#include <string>

class QPDF;

namespace fb::pdf {

// Writes pdf in full to a temporary file beside path (beside the final target
// when path is a symbolic link, so that the link stays one), syncs it, keeps
// the owner and mode of the file it replaces and renames it over that file,
// then syncs the folder. A reader never sees a half-written output. False on
// any failure, with the temporary file removed and, when why is given, the
// reason (the system's or qpdf's text) in it. Never throws. minimumVersion
// ("1.7"; empty: none) raises the version the file is written as.
bool savePdfAtomically(QPDF& pdf, const std::string& path, const std::string& minimumVersion = {},
                       std::string* why = nullptr);

// Replaces path with a new file that fill writes to the descriptor it is
// given, the same way. fill reports a failure by returning false with errno
// set, or by throwing. A file the runner may not write is refused (EACCES).
bool replaceFile(const std::string& path, const std::function<bool(int fd)>& fill,
                 std::string* why = nullptr);

} // namespace fb::pdf
