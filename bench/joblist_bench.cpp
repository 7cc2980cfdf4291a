// joblist-bench ROWS: adds ROWS rows of missing files to a job list, sorts it
// on the file name and deletes every other row; prints the three times in
// seconds as "add SORT delete" on one line.
#include "SilentMessages.h"
#include "common/Messages.h"
#include "jobs/JobEntry.h"
#include "jobs/JobList.h"
#include "jobs/ParametersPrompt.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using fb::bench::SilentMessages;

double since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    SilentMessages messages;
    fb::CancelParametersPrompt prompt;
    fb::JobList jobs(messages, prompt, {});

    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rows; ++i) {
        // A scrambled order, so the sort has work to do.
        const unsigned key = static_cast<unsigned>(i) * 2654435761u;
        jobs.AddJobEntry("/nonexistent/bench/f" + std::to_string(key) + ".pdf", 1,
                         {"all", "", "/nonexistent/out.pdf", "N", "N", "Y", "N"});
    }
    const double added = since(start);

    start = std::chrono::steady_clock::now();
    jobs.SortEntries(fb::kFileName, true, 0, -1);
    const double sorted = since(start);

    for (int i = 0; i < jobs.rowCount(); i += 2)
        jobs.setRowSelected(i, true);
    start = std::chrono::steady_clock::now();
    jobs.DeleteSelectedEntries();
    const double deleted = since(start);

    if (jobs.rowCount() != rows / 2) {
        std::fprintf(stderr, "joblist-bench: %d rows left, expected %d\n", jobs.rowCount(), rows / 2);
        return 1;
    }
    std::printf("%.3f %.3f %.3f\n", added, sorted, deleted);
    return 0;
}
