#pragma once
#include <optional>
#include <string>
#include <vector>

namespace fb {

struct FileDialogRequest {
    std::string title;
    std::vector<std::string> filters;
    std::string defaultExtension;
    bool mustExist = false;
    std::string startPath;
};

// File choosers; nullopt means the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual std::optional<std::string> openFile(const FileDialogRequest&) = 0;
    virtual std::optional<std::string> saveFile(const FileDialogRequest&) = 0;
};

// Without a display every chooser answers Cancel.
class CancelFileDialogs : public FileDialogs {
public:
    std::optional<std::string> openFile(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const FileDialogRequest&) override { return std::nullopt; }
};

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool setText(const std::string&) = 0;
};

} // namespace fb
