#pragma once

namespace fb {

// Exit codes of the program, so that scripts and cron jobs can tell what happened.
constexpr int kExitOk = 0;
constexpr int kExitClosedWhileProcessing = 1;  // closed while a row read "Processing"
constexpr int kExitUsage = 2;                  // bad command line, or nothing to do headless
constexpr int kExitJobIncomplete = 3;          // a run ended early, or a source was missing

} // namespace fb
