#pragma once
#include <string>

namespace fb {

// The window, dialogs and message boxes live in a module of their own
// ("libmervo-qt.so"), loaded only when the program is about to show one, so
// that runs without a display never load Qt.
using QtProgramEntry = int (*)(int argc, char** argv);

// Looks beside the executable, then in ../lib/<multiarch>/mervo/ (an installed program).
// Null, with the reason in error, when the module can't be loaded.
QtProgramEntry loadQtModule(std::string& error);

} // namespace fb
