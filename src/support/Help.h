#pragma once
#include <string>

namespace fb {

// The help topic the main window asks for: the resource help base plus the
// main window's dialog number.
constexpr int kMainWindowHelpContext = 0x20000 + 102; // 131174
constexpr int kAppendParametersHelpContext = 0x20000 + 129;

// The anchor of the guide's section for a help context; unknown contexts
// open the contents.
std::string helpTopicForContext(int context);

// The guide as installed beside the program's other files.
constexpr const char* kHelpGuideName = "guide.html";

} // namespace fb
