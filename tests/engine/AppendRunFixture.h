#pragma once
// Shared set-up for the append run tests: a real job list, log and files in a
// temporary folder, with the page work done by the scripted server.
#include "common/FillerFiles.h"
#include "engine/AppendRun.h"
#include "engine/Automation.h"
#include "engine/ProcessCloser.h"
#include "jobs/JobEntry.h"
#include "jobs/JobList.h"
#include "jobs/ParametersPrompt.h"
#include "log/AppendLog.h"
#include "testkit/FakeAutomation.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace fb::test {

class CountingReaderCloser : public ReaderCloser {
public:
    void closeReaders() override { ++calls; }
    int calls = 0;
};

class RecordingRunHost : public AppendRunHost {
public:
    void dispatchOnePending() override
    {
        ++dispatches;
        if (onDispatch) onDispatch(dispatches);
    }
    void repaintNow() override { ++repaints; }
    void beep(int hz, int ms) override { beeps.push_back(std::to_string(hz) + "/" + std::to_string(ms)); }
    void captionChanged(const std::string& caption) override { captions.push_back(caption); }

    int dispatches = 0;
    int repaints = 0;
    std::vector<std::string> beeps;
    std::vector<std::string> captions;
    std::function<void(int)> onDispatch;
};

class RecordingConnectionWindow : public ConnectionWindow {
public:
    void show() override { events.push_back("show"); }
    void hide() override { events.push_back("hide"); }
    std::vector<std::string> events;
};

class AppendRunTest : public ::testing::Test {
protected:
    AppendRunTest() { log.open(); }

    // A source file the fake server can open, with pages "<name> p1".."<name> pN".
    std::string source(const std::string& name, int pages)
    {
        std::string path = dir / name;
        EXPECT_TRUE(writeFakePdf(path, pages));
        return path;
    }

    int addRow(const std::string& src, const std::string& spec, const std::string& output,
               const std::string& createNew = "N", const std::string& moveTo = "",
               const std::string& keepBookmarks = "N", const std::string& bookmarkFilename = "N")
    {
        EXPECT_EQ(
            jobs.AddJobEntry(src, 1, {spec, moveTo, output, keepBookmarks, createNew, "N", bookmarkFilename}),
            1);
        return jobs.rowCount() - 1;
    }

    std::vector<std::string> pagesOf(const std::string& path) { return readFakePdf(path).pages; }
    std::string status(int row) { return jobs.text(row, kStatus); }

    int logLines()
    {
        std::string bytes = readFileBytes(log.path());
        int n = 0;
        for (char c : bytes)
            n += c == '\n';
        return n;
    }

    std::vector<std::string> cleanupCalls()
    {
        std::vector<std::string> out;
        for (const auto& c : server.calls())
            if (c == "App.CloseAllDocs()" || c == "App.Exit()") out.push_back(c);
        return out;
    }

    TempDir dir;
    RecordingMessageBoxes messages;
    CancelParametersPrompt prompt;
    JobList jobs{messages, prompt,
                 [](const std::string& path) { return static_cast<int>(readFakePdf(path).pages.size()); }};
    ScriptedAutomationServer server;
    AppendLog log{dir / "append.log"};
    FillerFiles settings;
    CountingReaderCloser readers;
    RecordingRunHost host;
    RecordingConnectionWindow connection;
    RunOptions options;
    AppendRun run{jobs, server, messages, log, settings, readers, host, connection, options};
};

} // namespace fb::test
