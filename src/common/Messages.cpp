#include "common/Messages.h"

#include <cstdio>
#include <cstring>

namespace fb {

std::string applicationName() { return "mervo"; }

MessageAnswer StderrMessageBoxes::show(const std::string& text, const std::string& caption,
                                       MessageButtons buttons, MessageIcon)
{
    std::string line = caption + ": " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

} // namespace fb
