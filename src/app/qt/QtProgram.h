#pragma once

namespace fb {

// The program with a display: the main window, its dialogs and message boxes.
// Returns the process's exit code.
int runQtProgram(int argc, char** argv);

} // namespace fb

// The Qt module's one exported entry point, looked up by name after dlopen.
extern "C" int mervo_qt_main(int argc, char** argv);
