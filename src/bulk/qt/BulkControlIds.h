#pragma once

namespace fb::bulkids {

// Control ids of the bulk-load windows; each widget carries its id as object name.
constexpr const char* kOk = "1";
constexpr const char* kCancel = "2";

// "Bulk Load Options"
constexpr const char* kGroupingExplanation = "1040";
constexpr const char* kOutputDirectoryLabel = "1041";
constexpr const char* kOutputDirectory = "1042";
constexpr const char* kOutputDirectoryBrowse = "1043";
constexpr const char* kSuffixLabel = "1044";
constexpr const char* kSuffix = "1045";

// "Bulk Load To One Output File"
constexpr const char* kOneOutputExplanation = "1050";
constexpr const char* kOutputFileLabel = "1051";
constexpr const char* kOutputFile = "1052";
constexpr const char* kOutputFileBrowse = "1053";
constexpr const char* kContainsLabel = "1054";
constexpr const char* kContains = "1055";
constexpr const char* kContainsExample = "1056";
constexpr const char* kRemoveExisting = "1057";

// "Scanning"
constexpr const char* kScanningText = "1060";
constexpr const char* kScanningFolder = "1061";
constexpr const char* kScanningStop = "1062";
constexpr const char* kScanningCount = "1063";

} // namespace fb::bulkids
