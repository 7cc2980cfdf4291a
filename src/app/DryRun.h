#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace fb {

// The switch that turns a command line's runs into plans.
inline constexpr const char* kDryRunSwitch = "--dry-run";

// Interprets the command line as the program would, but every run it asks for
// is worked out against a pretend file system and printed as a plan instead of
// done. Returns the exit code the real command line would end with.
int runDryRun(const std::vector<std::string>& arguments, const std::string& startDirectory,
              std::ostream& out);

} // namespace fb
