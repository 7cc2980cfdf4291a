#pragma once
#include <ctime>

namespace fb::bench {

// The CPU seconds the whole process (every thread) has spent so far: on a
// shared machine it says what the work costs, where the wall clock also counts
// the time other work held the cores.
inline double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace fb::bench
