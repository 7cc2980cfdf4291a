#pragma once
#include <functional>
#include <string>

namespace fb {

// Page count read with poppler; 0 when none could be found. Never throws and
// never reports anything.
int countPages(const std::string& path);

using AcrobatPageCounter = std::function<int(const std::string& path)>;

// countPages when it finds pages; otherwise, for a file that opens for reading,
// the fallback's count (0 without a fallback); -1 when the file can't be opened
// at all (the caller deselects its row).
int probePageCount(const std::string& path, const AcrobatPageCounter& fallback);

// poppler builds its global tables (fonts, character maps) for its first open
// document and tears them down with its last one; each count or preview of a
// new file would pay to build them again. This keeps them built for the life
// of the process, with poppler's messages silenced. Safe from any thread.
void keepPopplerWarm();
// A valid one-page blank PDF (10 by 10 points).
const std::string& blankPdf();

} // namespace fb
