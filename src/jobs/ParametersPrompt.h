#pragma once
#include "jobs/RowValues.h"

#include <optional>
#include <string>

namespace fb {

struct ParametersRequest {
    std::string fileName;
    int pageCount = 0;
    std::optional<RowValues> rowValues; // set when a row is updated
    bool alwaysShow = true;             // off: confirm at once with the held values
};

struct ParametersAnswer {
    bool ok = false;
    RowValues values;
    bool useSameParameters = false;
};

// The Append Parameters dialog as the job list sees it.
class ParametersPrompt {
public:
    virtual ~ParametersPrompt() = default;
    virtual ParametersAnswer prompt(const ParametersRequest&) = 0;
    // Remember the row Show Command Line was asked for, so the next opening
    // starts from its values; all but bookmarkFilename, which keeps the value
    // the dialog held.
    virtual void holdValues(const std::string&, const RowValues&) {}
};

// Nobody to ask: the dialog's default answer, Cancel.
class CancelParametersPrompt : public ParametersPrompt {
public:
    ParametersAnswer prompt(const ParametersRequest&) override { return {}; }
};

} // namespace fb
