#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fb {

// Pages first..last, 1-based, both included.
struct PageRun {
    int32_t first = 0;
    int32_t last = 0;
    bool operator==(const PageRun&) const = default;
};
using PageRunList = std::vector<PageRun>;

constexpr std::size_t kMaxPageRuns = 19999;

// Never fails: text that means nothing yields an empty list. Stops after
// kMaxPageRuns + 1 runs so memory stays bounded and callers can tell "too many".
PageRunList expandPageSpec(std::string_view spec, int32_t pageCount);

// nullopt when valid, else the text of the first error.
std::optional<std::string> validatePageSpec(std::string_view spec, int32_t pageCount);
// The same for runs already expanded from a selection with this page count.
std::optional<std::string> validatePageRuns(const PageRunList& runs, int32_t pageCount);

bool hasTooManyRuns(const PageRunList& runs); // size() > kMaxPageRuns

} // namespace fb
