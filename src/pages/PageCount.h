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

} // namespace fb
