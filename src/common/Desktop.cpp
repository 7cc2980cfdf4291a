#include "common/Desktop.h"

#include "common/Files.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fb {

namespace {

// posix_spawnp with stdin from /dev/null; the child's pid, or -errno.
pid_t spawn(const std::vector<std::string>& args)
{
    if (args.empty() || args[0].empty()) return -ENOENT;
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // The signals this program ignores are the started program's own business.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -rc;
}

// A started program is never waited for by the caller; this reaps it so it
// leaves no zombie behind.
void reapLater(pid_t pid)
{
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

bool looksLikeUrl(const std::string& target)
{
    auto colon = target.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        char c = target[i];
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                  (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
        if (!ok) return false;
    }
    return true;
}

} // namespace

bool runningHeadless()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::strcmp(platform, "offscreen") == 0) return true;
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return !set("DISPLAY") && !set("WAYLAND_DISPLAY");
}

OpenOutcome XdgOpener::open(const std::string& target)
{
    if (target.empty()) return {OpenStatus::MissingTarget, 0};
    if (!looksLikeUrl(target) && !pathExists(target)) return {OpenStatus::MissingTarget, 0};
    pid_t pid = spawn({program_, target});
    if (pid < 0) {
        return -pid == ENOENT || -pid == EACCES ? OpenOutcome{OpenStatus::NoHandler, 0}
                                                : OpenOutcome{OpenStatus::Failed, -pid};
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs_);
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (!WIFEXITED(status)) return {OpenStatus::Failed, 128 + WTERMSIG(status)};
            // xdg-open: 0 done, 2 a file was missing, 3 no tool to open it.
            switch (WEXITSTATUS(status)) {
            case 0: return {OpenStatus::Opened, 0};
            case 2: return {OpenStatus::MissingTarget, 2};
            case 3: return {OpenStatus::NoHandler, 3};
            default: return {OpenStatus::Failed, WEXITSTATUS(status)};
            }
        }
        if (r < 0 && errno != EINTR) return {OpenStatus::Opened, 0};
        if (std::chrono::steady_clock::now() >= deadline) {
            reapLater(pid);
            return {OpenStatus::Opened, 0};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int SpawnProgramStarter::start(const std::vector<std::string>& argv)
{
    pid_t pid = spawn(argv);
    if (pid < 0) return -pid;
    reapLater(pid);
    return 0;
}

} // namespace fb
