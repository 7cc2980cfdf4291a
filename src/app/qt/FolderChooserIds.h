#pragma once

namespace fb::folderids {

// Control ids of the folder chooser; each widget carries its id as object name.
constexpr const char* kInstruction = "14146";
constexpr const char* kPath = "14148";
constexpr const char* kTree = "14145";
constexpr const char* kOk = "1";
constexpr const char* kCancel = "2";

} // namespace fb::folderids
