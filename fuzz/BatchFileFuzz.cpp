// Any batch file: reading never crashes or hangs, and every row it gives
// survives being saved and read back unchanged.
#include "common/FileDialogs.h"
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"
#include "jobs/BatchFile.h"
#include "jobs/JobList.h"
#include "jobs/ParametersPrompt.h"

#include <fstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fb::fuzz::writeInput("in.app", data, size);
    fb::fuzz::SilentMessageBoxes messages;
    fb::CancelParametersPrompt prompt;
    fb::CancelFileDialogs dialogs;
    fb::JobList jobs(messages, prompt, [](const std::string&) { return -1; });
    fb::BatchFiles batch(jobs, messages, dialogs);
    batch.readBatchFile(path);
    FUZZ_CHECK(static_cast<size_t>(jobs.rowCount()) <= size);

    std::string saved;
    for (int row = 0; row < jobs.rowCount(); ++row) {
        const fb::JobEntry& e = jobs.entry(row);
        for (int c = 0; c < fb::kColumnCount; ++c)
            FUZZ_CHECK(e.column(c).size() <= fb::kMaxTextLength);
        saved += fb::formatBatchLine(e);
    }
    const std::string again =
        fb::fuzz::writeInput("again.app", reinterpret_cast<const uint8_t*>(saved.data()), saved.size());
    fb::JobList reread(messages, prompt, [](const std::string&) { return -1; });
    fb::BatchFiles batch2(reread, messages, dialogs);
    batch2.readBatchFile(again);
    FUZZ_CHECK(reread.rowCount() == jobs.rowCount());
    return 0;
}
