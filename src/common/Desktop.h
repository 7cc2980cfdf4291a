#pragma once
#include <string>
#include <vector>

namespace fb {

// True when no window can be shown: QT_QPA_PLATFORM=offscreen, or no X11/Wayland display.
bool runningHeadless();

// What became of asking the desktop to open a url, a mail address or a document.
enum class OpenStatus { Opened, MissingTarget, NoHandler, Failed };
struct OpenOutcome {
    OpenStatus status = OpenStatus::Failed;
    int code = 0; // the opener's own exit status when it failed
};

// The desktop's "open" action, so tests can put a fake in its place.
class DesktopOpener {
public:
    virtual ~DesktopOpener() = default;
    virtual OpenOutcome open(const std::string& target) = 0;
};

// Runs xdg-open and reads its exit status. An opener that is still running
// after the wait has handed the target to a program that stays in the
// foreground: that counts as opened, and the opener is reaped when it ends.
class XdgOpener : public DesktopOpener {
public:
    explicit XdgOpener(int waitMilliseconds = 3000, std::string program = "xdg-open")
        : waitMs_(waitMilliseconds), program_(std::move(program))
    {
    }
    OpenOutcome open(const std::string& target) override;

private:
    int waitMs_;
    std::string program_;
};

// Starts a program without waiting for it.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // 0 when started, else the errno of the failed start.
    virtual int start(const std::vector<std::string>& argv) = 0;
};

class SpawnProgramStarter : public ProgramStarter {
public:
    int start(const std::vector<std::string>& argv) override;
};

} // namespace fb
