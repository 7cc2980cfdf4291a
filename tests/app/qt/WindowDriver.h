#pragma once
#include "app/qt/MainWindow.h"
#include "common/Files.h"
#include "testkit/TestDirs.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace fb::test {

// Options for a main window whose files (log, settings, window state) all
// live in the test's folder; no splash.
inline MainWindowOptions testWindowOptions(const TempDir& dir, MessageBoxes& messages)
{
    writeFileBytes(dir / "setup.ini", "NOSPLASH\r\n");
    MainWindowOptions o;
    o.logPath = dir / "append.log";
    o.settingsPath = dir / "setup.ini";
    o.messages = &messages;
    o.exitNow = [](int) {};
    o.windowStatePath = dir / "window.conf";
    return o;
}

// Starts and shows the window as the program does, and waits until it is active.
inline std::unique_ptr<MainWindow> showTestWindow(const MainWindowOptions& o, const TempDir& dir)
{
    auto window = std::make_unique<MainWindow>(o);
    window->start({"mervo"}, dir.path());
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return window;
}

} // namespace fb::test
