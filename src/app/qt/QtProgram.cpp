#include "app/qt/QtProgram.h"

#include "app/ExitCodes.h"
#include "app/qt/MainWindow.h"
#include "common/Messages.h"
#include "common/StopSignals.h"

#include <QApplication>
#include <QTimer>

#include <unistd.h>

#include <string>
#include <vector>

namespace fb {

namespace {
std::string currentDirectory()
{
    std::vector<char> buf(4096);
    if (!getcwd(buf.data(), buf.size())) return ".";
    return buf.data();
}
} // namespace

int runQtProgram(int argc, char** argv)
{
    std::vector<std::string> arguments(argv, argv + argc);
    // Qt sees only the program name: the arguments are ours, and Qt's own
    // options ("-style", "-reverse"...) must not eat a file name.
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    // This module keeps its own copy of the stop request: its handlers are the ones in force.
    installStopSignals(applicationName() + ": not everything was done: ended at once by a second signal\n",
                       kExitJobIncomplete);
    int code = 0;
    {
        MainWindow window;
        // A stop signal stops a run as the Stop button does (the run sees it
        // itself); once no run is active the window closes as "&Close" does.
        QTimer stopWatch;
        QObject::connect(&stopWatch, &QTimer::timeout, [&window] {
            if (stopSignal() != 0 && !window.model().runActive() && !window.model().isClosed())
                window.model().close();
        });
        stopWatch.start(100);
        window.start(arguments, currentDirectory());
        if (!window.model().isClosed() && stopSignal() != 0) window.model().close();
        if (!window.model().isClosed()) {
            window.show();
            app.exec();
        }
        code = window.model().exitCode();
    }
    if (stopSignal() != 0) removeOwnTempFiles();
    return code;
}

} // namespace fb
