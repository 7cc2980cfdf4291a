#include "app/Settings.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"
#include "common/Text.h"

#include <gtest/gtest.h>

using namespace fb;
using namespace fb::test;

namespace {
Settings readBack(const std::string& bytes)
{
    TempDir dir;
    writeFileBytes(dir / "setup.ini", bytes);
    Settings s;
    loadSettings(s, dir / "setup.ini");
    return s;
}
} // namespace

TEST(SettingsFile, WritesTheExactLines)
{
    TempDir dir;
    RecordingMessageBoxes messages;
    ASSERT_TRUE(saveSettings(Settings{"/f/every.pdf", "/f/final.pdf", true}, messages, dir / "setup.ini"));
    EXPECT_EQ(readFileBytes(dir / "setup.ini"),
              "ODDEVERY;/f/every.pdf\r\nODDFINAL;/f/final.pdf\r\nNOSPLASH\r\n");

    // Unchecking the box and saving drops the NOSPLASH line.
    ASSERT_TRUE(saveSettings(Settings{}, messages, dir / "setup.ini"));
    EXPECT_EQ(readFileBytes(dir / "setup.ini"), "ODDEVERY;\r\nODDFINAL;\r\n");
    EXPECT_TRUE(messages.shown.empty());
}

TEST(SettingsFile, SavedValuesReadBackWholeEvenWithSemicolons)
{
    TempDir dir;
    RecordingMessageBoxes messages;
    Settings s{"/f/a;b;.pdf", ";lead.pdf", true};
    ASSERT_TRUE(saveSettings(s, messages, dir / "setup.ini"));
    Settings back;
    loadSettings(back, dir / "setup.ini");
    EXPECT_EQ(back.oddEveryFile, "/f/a;b;.pdf");
    EXPECT_EQ(back.oddFinalFile, ";lead.pdf");
    EXPECT_TRUE(back.noSplash);
}

TEST(SettingsFile, FailedSaveShowsTheMessageAndKeepsTheOldFile)
{
    TempDir dir;
    RecordingMessageBoxes messages;
    EXPECT_FALSE(saveSettings(Settings{"/a.pdf", "", false}, messages, dir / "no/folder/setup.ini"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "can't save to setup.ini");
    EXPECT_NE(messages.shown[0].reason.find("No such file or directory"), std::string::npos);
    EXPECT_EQ(messages.shown[0].caption, applicationName());
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);

    // A value that would not read back as itself is refused, not written.
    writeFileBytes(dir / "setup.ini", "ODDEVERY;/old.pdf\r\n");
    EXPECT_FALSE(saveSettings(Settings{"/a.pdf\r\nNOSPLASH", "", false}, messages, dir / "setup.ini"));
    EXPECT_FALSE(
        saveSettings(Settings{"", std::string(kMaxTextLength + 1, 'x'), false}, messages, dir / "setup.ini"));
    EXPECT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(readFileBytes(dir / "setup.ini"), "ODDEVERY;/old.pdf\r\n");
    EXPECT_TRUE(
        saveSettings(Settings{"", std::string(kMaxTextLength, 'x'), false}, messages, dir / "setup.ini"));
}

TEST(SettingsFile, EveryLineEndReadsTheSame)
{
    for (std::string end : {"\r\n", "\n", "\r\r\n"}) {
        Settings s = readBack("ODDEVERY;/e.pdf" + end + "ODDFINAL;/f.pdf" + end + "NOSPLASH" + end);
        EXPECT_EQ(s.oddEveryFile, "/e.pdf");
        EXPECT_EQ(s.oddFinalFile, "/f.pdf");
        EXPECT_TRUE(s.noSplash);
    }
    Settings noEnd = readBack("ODDFINAL;/f.pdf");
    EXPECT_EQ(noEnd.oddFinalFile, "/f.pdf");
}

TEST(SettingsFile, HandWrittenFilesFollowTheKeyRules)
{
    Settings s = readBack("NOSPLASH\r\nODDFINAL;/b.pdf\r\nODDEVERY;/a.pdf\r\n");
    EXPECT_EQ(s.oddEveryFile, "/a.pdf");
    EXPECT_EQ(s.oddFinalFile, "/b.pdf");
    EXPECT_TRUE(s.noSplash);

    // Case and blanks matter; keyless lines are skipped and reading goes on.
    s = readBack("oddevery;/x.pdf\n;;\n\nODDEVERY ;/y.pdf\nnosplash\n ODDFINAL;/z.pdf\nODDFINAL;/ok.pdf\n");
    EXPECT_EQ(s.oddEveryFile, "");
    EXPECT_EQ(s.oddFinalFile, "/ok.pdf");
    EXPECT_FALSE(s.noSplash);

    // Leading ";" are skipped; later lines override; a bare key empties the value.
    s = readBack(";;ODDEVERY;/first.pdf\nODDEVERY;/second.pdf\nODDFINAL;/f.pdf\nODDFINAL\n");
    EXPECT_EQ(s.oddEveryFile, "/second.pdf");
    EXPECT_EQ(s.oddFinalFile, "");
}

TEST(SettingsFile, ReadingKeepsWhatTheFileDoesNotName)
{
    TempDir dir;
    Settings s{"keep", "also", true};
    loadSettings(s, dir / "missing.ini");
    EXPECT_EQ(s.oddEveryFile, "keep");
    EXPECT_EQ(s.oddFinalFile, "also");
    EXPECT_TRUE(s.noSplash);

    writeFileBytes(dir / "setup.ini", "ODDEVERY;/n.pdf\r\n");
    loadSettings(s, dir / "setup.ini");
    EXPECT_EQ(s.oddEveryFile, "/n.pdf");
    EXPECT_EQ(s.oddFinalFile, "also");
    EXPECT_TRUE(s.noSplash); // no NOSPLASH line leaves it as it was
}

TEST(SettingsFile, DamagedFilesReadWithoutHarm)
{
    Settings s = readBack(std::string("ODDEVERY;/a\0b.pdf\n", 18) + "ODDFINAL;" +
                          std::string(kMaxTextLength + 1, 'y') + "\nNOSPLASH");
    EXPECT_EQ(s.oddEveryFile, std::string("/a\0b.pdf", 8));
    EXPECT_EQ(s.oddFinalFile, ""); // too long to be a path: left as it was
    EXPECT_TRUE(s.noSplash);
}
