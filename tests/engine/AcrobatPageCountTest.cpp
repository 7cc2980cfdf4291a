#include "engine/AcrobatPageCount.h"
#include "engine/QpdfAutomation.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/SamplePdf.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

namespace fb {
namespace {

// A server whose objects log their calls and fail on demand.
struct CountingFake : AutomationServer {
    std::vector<std::string> calls;
    bool noApp = false, noAVDoc = false, openFails = false, closeFails = false, throwOnCount = false;
    long pages = 7;

    struct FakeApp : App {
        CountingFake& f;
        explicit FakeApp(CountingFake& f) : f(f) {}
        long Exit() override
        {
            f.calls.push_back("Exit");
            return 1;
        }
        long CloseAllDocs() override
        {
            f.calls.push_back("CloseAllDocs");
            return 1;
        }
        long MenuItemExecute(const std::string&) override { return 0; }
    };
    struct FakePDDoc : PDDoc {
        CountingFake& f;
        explicit FakePDDoc(CountingFake& f) : f(f) {}
        long Open(const std::string&) override { return 0; }
        long Close() override { return 0; }
        long InsertPages(long, PDDoc&, long, long, long) override { return 0; }
        long GetNumPages() override
        {
            f.calls.push_back("GetNumPages");
            if (f.throwOnCount) throw AutomationError("busy");
            return f.pages;
        }
        long Create() override { return 0; }
        std::shared_ptr<AVDoc> OpenAVDoc(const std::string&) override { return nullptr; }
        long Save(short, const std::string&) override { return 0; }
    };
    struct FakeAVDoc : AVDoc {
        CountingFake& f;
        explicit FakeAVDoc(CountingFake& f) : f(f) {}
        long Open(const std::string& path, const std::string& title) override
        {
            f.calls.push_back("Open(" + path + "," + title + ")");
            return f.openFails ? 0 : 1;
        }
        std::shared_ptr<PDDoc> GetPDDoc() override
        {
            f.calls.push_back("GetPDDoc");
            return std::make_shared<FakePDDoc>(f);
        }
        std::shared_ptr<AVPageView> GetAVPageView() override { return nullptr; }
        long Close(long noSave) override
        {
            f.calls.push_back("Close(" + std::to_string(noSave) + ")");
            return f.closeFails ? 0 : 1;
        }
    };

    std::shared_ptr<App> createApp() override
    {
        calls.push_back("createApp");
        return noApp ? nullptr : std::make_shared<FakeApp>(*this);
    }
    std::shared_ptr<AVDoc> createAVDoc() override
    {
        calls.push_back("createAVDoc");
        return noAVDoc ? nullptr : std::make_shared<FakeAVDoc>(*this);
    }
    std::shared_ptr<PDDoc> createPDDoc() override { return nullptr; }
    std::shared_ptr<PDBookmark> createPDBookmark() override { return nullptr; }
};

struct LoggingPump : EventPump {
    std::vector<std::string>* calls;
    void dispatchOnePending() override { calls->push_back("pump"); }
};
struct LoggingWindow : ConnectionWindow {
    std::vector<std::string>* calls;
    void show() override { calls->push_back("show"); }
    void hide() override { calls->push_back("hide"); }
};

class AcrobatPageCountTest : public ::testing::Test {
protected:
    int count(const std::string& path)
    {
        pump.calls = &fake.calls;
        window.calls = &fake.calls;
        AcrobatContext ctx{fake, messages, pump, window, noWindow, quiet};
        return acrobatPageCount(ctx, path);
    }
    using V = std::vector<std::string>;
    CountingFake fake;
    test::RecordingMessageBoxes messages;
    LoggingPump pump;
    LoggingWindow window;
    bool noWindow = false;
    bool quiet = false;
};

TEST_F(AcrobatPageCountTest, CountsThroughTheViewAndCleansUp)
{
    EXPECT_EQ(count("/x/a.pdf"), 7);
    EXPECT_EQ(fake.calls, (V{"show", "createApp", "hide", "createAVDoc", "Open(/x/a.pdf,)", "GetPDDoc",
                             "pump", "GetNumPages", "pump", "Close(1)", "CloseAllDocs", "Exit"}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(AcrobatPageCountTest, ConnectionFailure)
{
    fake.noApp = true;
    EXPECT_EQ(count("/x/a.pdf"), 0);
    EXPECT_EQ(fake.calls, (V{"show", "createApp", "hide"}));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(
        messages.shown[0].text,
        "Failed to connect to full version of Acrobat 4 or greater\n\n"
        "Please either re-install Acrobat or run Acrobat to force this software to use what's running.\n\n"
        "NOTE: This software will not work with Acrobat Reader or Adobe Reader.");
    EXPECT_EQ(messages.shown[0].caption, applicationName());
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);

    fake.calls.clear();
    noWindow = true;
    EXPECT_EQ(count("/x/a.pdf"), 0);
    EXPECT_EQ(fake.calls, (V{"createApp"}));
}

TEST_F(AcrobatPageCountTest, OpenAndCloseFailuresAndQuietMode)
{
    fake.noAVDoc = true;
    EXPECT_EQ(count("/x/a.pdf"), 0);
    EXPECT_EQ(messages.texts(), (V{"Failed to create AVDoc"}));

    fake.noAVDoc = false;
    fake.openFails = true;
    fake.calls.clear();
    EXPECT_EQ(count("/x/a.pdf"), 0);
    EXPECT_EQ(messages.texts().back(), "Error Opening File : /x/a.pdf");
    EXPECT_EQ(fake.calls.back(), "CloseAllDocs");

    fake.openFails = false;
    fake.closeFails = true;
    fake.calls.clear();
    EXPECT_EQ(count("/x/a.pdf"), 7);
    EXPECT_EQ(messages.texts().back(), "Failed to get Close doc");
    EXPECT_EQ(fake.calls.back(), "CloseAllDocs");

    quiet = true;
    std::size_t shown = messages.shown.size();
    EXPECT_EQ(count("/x/a.pdf"), 7);
    fake.openFails = true;
    EXPECT_EQ(count("/x/a.pdf"), 0);
    EXPECT_EQ(messages.shown.size(), shown);
}

TEST_F(AcrobatPageCountTest, ThrowingServerGivesZero)
{
    fake.throwOnCount = true;
    EXPECT_EQ(count("/x/a.pdf"), 0);
    EXPECT_EQ(fake.calls.back(), "CloseAllDocs");
}

TEST_F(AcrobatPageCountTest, RealServerCountsFiles)
{
    test::TempDir dir;
    ASSERT_TRUE(makeSamplePdf(dir / "a.pdf", SamplePdfOptions{"A", 4, {}, false}));
    test::writeFileBytes(dir / "bad.pdf", "not a pdf");
    auto server = makeQpdfAutomationServer();
    LoggingPump p;
    std::vector<std::string> ignored;
    p.calls = &ignored;
    LoggingWindow w;
    w.calls = &ignored;
    AcrobatContext ctx{*server, messages, p, w, false, false};
    EXPECT_EQ(acrobatPageCount(ctx, dir / "a.pdf"), 4);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(acrobatPageCount(ctx, dir / "bad.pdf"), 0);
    EXPECT_EQ(messages.texts(), (V{"Error Opening File : " + (dir / "bad.pdf")}));
    EXPECT_EQ(acrobatPageCount(ctx, dir / "a.pdf"), 4); // the server is usable again after a failure
}

} // namespace
} // namespace fb
