#pragma once
#include "bulk/BulkLoad.h"
#include "bulk/qt/BulkLoadDialogs.h"

#include <functional>

class QWidget;

namespace fb {

// Bulk load as the main window holds it: the loader with its settings, its
// two option dialogs and its "Scanning" window, all over the given window.
class QtBulkLoad {
public:
    QtBulkLoad(JobList& jobs, MessageBoxes& messages, FolderChooser& folders, FileDialogs& files,
               EventPump& pump, QWidget* window, std::function<void()> fitFileNameColumn);

    void grouping() { loader_.BulkLoadGrouping(); }       // "Bulk Load (Grouping)"
    void toOneOutput() { loader_.BulkLoadToOneOutput(); } // "Bulk Load (To One Output)"
    void stop() { loader_.stopWalk(); }                   // the window is closing
    BulkLoader& loader() { return loader_; }

private:
    QtBulkLoadOptionsPrompt options_;
    BulkLoader loader_;
};

} // namespace fb
