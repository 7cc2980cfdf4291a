#include "engine/ProcessCloser.h"

#include "common/Text.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace fb {

namespace {

std::string executablePath(int pid)
{
    std::string link = "/proc/" + std::to_string(pid) + "/exe";
    std::vector<char> buf(4096);
    ssize_t n = ::readlink(link.c_str(), buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return "";
    return std::string(buf.data(), static_cast<std::size_t>(n));
}

// argv[0]; empty for kernel threads and processes already gone.
std::string firstCommandWord(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::string word;
    if (in) std::getline(in, word, '\0');
    return word;
}

std::string lastComponent(const std::string& path)
{
    std::size_t s = path.find_last_of("\\/");
    return s == std::string::npos ? path : path.substr(s + 1);
}

// The executable's path as the process shows it: the file behind /proc/PID/exe,
// or argv[0] when that can't be read (another user's process) or when argv[0]
// names a Windows program run through a loader such as an emulator, whose own
// file is what the link shows.
std::string processPath(int pid)
{
    std::string exe = executablePath(pid);
    std::string word = firstCommandWord(pid);
    if (exe.empty()) return word;
    if (word.empty()) return exe;
    std::string wordName = toLowerAscii(lastComponent(word));
    std::string exeName = toLowerAscii(lastComponent(exe));
    if (wordName != exeName && endsWith(wordName, ".exe") && !contains(exeName, wordName)) return word;
    return exe;
}

} // namespace

bool enumerateProcesses(const ProcessVisitor& visitor)
{
    DIR* dir = ::opendir("/proc");
    if (!dir) return false;
    while (dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (*name < '1' || *name > '9') continue;
        char* end = nullptr;
        errno = 0;
        long pid = std::strtol(name, &end, 10);
        if (*end || errno || pid <= 0 || pid > 0x3fffffff) continue;
        if (!visitor(static_cast<int>(pid), processPath(static_cast<int>(pid)))) break;
    }
    ::closedir(dir);
    return true;
}

bool processPathMatches(const std::string& path, const std::string& name)
{
    // An empty name would make the pattern a bare separator, matching nearly everything.
    if (name.empty()) return false;
    std::string p = toLowerAscii(path);
    std::string n = toLowerAscii(name);
    std::size_t s = p.find_last_of("\\/");
    std::string pattern;
    if (s == std::string::npos) {
        pattern = n;
    } else {
        pattern = p.substr(s, 1) + n;
        std::string tail = p.substr(s + 1);
        if (n.find('.') == std::string::npos && endsWith(tail, ".exe")) pattern += ".exe";
    }
    return p.find(pattern) != std::string::npos;
}

int closeProcessesByName(std::string name)
{
    if (name.empty()) return -1;
    if (name.front() == '"') name.erase(0, 1);
    if (!name.empty() && name.back() == '"') name.pop_back();
    // A name made only of quotes names no program at all.
    if (name.empty()) return -1;
    int lastError = 0;
    const int self = static_cast<int>(::getpid());
    enumerateProcesses([&](int pid, const std::string& path) {
        if (pid != self && pid != 1 && processPathMatches(path, name)) {
            // One that can't be killed (another user's) is left running.
            if (::kill(pid, SIGKILL) != 0) lastError = errno;
        }
        return true;
    });
    return lastError;
}

} // namespace fb
