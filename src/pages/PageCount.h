#pragma once
#include "common/FileLock.h"

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>

namespace fb {

// Page count read with poppler; 0 when none could be found. Never throws and
// never reports anything.
int countPages(const std::string& path);

using AcrobatPageCounter = std::function<int(const std::string& path)>;

// countPages when it finds pages; otherwise, for a file that opens for reading,
// the fallback's count (0 without a fallback); -1 when the file can't be opened
// at all (the caller deselects its row).
int probePageCount(const std::string& path, const AcrobatPageCounter& fallback);

// probePageCount, remembering the counts it found by path while the file
// stays the same (device, inode, size, modification and change times): a
// batch file naming one source on many rows reads it once. Only counts of
// pages are kept; a file with none, or that does not open, is asked again.
class PageCountMemo {
public:
    int probe(const std::string& path, const AcrobatPageCounter& fallback);

private:
    struct Seen {
        FileIdentity file;
        // Also the change time: a copy that keeps size and mtime (rsync
        // --inplace, cp -p) still changes it.
        long long changedNs = 0;
        int pages = 0;
        bool sameVersion(const Seen& o) const { return file == o.file && changedNs == o.changedNs; }
    };
    static bool identify(const std::string& path, Seen& seen);
    // Bounded: a load of a million different files must not keep a million.
    static constexpr std::size_t kMaxRemembered = 4096;
    std::unordered_map<std::string, Seen> seen_;
};

// poppler builds its global tables (fonts, character maps) for its first open
// document and tears them down with its last one; each count or preview of a
// new file would pay to build them again. This keeps them built for the life
// of the process, with poppler's messages silenced. Safe from any thread.
void keepPopplerWarm();
// A valid one-page blank PDF (10 by 10 points).
const std::string& blankPdf();

} // namespace fb
