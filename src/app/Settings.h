#pragma once
#include "support/Messages.h"

#include <string>

namespace fb {

// The three settings of "setup.ini".
struct Settings {
    std::string oddEveryFile;  // "ODDEVERY": filler after each source that leaves the output odd
    std::string oddFinalFile;  // "ODDFINAL": filler at the very end when the final output is odd
    bool noSplash = false;     // "NOSPLASH": no splash screen at start-up
};

// A filler path counts only when longer than one character.
bool isSettingSet(const std::string& value);

// Reads the file over the current values; a missing file changes nothing.
// "NOSPLASH" only ever switches noSplash on.
void loadSettings(Settings&, const std::string& path = "setup.ini");
// Writes the two or three lines; on failure shows "can't save to setup.ini".
bool saveSettings(const Settings&, MessageBoxes&, const std::string& path = "setup.ini");

} // namespace fb
