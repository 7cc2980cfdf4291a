#pragma once
#include "common/Messages.h"

#include <string>

namespace fb {

// An absolute folder path the chooser accepts: "/" alone, or "/" followed by
// components that are not empty, neither begin nor end with a blank, a tab or
// ".", and hold none of " * : < > ? \ |. So "a/", "//", ".." and "x." are out.
bool isValidFolderPath(const std::string& path);

// 0 when the folder exists or has just been created; 1 for an invalid path,
// -1 when the user would not have it created, 2 when it could not be. Shows
// its own messages.
int checkOrCreateFolder(const std::string& path, MessageBoxes& messages);

} // namespace fb
