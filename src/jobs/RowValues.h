#pragma once
#include <string>

namespace fb {

// The seven texts a row is given by whoever adds or updates it (the command
// line, the Append Parameters dialog, a batch file, bulk load): columns 2 and
// 5 to 10, in column order. The list fills in the others itself.
struct RowValues {
    std::string appendParameters, moveToDirectory, outputFile, keepBookmarks, createNew, appendExisting,
        bookmarkFilename;
    bool operator==(const RowValues&) const = default;
};

} // namespace fb
