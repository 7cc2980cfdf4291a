// Page selections against any page count: expansion always ends, stays
// bounded, and a selection that validates only names pages that exist.
#include "fuzz/FuzzSupport.h"
#include "pages/PageSpec.h"

#include <cstdio>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4) return 0;
    int32_t pageCount;
    std::memcpy(&pageCount, data, 4);
    // Most real counts are small; keep the large ones but let small ones dominate.
    if (pageCount > 0 && (pageCount & 0x40000000) == 0) pageCount %= 1000;
    std::string_view spec(reinterpret_cast<const char*>(data + 4), size - 4);

    fb::PageRunList runs = fb::expandPageSpec(spec, pageCount);
    FUZZ_CHECK(runs.size() <= fb::kMaxPageRuns + 1);
    auto error = fb::validatePageSpec(spec, pageCount);
    if (!error) {
        FUZZ_CHECK(!runs.empty());
        FUZZ_CHECK(!fb::hasTooManyRuns(runs) || runs.size() == fb::kMaxPageRuns + 1);
        for (const auto& r : runs) {
            FUZZ_CHECK(r.first >= 1 && r.first <= r.last && r.last <= pageCount);
        }
    } else {
        FUZZ_CHECK(!error->empty());
    }
    // Expansion starts afresh every time.
    FUZZ_CHECK(fb::expandPageSpec(spec, pageCount) == runs);
    return 0;
}
