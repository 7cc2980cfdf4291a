#pragma once

namespace fb::setupids {

// Control ids of the "Setup" dialog; each widget carries its id as object name.
constexpr const char* kOddEveryFile = "1022";
constexpr const char* kOddEveryBrowse = "1028";
constexpr const char* kOddFinalFile = "1024";
constexpr const char* kOddFinalBrowse = "1029";
constexpr const char* kNoSplash = "1026";
constexpr const char* kSaveAndExit = "1014";
constexpr const char* kCancel = "1003";

} // namespace fb::setupids
