// The append run and other programs on the same output: a row waits for a
// run that holds the output, and never saves over a version it did not read.
#include "AppendRunFixture.h"

#include "common/FileLock.h"
#include "common/Files.h"
#include "testkit/SampleFiles.h"
#include "engine/QpdfAutomation.h"

namespace fb::test {
namespace {

using Strings = std::vector<std::string>;

// The real page-work server, with a hook that runs just before every save of
// a document: there another program can change the output under the row.
class HookedDoc : public PDDoc {
public:
    HookedDoc(std::shared_ptr<PDDoc> real, std::function<void()>& beforeSave)
        : real_(std::move(real)), beforeSave_(beforeSave)
    {
    }
    long Open(const std::string& path) override { return real_->Open(path); }
    long Close() override { return real_->Close(); }
    long InsertPages(long after, PDDoc& source, long first, long count, long bookmarks) override
    {
        auto* hooked = dynamic_cast<HookedDoc*>(&source);
        return real_->InsertPages(after, hooked ? *hooked->real_ : source, first, count, bookmarks);
    }
    long GetNumPages() override { return real_->GetNumPages(); }
    long Create() override { return real_->Create(); }
    std::shared_ptr<AVDoc> OpenAVDoc(const std::string& title) override { return real_->OpenAVDoc(title); }
    long Save(short type, const std::string& path) override
    {
        if (beforeSave_) beforeSave_();
        return real_->Save(type, path);
    }

private:
    std::shared_ptr<PDDoc> real_;
    std::function<void()>& beforeSave_;
};

class HookedServer : public AutomationServer {
public:
    std::shared_ptr<App> createApp() override { return real_->createApp(); }
    std::shared_ptr<AVDoc> createAVDoc() override { return real_->createAVDoc(); }
    std::shared_ptr<PDDoc> createPDDoc() override
    {
        return std::make_shared<HookedDoc>(real_->createPDDoc(), beforeSave);
    }
    std::shared_ptr<PDBookmark> createPDBookmark() override { return real_->createPDBookmark(); }
    std::function<void()> beforeSave;

private:
    std::unique_ptr<AutomationServer> real_ = makeQpdfAutomationServer();
};

class NoticingHost : public RecordingRunHost {
public:
    void notice(const std::string& text) override { notices.push_back(text); }
    Strings notices;
};

class AppendRunLockTest : public AppendRunTest {
protected:
    HookedServer hooked;
    NoticingHost noticing;
    AppendRun lockedRun{jobs, hooked, messages, log, settings, readers, noticing, connection, options};
};

TEST_F(AppendRunLockTest, AnOutputReplacedBeforeTheSaveIsReadAgainNotOverwritten)
{
    const std::string out = dir / "out.pdf";
    addRow(madePdf(dir / "alpha.pdf", "alpha", 2), "all", out, "N", dir / "done");
    addRow(madePdf(dir / "beta.pdf", "beta", 1), "all", out, "N", dir / "done");
    // A program that takes no lock: before the first save it creates the
    // output the first row was about to create; before the third (the second
    // row's first, on the output the first row left open) it replaces it.
    int saves = 0;
    hooked.beforeSave = [&] {
        ++saves;
        if (saves == 1) madePdf(out, "first", 2);
        if (saves == 3) {
            madePdf(dir / "other.pdf", "second", 1);
            ASSERT_EQ(std::rename((dir / "other.pdf").c_str(), out.c_str()), 0);
        }
    };

    lockedRun.click();

    EXPECT_EQ(messages.texts(), (Strings{"Done."}));
    EXPECT_EQ(saves, 4);
    EXPECT_EQ(pdfPageTexts(out), (Strings{"second p1", "beta p1"}));
    EXPECT_EQ(logLines(), 2);
    EXPECT_TRUE(pathExists(dir / "done/alpha.pdf"));
    EXPECT_TRUE(pathExists(dir / "done/beta.pdf"));
}

TEST_F(AppendRunLockTest, ARowWaitsForTheOutputsHolderAndStopEndsTheWait)
{
    const std::string out = madePdf(dir / "out.pdf", "old", 1);
    const std::string before = readFileBytes(out);
    const int row = addRow(madePdf(dir / "alpha.pdf", "alpha", 2), "all", out, "N", dir / "done");
    // Another run holds the output for as long as this run would wait.
    FileLock other = FileLock::acquire(out, LockWait{});
    ASSERT_EQ(other.state(), FileLock::State::Locked);
    // The window is served while the row waits: the person presses Stop.
    noticing.onDispatch = [&](int) {
        if (!noticing.notices.empty()) lockedRun.click();
    };

    lockedRun.click();

    ASSERT_EQ(noticing.notices.size(), 1u);
    EXPECT_NE(noticing.notices[0].find(out + " is being written by another run; waiting"), std::string::npos)
        << noticing.notices[0];
    EXPECT_EQ(lockedRun.lastResult(), RunResult::Stopped);
    EXPECT_EQ(status(row), "Stopped");
    EXPECT_EQ(readFileBytes(out), before);
    EXPECT_EQ(logLines(), 0);
    EXPECT_TRUE(pathExists(dir / "alpha.pdf"));
}

} // namespace
} // namespace fb::test
