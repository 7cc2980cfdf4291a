#pragma once
#include "engine/AppendRun.h"
#include "common/FileDialogs.h"

#include <string>

namespace fb {

// A clipboard that nobody can paste from.
class NoClipboard : public Clipboard {
public:
    bool setText(const std::string&) override { return false; }
};

// Headless runs have no window to keep alive or repaint.
class HeadlessRunHost : public AppendRunHost {};

std::string usageText();
std::string versionText();

} // namespace fb
