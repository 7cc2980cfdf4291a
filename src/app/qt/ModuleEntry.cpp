// The only symbol the Qt module exports; everything else stays inside it.
#include "app/qt/QtProgram.h"

extern "C" __attribute__((visibility("default"))) int mervo_qt_main(int argc, char** argv)
{
    return fb::runQtProgram(argc, argv);
}
