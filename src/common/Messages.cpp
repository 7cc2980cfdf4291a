#include "common/Messages.h"

#include "common/Text.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include <unistd.h>

namespace fb {

namespace {

// The file name without folder and extension: "/usr/bin/mervo" -> "mervo".
std::string bareName(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

// The name the program was started under (argv[0]), so a renamed or linked
// copy speaks under its own name; the executable's own file when that says
// nothing.
std::string runningProgramName()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string first;
    std::getline(in, first, '\0');
    std::string name = bareName(first);
    if (!name.empty()) return name;
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n > 0) name = bareName(std::string(buf.data(), static_cast<std::size_t>(n)));
    return name.empty() ? "mervo" : name;
}

} // namespace

std::string applicationName()
{
    static const std::string name = runningProgramName();
    return name;
}

MessageAnswer StderrMessageBoxes::show(const std::string& text, const std::string& caption,
                                       MessageButtons buttons, MessageIcon)
{
    // A write that fails (a closed pipe) is let go: the job goes on without it.
    std::string line = escapeControls(caption + ": " + text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

} // namespace fb
