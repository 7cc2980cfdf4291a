#include "app/DryRun.h"

#include "app/Headless.h"
#include "app/MainWindowModel.h"
#include "engine/JobPlan.h"
#include "engine/QpdfAutomation.h"

namespace fb {

int runDryRun(const std::vector<std::string>& arguments, const std::string& startDirectory, std::ostream& out)
{
    JobPlan plan;
    PlanWorld world(plan);
    PlanMessages messages(plan);
    CancelParametersPrompt prompt;
    CancelFileDialogs dialogs;
    NoClipboard clipboard;
    // Counting pages only reads.
    auto pageCountAutomation = makeQpdfAutomationServer();
    ConnectionWindow connection;
    HeadlessRunHost host;
    PlanReaderCloser readers;
    MainWindowServices services{messages, prompt,  dialogs, clipboard, world.server(),           connection,
                                host,     readers, nullptr, {},        pageCountAutomation.get()};
    services.files = &world;
    // A row left "Processing" ends the real process at once with its code;
    // the plan only notes it.
    services.exitNow = [](int) {};
    int code = 0;
    {
        MainWindowModel model(services);
        model.initialise(arguments, startDirectory);
        model.close();
        for (const std::string& item : model.undone())
            plan.add("not-done", item);
        code = model.exitCode();
    }
    plan.end(code);
    out << plan.text();
    out.flush();
    return code;
}

} // namespace fb
