// Rows that share an output: kept open between rows, saved as updates, and
// never seen half-written.
#include "AppendRunFixture.h"

#include "testkit/SampleFiles.h"
#include "testkit/SamplePdf.h"
#include "engine/QpdfAutomation.h"

#include <qpdf/Pl_Discard.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <csignal>
#include <filesystem>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace fb::test {
namespace {

using Strings = std::vector<std::string>;

// What `qpdf --check` does: read the file, walk its pages and decode every
// stream; true when nothing was warned about.
bool readsCleanly(const std::string& path, std::string* why = nullptr)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.c_str());
        (void)pdf.getAllPages();
        QPDFWriter writer(pdf);
        Pl_Discard discard;
        writer.setOutputPipeline(&discard);
        writer.setStreamDataMode(qpdf_s_uncompress);
        writer.write();
        for (auto& w : pdf.getWarnings())
            if (why) *why += w.what() + std::string("\n");
        return pdf.getWarnings().empty();
    } catch (const std::exception& e) {
        if (why) *why = e.what();
        return false;
    }
}

// The largest number of kids of any node of the page tree.
int widestPagesNode(QPDFObjectHandle node, int depth = 0)
{
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (!kids.isArray() || depth > 40) return 0;
    int widest = kids.getArrayNItems();
    for (int i = 0; i < kids.getArrayNItems(); ++i)
        widest = std::max(widest, widestPagesNode(kids.getArrayItem(i), depth + 1));
    return widest;
}

class IncrementalSaveTest : public AppendRunTest {
protected:
    std::string pdf(const std::string& name, int pages, bool outline = false)
    {
        const std::string path = dir / (name + ".pdf");
        SamplePdfOptions o;
        o.name = name;
        o.pages = pages;
        if (outline) o.outline = {{name + " start", 1, {{name + " inner", pages, {}}}}};
        EXPECT_TRUE(makeSamplePdf(path, o));
        return path;
    }

    // One row the way the run does it: open (or create), insert, save, close.
    void appendRow(AutomationServer& server, const std::string& source, const std::string& output,
                   bool create = false)
    {
        auto out = server.createPDDoc();
        auto src = server.createPDDoc();
        if (create)
            out->Create();
        else
            ASSERT_TRUE(out->Open(output));
        ASSERT_TRUE(src->Open(source));
        ASSERT_TRUE(out->InsertPages(out->GetNumPages() - 1, *src, 0, src->GetNumPages(), 1));
        ASSERT_TRUE(src->Close());
        ASSERT_TRUE(out->Save(33, output));
        ASSERT_TRUE(out->Close());
    }

    // The names starting with "." in the test folder.
    Strings hiddenFiles() const
    {
        Strings names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename().string());
        return names;
    }

    std::unique_ptr<AutomationServer> qpdf = makeQpdfAutomationServer();
    AppendRun realRun{jobs, *qpdf, messages, log, settings, readers, host, connection, options};
};

TEST_F(IncrementalSaveTest, ManyRowsIntoOneOutputBecomeAChainOfUpdatesThatReadsBackInOrder)
{
    const std::string out = dir / "out.pdf";
    Strings expected;
    for (int i = 0; i < 45; ++i) {
        const std::string name = "s" + std::to_string(i);
        const int pages = 1 + i % 3;
        // Every fifth row carries its outline; every seventh adds a file-name bookmark.
        addRow(pdf(name, pages, i % 5 == 0), "all", out, "N", "", i % 5 == 0 ? "Y" : "N",
               i % 7 == 0 ? "Y" : "N");
        for (int p = 1; p <= pages; ++p)
            expected.push_back(name + " p" + std::to_string(p));
    }

    realRun.click();

    ASSERT_EQ(messages.texts(), (Strings{"Done."}));
    std::string why;
    EXPECT_TRUE(readsCleanly(out, &why)) << why;
    const Strings pages = pdfPageTexts(out);
    ASSERT_EQ(pages.size(), expected.size());
    for (std::size_t k = 0; k < pages.size(); ++k)
        EXPECT_NE(pages[k].find(expected[k]), std::string::npos) << k;

    // Written once in full, then one update per row.
    const std::string bytes = readFileBytes(out);
    EXPECT_EQ(occurrences(bytes, "%%EOF"), 45);
    EXPECT_EQ(occurrences(bytes, "trailer"), 45);

    QPDF back;
    back.processFile(out.c_str());
    EXPECT_LE(widestPagesNode(back.getRoot().getKey("/Pages")), 32);
    int starts = 0, names = 0;
    for (const auto& e : pdfOutline(out)) {
        starts += e.title.find(" start") != std::string::npos;
        names += e.title.find(".pdf") != std::string::npos;
    }
    EXPECT_EQ(starts, 9);
    EXPECT_EQ(names, 7);
    EXPECT_EQ(logLines(), 45);
    // The version kept for the next update went with the run.
    EXPECT_TRUE(hiddenFiles().empty()) << hiddenFiles()[0];
}

// Past 200 sources the output is read afresh from its file, so their files
// can close, and the chain of updates goes on instead of a full rewrite.
TEST_F(IncrementalSaveTest, ManySourcesLetGoWithoutRewritingTheOutput)
{
    const std::string out = dir / "out.pdf";
    const int rows = 205;
    for (int i = 0; i < rows; ++i)
        addRow(pdf("s" + std::to_string(i), 1), "all", out);

    realRun.click();

    ASSERT_EQ(messages.texts(), (Strings{"Done."}));
    std::string why;
    EXPECT_TRUE(readsCleanly(out, &why)) << why;
    const Strings pages = pdfPageTexts(out);
    ASSERT_EQ(pages.size(), static_cast<std::size_t>(rows));
    EXPECT_NE(pages[199].find("s199 p1"), std::string::npos);
    EXPECT_NE(pages[204].find("s204 p1"), std::string::npos);
    EXPECT_EQ(occurrences(readFileBytes(out), "%%EOF"), rows);
    EXPECT_TRUE(hiddenFiles().empty());
}

// A source of a later PDF version than the output's raises the version the
// output declares by an update (the catalog's /Version), not a full rewrite;
// a lower one leaves it as it is.
TEST_F(IncrementalSaveTest, ALaterSourceVersionGoesInTheCatalogOfAnUpdate)
{
    const std::string out = dir / "out.pdf";
    auto versioned = [&](const std::string& name, const std::string& version) {
        SamplePdfOptions o;
        o.name = name;
        o.pages = 2;
        o.version = version;
        const std::string path = dir / (name + ".pdf");
        EXPECT_TRUE(makeSamplePdf(path, o));
        return path;
    };
    appendRow(*qpdf, versioned("a", "1.4"), out, true);
    const std::string header = readFileBytes(out).substr(0, 8);
    appendRow(*qpdf, versioned("b", "1.6"), out);
    appendRow(*qpdf, versioned("c", "1.5"), out);
    appendRow(*qpdf, versioned("d", "1.7"), out);

    const std::string bytes = readFileBytes(out);
    EXPECT_EQ(occurrences(bytes, "%%EOF"), 4) << "one full write, then updates";
    EXPECT_EQ(bytes.substr(0, 8), header);
    std::string why;
    EXPECT_TRUE(readsCleanly(out, &why)) << why;
    EXPECT_EQ(pdfPageTexts(out).size(), 8u);
    QPDF back;
    back.processFile(out.c_str());
    EXPECT_EQ(back.getRoot().getKey("/Version").unparse(), "/1.7");
}

TEST_F(IncrementalSaveTest, TheKeptPreviousVersionIsUsedOnlyWhileUntouched)
{
    const std::string out = dir / "out.pdf";
    {
        auto server = makeQpdfAutomationServer();
        appendRow(*server, pdf("a", 2), out, true);
        appendRow(*server, pdf("b", 1), out);
        appendRow(*server, pdf("c", 1), out);
        // One hidden file: the version before the last, one update behind.
        Strings kept = hiddenFiles();
        ASSERT_EQ(kept.size(), 1u);
        const std::string shadow = dir / kept[0];
        const std::string bytes = readFileBytes(out);
        const std::string older = readFileBytes(shadow);
        ASSERT_LT(older.size(), bytes.size());
        EXPECT_EQ(bytes.compare(0, older.size(), older), 0);

        // Someone else's file takes its name: it is left alone, and the next
        // rows still come out whole.
        writeFileBytes(dir / "theirs.tmp", "not ours");
        ASSERT_EQ(std::rename((dir / "theirs.tmp").c_str(), shadow.c_str()), 0);
        appendRow(*server, pdf("d", 1), out);
        appendRow(*server, pdf("e", 1), out);
        EXPECT_EQ(readFileBytes(shadow), "not ours");
        ASSERT_EQ(::unlink(shadow.c_str()), 0);

        // Grown behind our back: dropped, not appended to.
        kept = hiddenFiles();
        ASSERT_EQ(kept.size(), 1u);
        {
            FILE* f = std::fopen((dir / kept[0]).c_str(), "ab");
            ASSERT_NE(f, nullptr);
            std::fputs("% grown\n", f);
            std::fclose(f);
        }
        appendRow(*server, pdf("f", 1), out);
        std::string why;
        EXPECT_TRUE(readsCleanly(out, &why)) << why;
        const Strings pages = pdfPageTexts(out);
        ASSERT_EQ(pages.size(), 7u);
        EXPECT_NE(pages[6].find("f p1"), std::string::npos);
        EXPECT_EQ(readFileBytes(out).find("% grown"), std::string::npos);
    }
    EXPECT_TRUE(hiddenFiles().empty());
}

TEST_F(IncrementalSaveTest, AnOutputChangedBetweenRowsIsReadAgain)
{
    const std::string out = dir / "out.pdf";
    appendRow(*qpdf, pdf("a", 2), out, true);
    appendRow(*qpdf, pdf("b", 1), out);

    // Another program replaces the file between rows: the next row appends to what is there now.
    const std::string other = dir / "other.pdf";
    SamplePdfOptions z;
    z.name = "z";
    z.pages = 2;
    ASSERT_TRUE(makeSamplePdf(dir / "z.tmp", z));
    ASSERT_EQ(std::rename((dir / "z.tmp").c_str(), out.c_str()), 0);
    appendRow(*qpdf, pdf("c", 1), out);
    Strings pages = pdfPageTexts(out);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_NE(pages[0].find("z p1"), std::string::npos);
    EXPECT_NE(pages[2].find("c p1"), std::string::npos);

    // The same file grown in place by someone else counts as changed too.
    appendRow(*qpdf, pdf("d", 1), out);
    {
        FILE* f = std::fopen(out.c_str(), "ab");
        ASSERT_NE(f, nullptr);
        std::fputs("\n% touched\n", f);
        std::fclose(f);
    }
    appendRow(*qpdf, pdf("e", 1), out);
    pages = pdfPageTexts(out);
    ASSERT_EQ(pages.size(), 5u);
    EXPECT_NE(pages[4].find("e p1"), std::string::npos);
    std::string why;
    EXPECT_TRUE(readsCleanly(out, &why)) << why;
}

TEST_F(IncrementalSaveTest, AKillAtAnyMomentLeavesAWholeVersion)
{
    const std::string out = dir / "out.pdf";
    const std::string src = pdf("k", 2);
    appendRow(*qpdf, src, out, true);

    for (int attempt = 0; attempt < 6; ++attempt) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Rows until killed.
            auto server = makeQpdfAutomationServer();
            for (;;) {
                auto o = server->createPDDoc();
                auto s = server->createPDDoc();
                if (!o->Open(out) || !s->Open(src) || !o->InsertPages(o->GetNumPages() - 1, *s, 0, 2, 0) ||
                    !o->Save(33, out) || !o->Close())
                    _exit(1);
            }
        }
        usleep(static_cast<useconds_t>(20000 + attempt * 17000));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

        std::string why;
        ASSERT_TRUE(readsCleanly(out, &why)) << "after kill " << attempt << ": " << why;
        const Strings pages = pdfPageTexts(out);
        ASSERT_FALSE(pages.empty());
        EXPECT_EQ(pages.size() % 2, 0u);
        EXPECT_NE(pages.back().find("k p2"), std::string::npos);
    }
}

} // namespace
} // namespace fb::test
