#pragma once
#include <functional>
#include <string>

namespace fb {

// Visits (process id, executable path) for every running process, also with an
// empty path when it is unknown; the visitor returns false to stop. False when
// the process list can't be read.
using ProcessVisitor = std::function<bool(int pid, const std::string& path)>;
bool enumerateProcesses(const ProcessVisitor& visitor);

// Whether a process's path names the executable `name`, case-insensitively:
// the name must follow the path's last "\" or "/"; a name without "." also
// matches "<name>.exe" when the path ends so.
bool processPathMatches(const std::string& path, const std::string& name);

// Kills every process of that name except this one. One leading and one
// trailing '"' are dropped; -1 for an empty name, otherwise the last error
// number (0 when none).
int closeProcessesByName(std::string name);

// Acrobat Reader must not answer the automation calls of a run.
class ReaderCloser {
public:
    virtual ~ReaderCloser() = default;
    // The Windows process name on purpose: the one Reader process the run has always closed.
    virtual void closeReaders() { closeProcessesByName("AcroRd32.exe"); }
};

} // namespace fb
