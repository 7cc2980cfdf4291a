#pragma once
#include <optional>
#include <string>

namespace fb {

// The seven values the Append Parameters dialog gives a row (columns 2 and 5 to 10).
struct JobParameters {
    std::string appendParameters, moveToDirectory, outputFile, keepBookmarks, createNew, appendExisting,
        bookmarkFilename;
};

// What Show Command Line hands the dialog besides the file name: the row's
// columns 2 and 5 to 9. "Bookmark Filename" is not among them: the dialog
// keeps the value it held.
struct CommandLineColumns {
    std::string appendParameters, moveToDirectory, outputFile, keepBookmarks, createNew, appendExisting;
};

struct ParametersRequest {
    std::string fileName;
    int pageCount = 0;
    std::optional<JobParameters> rowValues; // set when a row is updated
    bool alwaysShow = true;                 // off: confirm at once with the held values
};

struct ParametersAnswer {
    bool ok = false;
    JobParameters values;
    bool useSameParameters = false;
};

// The Append Parameters dialog as the job list sees it.
class ParametersPrompt {
public:
    virtual ~ParametersPrompt() = default;
    virtual ParametersAnswer prompt(const ParametersRequest&) = 0;
    // Remember a row's values, so the next opening starts from them.
    virtual void holdValues(const std::string&, const CommandLineColumns&) {}
};

// Nobody to ask: the dialog's default answer, Cancel.
class CancelParametersPrompt : public ParametersPrompt {
public:
    ParametersAnswer prompt(const ParametersRequest&) override { return {}; }
};

} // namespace fb
