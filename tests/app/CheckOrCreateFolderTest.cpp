#include "app/CheckOrCreateFolder.h"
#include "common/Files.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

using namespace fb;
using namespace fb::test;

TEST(FolderPathRule, AbsoluteWithCleanComponentsOnly)
{
    for (const char* good : {"/", "/data", "/data/in 2024/a.b", "/x/y z/#1"})
        EXPECT_TRUE(isValidFolderPath(good)) << good;
    for (const char* bad :
         {"",          "data",     "./data",        " /data", "/data/",   "/data//x",  "//",     "/data/..",
          "/data/. x", "/data/x.", "/home/.hidden", "/ data", "/data/x ", "/data/\tx", "/da?ta", "/a*b",
          "/a:b",      "/a<b",     "/a>b",          "/a\"b",  "/a|b",     "/a\\b"})
        EXPECT_FALSE(isValidFolderPath(bad)) << bad;
}

TEST(CheckOrCreateFolder, ReportsAFolderThatCannotBeMadeAndKeepsTheLevelsAbove)
{
    // Neither a regular file in the way nor an over-long name yields to root,
    // unlike a missing write permission.
    TempDir dir;
    writeFileBytes(dir / "file", "x");
    RecordingMessageBoxes messages;
    std::string throughFile = dir / "file/sub";
    std::string tooLong = dir / ("made/" + std::string(300, 'n'));
    for (const std::string& path : {throughFile, tooLong}) {
        messages.answers = {MessageAnswer::Yes};
        EXPECT_EQ(checkOrCreateFolder(path, messages), 2) << path;
        EXPECT_EQ(messages.shown.back().text,
                  "The folder:\n\n" + path + "\n\ncan not be created. Please double check.");
        EXPECT_EQ(messages.shown.back().icon, MessageIcon::Exclamation);
    }
    EXPECT_TRUE(isRegularFile(dir / "file"));
    EXPECT_TRUE(isDirectory(dir / "made"));
}
