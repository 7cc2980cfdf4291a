#pragma once
// A job list whose parameters prompt is the real Append Parameters dialog, with
// scripted folder and file choosers and recorded message boxes.
#include "app/qt/AppendParametersDialog.h"
#include "app/qt/DialogDriver.h"
#include "jobs/JobList.h"
#include "testkit/RecordingMessageBoxes.h"

namespace fb::test {

struct PromptStack {
    RecordingMessageBoxes messages;
    ScriptedFolderChooser folders;
    ScriptedFileDialogs files;
    QtParametersPrompt prompt{nullptr, folders, files, messages};
    JobList jobs{messages, prompt, {}};
};

} // namespace fb::test
