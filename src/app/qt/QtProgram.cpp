#include "app/qt/QtProgram.h"

#include "app/qt/MainWindow.h"

#include <QApplication>

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
    int code = 0;
    {
        MainWindow window;
        window.start(arguments, currentDirectory());
        if (!window.model().isClosed()) {
            window.show();
            app.exec();
        }
        code = window.model().exitCode();
    }
    return code;
}

} // namespace fb
