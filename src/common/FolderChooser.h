#pragma once
#include <optional>
#include <string>

namespace fb {

struct FolderRequest {
    std::string title;       // window title, e.g. "Move To Directory..."
    std::string instruction; // the text shown above the tree
    std::string startFolder; // empty: the current directory
};

// Picks a folder, typed or chosen, tested and (on request) created before it
// is accepted; nullopt means the user cancelled.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    virtual std::optional<std::string> chooseFolder(const FolderRequest&) = 0;
};

// Without a display nobody can choose: Cancel.
class CancelFolderChooser : public FolderChooser {
public:
    std::optional<std::string> chooseFolder(const FolderRequest&) override { return std::nullopt; }
};

} // namespace fb
