#include "common/Trace.h"

#include "common/Messages.h"
#include "common/Text.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace fb {
namespace {

std::atomic<bool> switchedOn{false};

bool askedByEnvironment()
{
    static const bool asked = [] {
        const char* value = std::getenv("MERVO_DEBUG");
        return value && std::strcmp(value, "1") == 0;
    }();
    return asked;
}

} // namespace

void setTracing(bool on)
{
    switchedOn = on;
}

bool tracing()
{
    return switchedOn || askedByEnvironment();
}

void trace(const std::string& line)
{
    if (!tracing()) return;
    // One whole line each, even when the watcher thread traces too.
    static std::mutex lock;
    std::lock_guard<std::mutex> hold(lock);
    // A message and its reason, told on one line as the closing line tells them.
    StderrMessageBoxes().show(onOneLine(line), applicationName());
}

} // namespace fb
