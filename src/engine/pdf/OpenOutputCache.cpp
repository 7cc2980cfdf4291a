#include "engine/pdf/OpenOutputCache.h"

#include "engine/pdf/IncrementalWriter.h"
#include "engine/pdf/PageCopier.h"

namespace fb::pdf {

OpenOutput::OpenOutput() = default;
OpenOutput::~OpenOutput() = default;

OpenOutputCache::OpenOutputCache() = default;
OpenOutputCache::~OpenOutputCache() = default;

void OpenOutputCache::keep(const std::string& path, std::unique_ptr<OpenOutput> output, long changeCount)
{
    clear();
    auto id = identityOf(path);
    if (!id || !output) return;
    path_ = path;
    identity_ = *id;
    changeCount_ = changeCount;
    output_ = std::move(output);
}

std::unique_ptr<OpenOutput> OpenOutputCache::take(const std::string& path, long changeCount)
{
    std::unique_ptr<OpenOutput> out = std::move(output_);
    const bool same = out && path == path_ && changeCount == changeCount_ && identityOf(path) == identity_;
    clear();
    return same ? std::move(out) : nullptr;
}

void OpenOutputCache::clear()
{
    output_.reset();
    path_.clear();
}

} // namespace fb::pdf
