#pragma once

namespace fb {

// Exit codes of the program, so that scripts and cron jobs can tell what happened.
constexpr int kExitOk = 0;
constexpr int kExitClosedWhileProcessing = 1; // closed while a row read "Processing"
constexpr int kExitUsage = 2;                 // bad command line, or nothing to do headless
constexpr int kExitJobIncomplete = 3;         // a run ended early, or a source was missing

// The code a run ends with, for the process and for a plan of it alike: a row
// left "Processing" ends the process at once, before anything else is counted.
constexpr int runExitCode(bool leftProcessing, bool incomplete)
{
    if (leftProcessing) return kExitClosedWhileProcessing;
    return incomplete ? kExitJobIncomplete : kExitOk;
}

} // namespace fb
