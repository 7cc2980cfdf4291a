#pragma once
#include "support/Messages.h"

#include <string>

namespace fb {

struct Settings {
    std::string oddEveryFile;  // "ODDEVERY"
    std::string oddFinalFile;  // "ODDFINAL"
    bool noSplash = false;     // "NOSPLASH"
};

// A filler path counts only when longer than one character.
bool isSettingSet(const std::string& value);

void loadSettings(Settings&, const std::string& path = "setup.ini");
bool saveSettings(const Settings&, MessageBoxes&, const std::string& path = "setup.ini");

} // namespace fb
