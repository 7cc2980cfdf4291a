#include "engine/ProcessCloser.h"

#include "support/Text.h"

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
    ssize_t n = readlink(link.c_str(), buf.data(), buf.size() - 1);
    if (n > 0) return std::string(buf.data(), static_cast<std::size_t>(n));
    return "";
}

std::string firstCommandWord(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::string word;
    std::getline(in, word, '\0');
    return word;
}

} // namespace

bool enumerateProcesses(const ProcessVisitor& visitor)
{
    DIR* dir = opendir("/proc");
    if (!dir) return false;
    while (dirent* e = readdir(dir)) {
        char* end = nullptr;
        long pid = std::strtol(e->d_name, &end, 10);
        if (!end || *end || pid <= 0) continue;
        std::string path = executablePath(static_cast<int>(pid));
        // Scripts and programs run through a loader show their name only in argv[0].
        std::string word = firstCommandWord(static_cast<int>(pid));
        if (path.empty() || (!word.empty() && path.find_last_of('/') != std::string::npos &&
                             toLowerAscii(path).find(toLowerAscii(word.substr(word.find_last_of('/') + 1))) ==
                                 std::string::npos))
            path = word.empty() ? path : word;
        if (!visitor(static_cast<int>(pid), path)) break;
    }
    closedir(dir);
    return true;
}

bool processPathMatches(const std::string& path, const std::string& name)
{
    if (name.empty()) return false;
    std::string p = toLowerAscii(path);
    std::string n = toLowerAscii(name);
    std::size_t s = p.find_last_of("\\/");
    std::string pattern;
    if (s == std::string::npos) {
        pattern = n;
    } else {
        pattern = p.substr(s, 1) + n;
        if (n.find('.') == std::string::npos && endsWith(p, ".exe") && p.size() - s > 4)
            pattern += ".exe";
    }
    return p.find(pattern) != std::string::npos;
}

int closeProcessesByName(std::string name)
{
    if (name.empty()) return -1;
    if (name.front() == '"') name.erase(0, 1);
    if (!name.empty() && name.back() == '"') name.pop_back();
    int lastError = 0;
    const int self = static_cast<int>(getpid());
    enumerateProcesses([&](int pid, const std::string& path) {
        if (pid != self && processPathMatches(path, name)) {
            if (kill(pid, SIGKILL) != 0) lastError = errno;
        }
        return true;
    });
    return lastError;
}

} // namespace fb
