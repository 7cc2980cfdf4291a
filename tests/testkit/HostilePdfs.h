#pragma once
// The kinds of hostile file every PDF step is put through: damaged, looping,
// encrypted, huge, and not files at all.
#include <functional>
#include <string>
#include <vector>

namespace fb::test {

struct Kind {
    std::string name;
    // Makes the file at path; folder is scratch space beside it.
    std::function<void(const std::string& path, const std::string& folder)> make;
};

std::vector<Kind> hostileKinds();

// A good sample PDF named after its file, with one bookmark.
void writeSample(const std::string& path, int pages);

} // namespace fb::test
