#pragma once
#include "engine/Automation.h"
#include "common/EventPump.h"
#include "common/Messages.h"

#include <string>

namespace fb {

struct AcrobatContext {
    AutomationServer& server;
    MessageBoxes& messages;
    EventPump& pump;
    ConnectionWindow& connection;
    bool noConnectionWindow = false;
    bool quietMode = false;
};

// The page count of a file asked of the automation server; 0 on any failure.
int acrobatPageCount(AcrobatContext& ctx, const std::string& path);

extern const char* const kConnectFailedMessage;

} // namespace fb
