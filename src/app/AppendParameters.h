#pragma once
#include "common/FileDialogs.h"
#include "common/FolderChooser.h"
#include "common/Messages.h"
#include "jobs/ParametersPrompt.h"

#include <string>

namespace fb {

// What the Append Parameters controls show at one moment.
struct AppendParametersControls {
    std::string fileName;
    int pageCount = 0;
    std::string appendParameters;
    std::string moveToDirectory;
    std::string outputFile;
    bool keepBookmarks = true;
    bool bookmarkFilename = false;
    bool createNew = false; // the radio buttons: create (true) or append (false)
    bool useSameParameters = false;
};

// The values of the Append Parameters dialog and its rules, without a window.
// The values outlive each opening: a new file is offered what was confirmed
// (or taken by a button) last. The window shows controls(), hands the
// controls back through take() whenever a button takes them, and asks
// confirm() on "Save && Exit".
class AppendParameters {
public:
    explicit AppendParameters(MessageBoxes& messages) : messages_(messages) {}

    // Opening: the file and its page count, a row's own values for an update,
    // and the check states worked out from the held "Y"/"N" values.
    // True when the dialog confirmed itself at once (the flag was off and the
    // held values pass the checks); the window is then never shown.
    bool open(const ParametersRequest& request);

    // The controls as the held values draw them.
    const AppendParametersControls& controls() const { return shown_; }

    // The window's controls become the held values (a radio button, the output
    // Browse and "Save && Exit" take them); the checked choice and boxes turn
    // into "Y", the others into "N".
    void take(const AppendParametersControls& controls);

    // "Save && Exit": the two checks in order, each with its own message box.
    // True when the dialog may close with OK.
    bool confirm(const AppendParametersControls& controls);

    // The two Browse buttons: what to ask, and what an answer changes.
    static FolderRequest moveToFolderRequest(const std::string& currentText);
    static FileDialogRequest outputFileRequest();
    void outputFileChosen(const std::string& path);

    // The answer the caller copies into the row.
    ParametersAnswer answer() const;

    // The row the command line was shown for gives the held values, all but
    // the file-name bookmark.
    void hold(const std::string& fileName, const RowValues& values);

private:
    // Says so when the file behind a page count below 0 is missing or unreadable.
    bool reportMissingFile();
    void drawFromHeld();

    MessageBoxes& messages_;
    RowValues held_;
    std::string fileName_;
    int pageCount_ = 0;
    bool useSame_ = false;
    AppendParametersControls shown_;
};

} // namespace fb
