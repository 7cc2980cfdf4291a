#include "pages/PageSpec.h"

#include <cstdio>

#include "common/Text.h"

namespace fb {

namespace {

constexpr std::size_t kRunCap = kMaxPageRuns + 1;

// Appends runs up to the cap; every loop asks full() so that no text, however
// short, can make expansion run long or grow without bound.
class RunSink {
public:
    explicit RunSink(PageRunList& runs) : runs_(runs) {}
    bool full() const { return runs_.size() >= kRunCap; }
    void add(int64_t first, int64_t last)
    {
        if (!full()) runs_.push_back({static_cast<int32_t>(first), static_cast<int32_t>(last)});
    }

private:
    PageRunList& runs_;
};

std::vector<std::string_view> splitDropEmpty(std::string_view text, char sep, bool dropEmpty)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const auto pos = text.find(sep, start);
        const auto piece =
            text.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start);
        if (!(dropEmpty && piece.empty())) parts.push_back(piece);
        if (pos == std::string_view::npos) break;
        start = pos + 1;
    }
    return parts;
}

bool isChunkToken(std::string_view token)
{
    const auto pos = token.find('s');
    return pos != std::string_view::npos && pos + 1 == token.size();
}

void emitChunks(RunSink& sink, int32_t size, int32_t pageCount)
{
    // A chunk of 0 pages means nothing; it would never advance.
    if (size < 1 || pageCount < 1) return;
    for (int64_t first = 1; first <= pageCount && !sink.full(); first += size) {
        const int64_t last = first + size - 1;
        sink.add(first, last < pageCount ? last : pageCount);
    }
}

void emitStride(RunSink& sink, int32_t start, int32_t step, int32_t pageCount)
{
    // A missing or zero step would repeat the start page for ever.
    if (start > pageCount || step < 1) return;
    for (int64_t page = start; page <= pageCount && !sink.full(); page += step)
        sink.add(page, page);
}

void emitEvery2(RunSink& sink, int64_t from, int32_t pageCount)
{
    for (int64_t page = from; page <= pageCount && !sink.full(); page += 2)
        sink.add(page, page);
}

void expandItem(std::string_view item, int32_t pageCount, RunSink& sink)
{
    const auto tokens = splitDropEmpty(item, '-', true);
    const bool strideItem = contains(item, "n") && !contains(item, "even");
    PageRun pending;
    int plainNumbers = 0;
    bool sawAll = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string_view token = tokens[i];
        if (isChunkToken(token)) {
            emitChunks(sink, parseLeadingInt(token), pageCount);
            return;
        }
        if (strideItem) {
            const int32_t step = i + 1 < tokens.size() ? parseLeadingInt(tokens[i + 1]) : 0;
            emitStride(sink, parseLeadingInt(token), step, pageCount);
            return;
        }
        const bool hasAll = contains(token, "all");
        if (hasAll) {
            sink.add(1, pageCount);
            sawAll = true;
        }
        if (contains(token, "odd")) {
            if (pageCount >= 1) emitEvery2(sink, 1, pageCount);
            return;
        }
        if (contains(token, "even")) {
            if (pageCount >= 2) emitEvery2(sink, 2, pageCount);
            return;
        }
        if (hasAll) continue;
        if (plainNumbers == 0)
            pending.first = parseLeadingInt(token);
        else if (plainNumbers == 1)
            pending.last = parseLeadingInt(token);
        if (plainNumbers < 2) ++plainNumbers;
    }
    if (sawAll || pending.first <= 0) return;
    if (pending.last == 0) pending.last = pending.first;
    sink.add(pending.first, pending.last);
}

std::string formatTwo(const char* format, int32_t a, int32_t b)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, format, static_cast<int>(a), static_cast<int>(b));
    return buf;
}

} // namespace

PageRunList expandPageSpec(std::string_view spec, int32_t pageCount)
{
    PageRunList runs;
    RunSink sink(runs);
    for (const auto item : splitDropEmpty(spec, ',', true)) {
        if (sink.full()) break;
        expandItem(item, pageCount, sink);
    }
    return runs;
}

bool hasTooManyRuns(const PageRunList& runs)
{
    return runs.size() > kMaxPageRuns;
}

std::optional<std::string> validatePageSpec(std::string_view spec, int32_t pageCount)
{
    return validatePageRuns(expandPageSpec(spec, pageCount), pageCount);
}

std::optional<std::string> validatePageRuns(const PageRunList& runs, int32_t pageCount)
{
    if (runs.empty()) return std::string("no valid parameters");
    if (hasTooManyRuns(runs))
        return "too many page runs: at most " + std::to_string(kMaxPageRuns) + " are allowed";
    for (const PageRun& run : runs) {
        if (run.first > run.last) return formatTwo("%d is greater than %d", run.first, run.last);
        if (run.first < 1 || run.last < 1)
            return std::string("error in parameters can't start or end at Zero");
        if (run.first > pageCount || run.last > pageCount)
            return formatTwo("parameter: %d higher than pages: %d", run.last, pageCount);
    }
    return std::nullopt;
}

} // namespace fb
