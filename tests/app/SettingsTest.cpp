#include "app/Settings.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestDirs.h"

#include <gtest/gtest.h>

using namespace fb;
using namespace fb::test;

TEST(SettingsFile, WritesExactLinesAndReadsThemBack)
{
    TempDir dir;
    RecordingMessageBoxes messages;
    Settings s{"/f/every.pdf", "/f/fin;al.pdf", true};
    ASSERT_TRUE(saveSettings(s, messages, dir / "setup.ini"));
    EXPECT_EQ(readFileBytes(dir / "setup.ini"),
              "ODDEVERY;/f/every.pdf\r\nODDFINAL;/f/fin;al.pdf\r\nNOSPLASH\r\n");
    Settings back;
    loadSettings(back, dir / "setup.ini");
    EXPECT_EQ(back.oddEveryFile, "/f/every.pdf");
    EXPECT_EQ(back.oddFinalFile, "/f/fin;al.pdf");  // a ";" in a path survives
    EXPECT_TRUE(back.noSplash);

    ASSERT_TRUE(saveSettings(Settings{}, messages, dir / "setup.ini"));
    EXPECT_EQ(readFileBytes(dir / "setup.ini"), "ODDEVERY;\r\nODDFINAL;\r\n");
    EXPECT_TRUE(messages.shown.empty());

    EXPECT_FALSE(saveSettings(s, messages, dir / "no/folder/setup.ini"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "can't save to setup.ini");
}

TEST(SettingsFile, HandWrittenFilesReadTheSame)
{
    TempDir dir;
    writeFileBytes(dir / "setup.ini",
                   "NOSPLASH\n;;\n\noddevery;/x.pdf\nODDFINAL;/b.pdf\r\r\nODDEVERY ;/y.pdf\r\nODDEVERY;/a.pdf\n");
    Settings s;
    loadSettings(s, dir / "setup.ini");
    EXPECT_TRUE(s.noSplash);
    EXPECT_EQ(s.oddEveryFile, "/a.pdf");
    EXPECT_EQ(s.oddFinalFile, "/b.pdf");
    Settings untouched{"keep", "", false};
    loadSettings(untouched, dir / "missing.ini");
    EXPECT_EQ(untouched.oddEveryFile, "keep");
    EXPECT_FALSE(isSettingSet("x"));
    EXPECT_TRUE(isSettingSet("/x"));
}
