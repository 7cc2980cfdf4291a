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
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
