#pragma once
#include <map>
#include <string>

namespace fb {

// Maps an icon key (a file type, e.g. ".pdf") to an index in the program's own
// small image list: the first request for a key takes the next free index, later
// requests get the same index back. Lives as long as the process.
class FileIconCache {
public:
    // Index in the program's image list; isNew tells the caller to copy the icon in.
    int indexFor(const std::string& iconKey, bool* isNew = nullptr);
    int size() const { return static_cast<int>(indices_.size()); }
    void clear() { indices_.clear(); }

    static FileIconCache& shared();

private:
    std::map<std::string, int> indices_;
};

} // namespace fb
