#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace fb {

// File-system style name match: '*' any run of characters, '?' any one
// character, everything else literal and compared without regard to ASCII
// case, as the folders these patterns were written for behave.
bool wildcardMatch(std::string_view pattern, std::string_view name);

// Names of the non-folder entries of a folder that match the pattern, sorted
// byte-wise so the rows come in the same order on every run. Empty when the
// folder can't be read.
std::vector<std::string> matchingFileNames(const std::string& folder, std::string_view pattern);

} // namespace fb
