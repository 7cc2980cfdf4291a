#pragma once
#include <string>

namespace fb {

// The two odd-page filler files the run adds; the caller owns where they come
// from (the settings file, a test, the command line).
struct FillerFiles {
    std::string oddEveryFile; // after each source that leaves the output odd
    std::string oddFinalFile; // at the very end when the final output is odd
};

// A filler path counts only when longer than one character.
inline bool isFillerSet(const std::string& path)
{
    return path.size() > 1;
}

} // namespace fb
