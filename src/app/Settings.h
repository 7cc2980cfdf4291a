#pragma once
#include "common/Messages.h"
#include "common/FillerFiles.h"

#include <string>

namespace fb {

// The three settings of "setup.ini".
// "ODDEVERY" and "ODDFINAL" are the filler files; the run sees only those.
struct Settings : FillerFiles {
    bool noSplash = false; // "NOSPLASH": no splash screen at start-up
};

// Reads the file over the current values; a missing file changes nothing.
// "NOSPLASH" only ever switches noSplash on.
void loadSettings(Settings&, const std::string& path = "setup.ini");
// Writes the two or three lines; on failure shows "can't save to setup.ini".
bool saveSettings(const Settings&, MessageBoxes&, const std::string& path = "setup.ini");

} // namespace fb
