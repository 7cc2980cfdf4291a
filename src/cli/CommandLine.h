#pragma once
#include "jobs/JobEntry.h"
#include "jobs/JobList.h"
#include "jobs/ParametersPrompt.h"
#include "common/FileDialogs.h"
#include "common/Messages.h"
#include "common/RunOptions.h"

#include <string>
#include <string_view>
#include <vector>

namespace fb {

// Turns on the run's account of each step on standard error.
inline constexpr const char* kVerboseSwitch = "--verbose";

// Splits a raw command-line text into argument slots. Quotation marks stay in
// the slots and every slot but the last keeps the space that ended it; the
// last slot is kept even when empty.
std::vector<std::string> splitCommandLine(std::string_view raw);

// What interpreting the command line may ask of the main window.
class CommandLineHost {
public:
    virtual ~CommandLineHost() = default;
    virtual void runAppend() = 0;       // as the "Append Files" button
    virtual void closeMainWindow() = 0; // as the "&Close" button
    virtual void readBatchFile(const std::string& path) = 0;
    virtual void refreshTotalItems() {}
    // True once the program has been asked to stop (a stop signal): the
    // arguments after that point are not interpreted.
    virtual bool stopRequested() const { return false; }
};

// True (with the text to report) when an argument is longer than any row field
// may be; such a command line is refused as a whole rather than cut short.
bool commandLineTooLong(const std::vector<std::string>& slots, std::string& message);

// Adds a row for every PDF file matching the pattern's last component.
void ExpandWildcard(const std::string& pattern, const RowValues&, JobList&);

// Interprets the arguments (slot 0 is the program). startDirectory is where
// the default output file "default.pdf" lives. False when a stop request cut
// the interpretation short.
bool ProcessCommandLine(const std::vector<std::string>& slots, JobList&, CommandLineHost&, RunOptions&,
                        const std::string& startDirectory);

// The command line that reproduces one row.
std::string buildCommandLine(const JobEntry&);

// Shows the command line for the first selected row and offers to copy it.
void ShowCommandLine(JobList&, MessageBoxes&, Clipboard&, ParametersPrompt&);

} // namespace fb
