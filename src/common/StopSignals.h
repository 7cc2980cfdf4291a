#pragma once
#include <csignal>
#include <string>

namespace fb {

// SIGPIPE and SIGXFSZ are ignored: a closed pipe or a file-size limit then
// shows as a write that fails (EPIPE, EFBIG), which its writer reports, instead
// of ending the process part way through a job.
void ignoreWriteSignals();

// SIGTERM, SIGINT and SIGHUP ask for a stop, the one the Stop button asks for:
// the row under way finishes or rolls back and the program ends as a stopped
// run does. A second such signal ends the process at once: this process's
// temporary files are removed, closingLine goes to standard error and the
// process exits with exitCode. Outputs are only ever replaced by rename, so
// even then none is left torn.
void installStopSignals(const std::string& closingLine, int exitCode);

// The signal that asked for a stop; 0 while none has.
int stopSignal();
// "SIGTERM", "SIGINT", "SIGHUP", else "signal N".
std::string signalName(int signal);

// Temporary files are noted as they are made, so that the handler of a
// second signal can remove those still there without allocating anything.
void noteOwnTempFile(const std::string& path);
// Removes every noted temporary file that still exists. Safe in a signal handler.
void removeOwnTempFiles();

// Held while a temporary file is made and noted. Stop signals wait in this
// thread meanwhile, and a second signal handled by another thread waits for
// the note, so no file is ever made that the handler cannot see.
class MakingOwnTempFile {
public:
    MakingOwnTempFile();
    ~MakingOwnTempFile();
    MakingOwnTempFile(const MakingOwnTempFile&) = delete;
    MakingOwnTempFile& operator=(const MakingOwnTempFile&) = delete;

private:
    sigset_t previousMask_;
};

} // namespace fb
