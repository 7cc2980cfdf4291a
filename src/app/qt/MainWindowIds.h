#pragma once

namespace fb::mainids {

// Control ids of the main window and the small windows it opens itself; each
// widget carries its id as object name. Menu items carry their command's
// number instead (MainWindowCommands.h).
constexpr const char* kWindow = "102";
constexpr const char* kJobList = "1000";
constexpr const char* kTotalItemsLabel = "1025";
constexpr const char* kTotalItems = "1021";
constexpr const char* kAppendFiles = "1002";
constexpr const char* kClose = "1001";
constexpr const char* kRunProgress = "RunProgress";
constexpr const char* kWebsiteLink = "1022";
constexpr const char* kRowContextMenu = "130";

// "About Folioband Batch"
constexpr const char* kAbout = "100";
constexpr const char* kAboutOk = "1";

// The splash window and its picture.
constexpr const char* kSplash = "134";
constexpr const char* kSplashPicture = "136";

} // namespace fb::mainids
