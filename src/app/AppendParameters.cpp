#include "app/AppendParameters.h"

#include "common/Files.h"
#include "pages/PageSpec.h"

#include <cerrno>

namespace fb {

namespace {
const char* yesNo(bool on)
{
    return on ? "Y" : "N";
}
} // namespace

void AppendParameters::drawFromHeld()
{
    shown_.fileName = fileName_;
    shown_.pageCount = pageCount_;
    shown_.appendParameters = held_.appendParameters;
    shown_.moveToDirectory = held_.moveToDirectory;
    shown_.outputFile = held_.outputFile;
    shown_.createNew = held_.createNew == "Y";
    // An empty value counts as on: a fresh dialog keeps bookmarks.
    shown_.keepBookmarks = held_.keepBookmarks != "N";
    shown_.bookmarkFilename = held_.bookmarkFilename == "Y";
    shown_.useSameParameters = useSame_;
}

bool AppendParameters::open(const ParametersRequest& request)
{
    fileName_ = request.fileName;
    pageCount_ = request.pageCount;
    if (request.rowValues) held_ = *request.rowValues;
    drawFromHeld();
    if (request.alwaysShow) {
        // Said as the dialog opens, not later as a page count of -1.
        reportMissingFile();
        return false;
    }
    return confirm(shown_);
}

bool AppendParameters::reportMissingFile()
{
    // A page count below 0 means the file could not be read when it was counted.
    if (pageCount_ >= 0) return false;
    if (isReadableRegularFile(fileName_)) {
        messages_.show("The pages of this file could not be counted:\n" + fileName_, "Error in parameters",
                       MessageButtons::Ok);
    } else {
        messages_.showWithReason("The file is missing:\n" + fileName_, "Error in parameters",
                                 reasonText(errno), MessageButtons::Ok);
    }
    return true;
}

void AppendParameters::take(const AppendParametersControls& c)
{
    held_.appendParameters = c.appendParameters;
    held_.moveToDirectory = c.moveToDirectory;
    held_.outputFile = c.outputFile;
    held_.createNew = yesNo(c.createNew);
    held_.appendExisting = yesNo(!c.createNew);
    held_.keepBookmarks = yesNo(c.keepBookmarks);
    held_.bookmarkFilename = yesNo(c.bookmarkFilename);
    useSame_ = c.useSameParameters;
    drawFromHeld();
}

bool AppendParameters::confirm(const AppendParametersControls& c)
{
    take(c);
    if (held_.outputFile.empty()) {
        messages_.show("you must specify an output pdf file or existing pdf file to append to",
                       "Error Destination", MessageButtons::Ok);
        return false;
    }
    if (reportMissingFile()) return false;
    if (auto error = validatePageSpec(held_.appendParameters, pageCount_)) {
        messages_.show(*error, "Error in parameters", MessageButtons::Ok);
        return false;
    }
    return true;
}

FolderRequest AppendParameters::moveToFolderRequest(const std::string& currentText)
{
    return {"Move To Directory...", "Please choose your directory to move to after append...", currentText};
}

FileDialogRequest AppendParameters::outputFileRequest()
{
    return {"Append To PDF File or New PDF File", {"*.pdf", "All Files *.*"}, "PDF", false, ""};
}

void AppendParameters::outputFileChosen(const std::string& path)
{
    held_.outputFile = path;
    drawFromHeld();
}

ParametersAnswer AppendParameters::answer() const
{
    return {true, held_, useSame_};
}

void AppendParameters::hold(const std::string& fileName, const RowValues& values)
{
    fileName_ = fileName;
    const std::string bookmarkFilename = held_.bookmarkFilename;
    held_ = values;
    held_.bookmarkFilename = bookmarkFilename;
    drawFromHeld();
}

} // namespace fb
