#include "app/DryRun.h"
#include "app/ExitCodes.h"
#include "app/Headless.h"
#include "app/MainWindowModel.h"
#include "app/QtModule.h"
#include "cli/CommandLine.h"
#include "common/Desktop.h"
#include "common/Messages.h"
#include "common/StopSignals.h"
#include "common/Text.h"
#include "engine/QpdfAutomation.h"
#include "engine/pdf/PdfOpen.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string currentDirectory()
{
    std::vector<char> buf(4096);
    if (!getcwd(buf.data(), buf.size())) return ".";
    return buf.data();
}

int runModel(fb::MessageBoxes& messages, fb::Clipboard& clipboard, const std::vector<std::string>& arguments)
{
    fb::CancelParametersPrompt prompt;
    fb::CancelFileDialogs dialogs;
    auto automation = fb::makeQpdfAutomationServer();
    auto pageCountAutomation = fb::makeQpdfAutomationServer();
    fb::ConnectionWindow connection;
    fb::HeadlessRunHost host;
    fb::ReaderCloser readers;
    fb::MainWindowServices services{messages,
                                    prompt,
                                    dialogs,
                                    clipboard,
                                    *automation,
                                    connection,
                                    host,
                                    readers,
                                    nullptr,
                                    {},
                                    pageCountAutomation.get()};
    fb::MainWindowModel model(services);
    model.initialise(arguments, currentDirectory());
    // No window to keep open: end as if -q followed the command line.
    model.close();
    return model.exitCode();
}

constexpr int kNoDryRun = -1;

// kExitOk when the command line is to be planned, not run; the switch only
// changes the runs that follow it, so one after a run is refused.
int dryRunRequested(const std::vector<std::string>& arguments)
{
    bool runSeen = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == fb::kDryRunSwitch) {
            if (!runSeen) return fb::kExitOk;
            std::cerr << fb::applicationName() << ": " << fb::kDryRunSwitch
                      << " must come before the -r it changes\n";
            return fb::kExitUsage;
        }
        if (arg.size() >= 2 && arg[0] == '-' && arg[1] == 'r') runSeen = true;
    }
    return kNoDryRun;
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything is written: a closed pipe or a file-size limit must
    // never end a job part way.
    fb::ignoreWriteSignals();
    std::vector<std::string> arguments(argv, argv + argc);
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help") {
            std::cout << fb::usageText();
            return fb::kExitOk;
        }
        if (arg == "--version") {
            std::cout << fb::versionText();
            return fb::kExitOk;
        }
    }
    std::string tooLong;
    if (fb::commandLineTooLong(arguments, tooLong)) {
        fb::StderrMessageBoxes().show(tooLong, fb::applicationName());
        return fb::kExitUsage;
    }
    if (int code = dryRunRequested(arguments); code != kNoDryRun) {
        if (code != fb::kExitOk) return code;
        return fb::runDryRun(arguments, currentDirectory(), std::cout);
    }
    if (!fb::runningHeadless()) {
        std::string why;
        if (fb::QtProgramEntry window = fb::loadQtModule(why)) return window(argc, argv);
        std::cerr << fb::applicationName() << ": can't show a window (" << why << ")\n";
    }
    if (argc < 2) {
        std::cerr << fb::usageText();
        return fb::kExitUsage;
    }
    fb::installStopSignals(fb::applicationName() +
                               ": not everything was done: ended at once by a second signal\n",
                           fb::kExitJobIncomplete);
    fb::StderrMessageBoxes messages;
    fb::NoClipboard clipboard;
    // This process ends with its runs: the documents closed last are left to
    // the system instead of being taken apart object by object.
    fb::pdf::leaveLastDocumentsAtExit(true);
    const int code = runModel(messages, clipboard, arguments);
    // Whatever a stopped run's end did not reach: no hidden file of ours stays behind.
    if (fb::stopSignal() != 0) fb::removeOwnTempFiles();
    return code;
}
