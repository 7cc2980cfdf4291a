// Any append.log: the viewer's reader, the sort and the CSV export take every
// line without crashing, keep one row per line and give a permutation on sort.
#include "fuzz/FuzzSupport.h"
#include "log/LogTable.h"

#include <algorithm>
#include <numeric>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fb::fuzz::writeInput("append.log", data, size);
    auto rows = fb::readLogFile(path);
    FUZZ_CHECK(rows.has_value());
    size_t lines = 0;
    for (size_t i = 0; i < size; ++i)
        lines += data[i] == '\n';
    FUZZ_CHECK(rows->size() <= lines + 1);
    for (const auto& row : *rows) {
        const std::string csv = fb::csvLine(row);
        FUZZ_CHECK(csv.size() >= 2 && csv.compare(csv.size() - 2, 2, "\r\n") == 0);
    }
    if (rows->empty()) return 0;
    const int column = data[0] % fb::kLogColumnCount;
    auto order = fb::logSortOrder(*rows, column, (data[0] & 0x80) != 0);
    std::sort(order.begin(), order.end());
    std::vector<int> all(rows->size());
    std::iota(all.begin(), all.end(), 0);
    FUZZ_CHECK(order.empty() || order == all);
    return 0;
}
