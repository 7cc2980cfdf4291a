#pragma once
#include "common/Desktop.h"
#include "common/FileDialogs.h"
#include "common/Messages.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fb {

class AppendLog;

// The six fields of a log line as the viewer and the CSV export show them:
// "Date/Time", "File Size", "Filename", "Creation Time", "Modified Time",
// "Source File".
constexpr int kLogColumnCount = 6;
struct LogRow {
    std::array<std::string, kLogColumnCount> fields;
    bool operator==(const LogRow&) const = default;
};

// Cuts one line (line end already removed) into its fields. A line with tabs
// is cut at its tabs, so a long path that pushed the later fields to the right
// still gives the right fields; a line without tabs is cut at the fixed
// positions. Each field loses its trailing blanks.
LogRow parseLogLine(std::string_view line);

// Every line of the log in order, each read whole with only its line-end
// carriage returns dropped; nullopt when the file can't be opened.
std::optional<std::vector<LogRow>> readLogFile(const std::string& path);
// readLogFile, telling the user "Can't open append.log" with the system's
// reason when it can't be opened.
std::optional<std::vector<LogRow>> readLogFileOrSay(const std::string& path, MessageBoxes& messages);

// Where each row of rows[low..high] comes from once sorted by the column's
// text, compared byte by byte: result[i] is the old index of the row that
// ends at low + i. Nothing moves for a column out of range, or high <= low
// (high -1 means the last row).
std::vector<int> logSortOrder(const std::vector<LogRow>& rows, int column, bool ascending, int low = 0,
                              int high = -1);
void SortLogRows(std::vector<LogRow>& rows, int column, bool ascending, int low = 0, int high = -1);

// A CSV field: quoted, with its quotes doubled, only when it holds a comma,
// a quotation mark or a line break.
std::string csvField(std::string_view field);
constexpr std::string_view kLogCsvHeader =
    "Time,Bytes,Append File,Created Time,Modified Time,Source File\r\n";
std::string csvLine(const LogRow& row);

// "&Clear Log": empties the file and keeps it open for later records.
bool ClearLog(AppendLog& log);

// "&Export Log to CSV": asks for the file, writes it, offers to open it.
// Returns 1 written, 0 cancelled, -1 failed (reported).
int ExportLogToCsv(const std::string& logPath, FileDialogs& dialogs, MessageBoxes& messages,
                   DesktopOpener& opener);

} // namespace fb
