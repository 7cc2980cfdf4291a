#include "jobs/FileIconCache.h"

namespace fb {

int FileIconCache::indexFor(const std::string& iconKey, bool* isNew)
{
    auto [it, inserted] = indices_.try_emplace(iconKey, static_cast<int>(indices_.size()));
    if (isNew) *isNew = inserted;
    return it->second;
}

FileIconCache& FileIconCache::shared()
{
    static FileIconCache cache;
    return cache;
}

} // namespace fb
