#include "bulk/qt/QtBulkLoad.h"

#include "bulk/qt/ScanningWindow.h"

#include <utility>

namespace fb {

QtBulkLoad::QtBulkLoad(JobList& jobs, MessageBoxes& messages, FolderChooser& folders, FileDialogs& files,
                       EventPump& pump, QWidget* window, std::function<void()> fitFileNameColumn)
    : options_(folders, files, window),
      loader_({jobs, messages, folders, options_, pump,
               [window] { return std::make_unique<ScanningProgress>(window); }, std::move(fitFileNameColumn)})
{
}

} // namespace fb
