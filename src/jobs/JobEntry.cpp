#include "jobs/JobEntry.h"

#include <array>
#include <stdexcept>

namespace fb {

const ColumnInfo& columnInfo(int column)
{
    static const std::array<ColumnInfo, kColumnCount> columns{{
        {"Selected", 60},
        {"Filename", 276},
        {"Append Parameters", 120},
        {"Pages", 70},
        {"Status", 70},
        {"Move To Directory After Append", 200},
        {"Append to PDF File/New File", 200},
        {"Keep Bookmarks", 0},
        {"Create", 0},
        {"Append", 0},
        {"Bookmark Filename", 66},
    }};
    return columns.at(static_cast<std::size_t>(column));
}

std::string& JobEntry::column(int c)
{
    return const_cast<std::string&>(static_cast<const JobEntry&>(*this).column(c));
}

const std::string& JobEntry::column(int c) const
{
    switch (c) {
    case kSelected: return selected;
    case kFileName: return fileName;
    case kAppendParameters: return appendParameters;
    case kPages: return pages;
    case kStatus: return status;
    case kMoveToDirectory: return moveToDirectory;
    case kOutputFile: return outputFile;
    case kKeepBookmarks: return keepBookmarks;
    case kCreateNew: return createNew;
    case kAppendExisting: return appendExisting;
    case kBookmarkFilename: return bookmarkFilename;
    }
    throw std::out_of_range("job list column");
}

RowValues JobEntry::values() const
{
    RowValues v;
    for (const auto& [c, field] : kRowValueColumns)
        v.*field = column(c);
    return v;
}

} // namespace fb
