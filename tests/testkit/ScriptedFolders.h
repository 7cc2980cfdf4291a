#pragma once
#include "common/FolderChooser.h"

#include <optional>
#include <string>
#include <vector>

namespace fb::test {

// A folder chooser that records what it was asked and gives one set answer.
struct ScriptedFolders : FolderChooser {
    std::optional<std::string> chooseFolder(const FolderRequest& r) override
    {
        requests.push_back(r);
        return answer;
    }
    std::vector<FolderRequest> requests;
    std::optional<std::string> answer;
};

} // namespace fb::test
