#pragma once

namespace fb::appendids {

// Control ids of the "Append Parameters" dialog; each widget carries its id as
// object name, by which tests find it.
constexpr const char* kFileName = "1005";
constexpr const char* kPageCount = "1018";
constexpr const char* kAppendParameters = "1004";
constexpr const char* kMoveToDirectory = "1007";
constexpr const char* kMoveToBrowse = "1008";
constexpr const char* kOutputFile = "1009";
constexpr const char* kOutputBrowse = "1010";
constexpr const char* kCreateNew = "1022";
constexpr const char* kAppendExisting = "1021";
constexpr const char* kKeepBookmarks = "1026";
constexpr const char* kBookmarkFilename = "1027";
constexpr const char* kUseSameParameters = "1019";
constexpr const char* kHelp = "1023";
constexpr const char* kSaveAndExit = "1006";
constexpr const char* kCancel = "1003";

} // namespace fb::appendids
