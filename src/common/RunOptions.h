#pragma once

namespace fb {

// Set only by the command line; all off for a run started from the window.
// The command line sets them and the append run reads them, so they live here
// where both can see them.
struct RunOptions {
    int argumentCount = 0;
    bool noConnectionWindow = false;
    bool quietMode = false;
};

} // namespace fb
