#pragma once
#include "common/Messages.h"

#include <string>

namespace fb::bench {

// Nobody reads a benchmark's message boxes: every one is answered OK.
class SilentMessages : public MessageBoxes {
public:
    MessageAnswer show(const std::string&, const std::string&, MessageButtons, MessageIcon) override
    {
        return MessageAnswer::Ok;
    }
};

} // namespace fb::bench
