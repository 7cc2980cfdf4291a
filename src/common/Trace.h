#pragma once

#include <string>

namespace fb {

// The run's own account of what it does, for someone debugging an unattended
// job: --verbose or MERVO_DEBUG=1 turns it on; each line goes to standard error.
void setTracing(bool on);
bool tracing();
void trace(const std::string& line);

} // namespace fb
