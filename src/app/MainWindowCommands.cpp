#include "app/MainWindowCommands.h"

namespace fb {

const std::vector<MenuDef>& mainMenuBar()
{
    static const std::vector<MenuDef> menus = {
        {"&File",
         {{kCmdBulkLoadGrouping, "Bulk Load (Grouping)"},
          {kCmdBulkLoadToOneOutput, "Bulk Load (To One Output)"},
          {kCmdLoadBatchFile, "Load Batch File"},
          {kCmdAppendBatchFile, "Append Batch File"},
          {kCmdSaveBatchFile, "Save Batch File"},
          {kCmdSaveBatchFileAs, "SaveAs Batch File"},
          {kCmdExit, "&Exit"}}},
        {"Options",
         {{kCmdSetup, "&Setup"},
          {kCmdAlwaysShowParameters, "Always show parameters box for each file", true}}},
        {"&Actions",
         {{kCmdUpdateSelection, "Update Selection"},
          {kCmdDeleteSelection, "&Delete Current Selection\tDELETE"},
          {kCmdClearAll, "&Clear ALL"},
          {kCmdMoveUp, "Move Up\ta"},
          {kCmdMoveDown, "Move Down\tz"},
          {kCmdShowCommandLine, "&Show Command Line for selection"},
          {kCmdPreviewJob, "&Preview Job..."}}},
        {"&Sort", {{kCmdSortOnFilename, "&Sort on filename"}, {kCmdReverseSort, "Reverse Sort on Filename"}}},
        {"Window", {{kCmdRefreshPageCounts, "&Refresh Page Counts"}, {kCmdRefreshAll, "Refresh ALL"}}},
        {"&Log",
         {{kCmdViewLog, "&View Log"},
          {kCmdClearLog, "&Clear Log"},
          {kCmdExportLogToCsv, "&Export Log to CSV"}}},
        // The About item lives in the window's system menu where there is one;
        // not every Linux desktop shows that menu, so Help carries it too.
        {"&Help",
         {{kCmdWebsiteHomepage, "Go to Website Homepage"},
          {kCmdHtmlHelp, "HTML Help"},
          {kCmdEmailBug, "Email Bug/Suggestion/Comments"},
          {0, nullptr},
          {kCmdAbout, "&About Folioband..."}}},
    };
    return menus;
}

const std::vector<MenuItemDef>& rowContextMenu()
{
    static const std::vector<MenuItemDef> items = {
        {kCmdUpdateItem, "Update Item"},
        {kCmdContextShowCommandLine, "Show Command Line Parameters"},
        {0, nullptr},
        {kCmdContextMoveUp, "Move UP"},
        {kCmdContextMoveDown, "Move Down"},
        {0, nullptr},
        {kCmdDeleteItem, "Delete Item"},
    };
    return items;
}

const std::vector<AcceleratorDef>& mainAccelerators()
{
    static const std::vector<AcceleratorDef> keys = {
        {"A", kCmdAccelMoveUp}, {"Del", kCmdAccelDelete}, {"Z", kCmdAccelMoveDown}};
    return keys;
}

} // namespace fb
