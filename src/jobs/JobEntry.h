#pragma once
#include "jobs/RowValues.h"

#include <string>

namespace fb {

// The eleven columns of a job-list row, in order.
enum Column : int {
    kSelected = 0,
    kFileName,
    kAppendParameters,
    kPages,
    kStatus,
    kMoveToDirectory,
    kOutputFile,
    kKeepBookmarks,
    kCreateNew,
    kAppendExisting,
    kBookmarkFilename,
    kColumnCount
};

// Where each of a row's values is kept.
struct RowValueColumn {
    Column column;
    std::string RowValues::*field;
};
inline constexpr RowValueColumn kRowValueColumns[] = {{kAppendParameters, &RowValues::appendParameters},
                                                      {kMoveToDirectory, &RowValues::moveToDirectory},
                                                      {kOutputFile, &RowValues::outputFile},
                                                      {kKeepBookmarks, &RowValues::keepBookmarks},
                                                      {kCreateNew, &RowValues::createNew},
                                                      {kAppendExisting, &RowValues::appendExisting},
                                                      {kBookmarkFilename, &RowValues::bookmarkFilename}};

struct ColumnInfo {
    const char* header;
    int width; // pixels; 0 = present but hidden
};
const ColumnInfo& columnInfo(int column);

struct JobEntry {
    std::string selected, fileName, appendParameters, pages, status, moveToDirectory, outputFile,
        keepBookmarks, createNew, appendExisting, bookmarkFilename;

    std::string& column(int c);
    const std::string& column(int c) const;
    RowValues values() const;
    // Selected, with a page selection and an output: an append run takes it.
    bool takesPartInRun() const { return takesPartInRun(selected, appendParameters, outputFile); }
    static bool takesPartInRun(const std::string& selected, const std::string& pages,
                               const std::string& output)
    {
        return selected == "Yes" && !pages.empty() && !output.empty();
    }
    bool operator==(const JobEntry&) const = default;
};

} // namespace fb
