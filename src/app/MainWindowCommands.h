#pragma once
#include <string>
#include <vector>

namespace fb {

// Command numbers of the main window's menus, accelerators and buttons. The
// same number may mean different things depending on where it came from: a
// 32806 from the menu bar is the grouping bulk load, from the row's context
// menu it is Show Command Line.
enum MainWindowCommand : int {
    kCmdAbout = 16,
    kCmdCloseButton = 1001,
    kCmdAppendFiles = 1002,
    kCmdUpdateItem = 32771,
    kCmdContextMoveUp = 32772,
    kCmdContextMoveDown = 32773,
    kCmdDeleteItem = 32774,
    kCmdLoadBatchFile = 32775,
    kCmdAppendBatchFile = 32776,
    kCmdSaveBatchFile = 32777,
    kCmdSaveBatchFileAs = 32778,
    kCmdExit = 32779,
    kCmdDeleteSelection = 32785,
    kCmdClearAll = 32786,
    kCmdMoveUp = 32787,
    kCmdMoveDown = 32788,
    kCmdSortOnFilename = 32789,
    kCmdRefreshPageCounts = 32790,
    kCmdRefreshAll = 32791,
    kCmdViewLog = 32792,
    kCmdClearLog = 32793,
    kCmdWebsiteHomepage = 32795,
    kCmdHtmlHelp = 32796,
    kCmdEmailBug = 32797,
    kCmdSetup = 32798,
    kCmdAccelMoveUp = 32799,
    kCmdAccelDelete = 32800,
    kCmdAccelMoveDown = 32801,
    kCmdAlwaysShowParameters = 32802,
    kCmdUpdateSelection = 32803,
    kCmdShowCommandLine = 32805,
    kCmdBulkLoadGrouping = 32806,
    kCmdContextShowCommandLine = 32806,
    kCmdExportLogToCsv = 32807,
    kCmdBulkLoadToOneOutput = 32808,
    kCmdReverseSort = 32809,
    kCmdPreviewJob = 32810,
};

enum class CommandOrigin { MenuBar, ContextMenu, Accelerator, Button };

// One menu item; a command of 0 is a separator. After a tab comes the key shown.
struct MenuItemDef {
    int command;
    const char* text;
    bool checkable = false;
};

struct MenuDef {
    const char* title;
    std::vector<MenuItemDef> items;
};

const std::vector<MenuDef>& mainMenuBar();
const std::vector<MenuItemDef>& rowContextMenu();

// The accelerators (key names as a key-sequence text) and their commands.
struct AcceleratorDef {
    const char* key;
    int command;
};
const std::vector<AcceleratorDef>& mainAccelerators();

} // namespace fb
