#include "testkit/TestDirs.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstring>

namespace fb::test {
int closeWhileProcessingChild(const char* folder);
}

// Real widgets need an application object; without a display they draw offscreen.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A test that needs the real end of the process runs this program again.
    if (argc == 3 && std::strcmp(argv[1], "--close-while-processing") == 0)
        return fb::test::closeWhileProcessingChild(argv[2]);
    // A child on a 1280x800 screen at scale 2, for the tests that check the
    // windows fit there.
    if (argc == 3 && std::strcmp(argv[1], "--small-screen") == 0) {
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + argv[2]);
        qputenv("QT_SCALE_FACTOR", "2");
        qputenv("FB_SMALL_SCREEN", "1");
        ::testing::GTEST_FLAG(filter) = "SmallScreen.*";
        argc = 1;
    }
    // The person's own settings (window size, columns) stay out of the tests.
    fb::test::TempDir config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
