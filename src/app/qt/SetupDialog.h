#pragma once
#include "app/Settings.h"
#include "common/FileDialogs.h"
#include "common/Messages.h"

#include <string>

class QWidget;

namespace fb {

// The "Setup" window over the settings the main window holds. True when
// "Save && Exit" closed it (the file is then written, or its failure shown).
// A Browse or a check-box click changes the settings at once, even if the
// window is cancelled afterwards; typed text reaches them only through those
// or "Save && Exit".
bool runSetupDialog(QWidget* parent, Settings& settings, FileDialogs& files, MessageBoxes& messages,
                    const std::string& settingsPath = "setup.ini");

} // namespace fb
