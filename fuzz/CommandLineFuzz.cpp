// Raw command lines: splitting keeps every character, and interpreting any
// split line only adds rows and sets options, never anything worse.
#include "cli/CommandLine.h"
#include "fuzz/FuzzSupport.h"
#include "jobs/JobList.h"
#include "jobs/ParametersPrompt.h"

#include <string>

namespace {

class QuietHost : public fb::CommandLineHost {
public:
    void runAppend() override { ++runs; }
    void closeMainWindow() override { ++closes; }
    void readBatchFile(const std::string& path) override { batches.push_back(path); }
    int runs = 0, closes = 0;
    std::vector<std::string> batches;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& folder = fb::fuzz::scratchFolder();
    std::string raw(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> slots = fb::splitCommandLine(raw);
    FUZZ_CHECK(!slots.empty());
    std::string joined;
    for (const auto& s : slots)
        joined += s;
    FUZZ_CHECK(joined == raw);

    std::string message;
    if (fb::commandLineTooLong(slots, message)) {
        FUZZ_CHECK(!message.empty());
        return 0;
    }
    fb::fuzz::SilentMessageBoxes messages;
    fb::CancelParametersPrompt prompt;
    fb::JobList jobs(messages, prompt, [](const std::string&) { return -1; });
    QuietHost host;
    fb::RunOptions options;
    fb::ProcessCommandLine(slots, jobs, host, options, folder);
    FUZZ_CHECK(static_cast<size_t>(jobs.rowCount()) <= slots.size() || raw.find('*') != std::string::npos);
    for (int row = 0; row < jobs.rowCount(); ++row) {
        const std::string& name = jobs.text(row, fb::kFileName);
        FUZZ_CHECK(name.size() >= 4);
        FUZZ_CHECK(name.compare(name.size() - 4, 4, ".pdf") == 0 ||
                   name.compare(name.size() - 4, 4, ".PDF") == 0);
    }
    return 0;
}
