#include "app/CheckOrCreateFolder.h"

#include "common/Files.h"

#include <string_view>

namespace fb {

namespace {

bool validComponent(std::string_view c)
{
    if (c.empty()) return false;
    auto edge = [](char ch) { return ch == ' ' || ch == '\t' || ch == '.'; };
    if (edge(c.front()) || edge(c.back())) return false;
    return c.find_first_of("\"*:<>?\\|") == std::string_view::npos;
}

std::string folderMessage(const std::string& path, const char* tail)
{
    return "The folder:\n\n" + path + "\n\n" + tail;
}

} // namespace

bool isValidFolderPath(const std::string& path)
{
    if (path.empty() || path.front() != '/') return false;
    if (path.size() == 1) return true; // the root alone
    std::string_view rest(path);
    rest.remove_prefix(1);
    for (;;) {
        std::size_t slash = rest.find('/');
        if (!validComponent(rest.substr(0, slash))) return false;
        if (slash == std::string_view::npos) return true;
        rest.remove_prefix(slash + 1);
    }
}

int checkOrCreateFolder(const std::string& path, MessageBoxes& messages)
{
    if (!isValidFolderPath(path)) {
        messages.show(folderMessage(path, "is invalid. Please reenter."), applicationName(),
                      MessageButtons::Ok, MessageIcon::Exclamation);
        return 1;
    }
    if (isDirectory(path)) return 0;
    MessageAnswer answer =
        messages.show(folderMessage(path, "does not exist. Do you want the folder to be created?"),
                      applicationName(), MessageButtons::YesNo, MessageIcon::Question);
    if (answer != MessageAnswer::Yes) return -1;
    // From the top down; folders made before a failure further down stay.
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string level = path.substr(0, slash);
        createFolderOneLevel(level);
        if (!isDirectory(level)) {
            messages.show(folderMessage(path, "can not be created. Please double check."), applicationName(),
                          MessageButtons::Ok, MessageIcon::Exclamation);
            return 2;
        }
        if (slash == std::string::npos) return 0;
    }
}

} // namespace fb
