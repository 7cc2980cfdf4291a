#include "common/Messages.h"

#include <cstdio>
#include <cstring>

namespace fb {

std::string applicationName() { return "mervo"; }

std::string systemErrorText(int error)
{
    if (error == 0) return {};
    char buf[256];
    // The GNU strerror_r returns its text, which need not be in buf.
    return ::strerror_r(error, buf, sizeof buf);
}

MessageAnswer StderrMessageBoxes::show(const std::string& text, const std::string& caption,
                                       MessageButtons buttons, MessageIcon)
{
    std::string line = caption + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

} // namespace fb
