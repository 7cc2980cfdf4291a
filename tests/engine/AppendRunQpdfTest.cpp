// The append run against the real qpdf page-work server and real PDF files.
#include "AppendRunFixture.h"

#include "engine/QpdfAutomation.h"
#include "common/Files.h"
#include "testkit/SamplePdf.h"

#include <qpdf/QPDF.hh>

namespace fb::test {
namespace {

using Strings = std::vector<std::string>;

class AppendRunQpdfTest : public AppendRunTest {
protected:
    std::string pdf(const std::string& name, int pages)
    {
        const std::string path = dir / (name + ".pdf");
        SamplePdfOptions o;
        o.name = name;
        o.pages = pages;
        EXPECT_TRUE(makeSamplePdf(path, o));
        return path;
    }

    std::unique_ptr<AutomationServer> qpdf = makeQpdfAutomationServer();
    AppendRun realRun{jobs, *qpdf, messages, log, settings, readers, host, connection, options};
};

bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(AppendRunQpdfTest, SelectedPagesBookmarksAndFillerEndUpInTheOutput)
{
    settings.oddFinalFile = pdf("blank", 1);
    const std::string a = pdf("alpha", 12);
    const std::string b = pdf("beta", 2);
    const std::string out = dir / "out.pdf";
    addRow(a, "6-7,9-10", out, "N", "", "N", "Y");
    addRow(b, "2", out, "N", dir / "done");

    realRun.click();

    ASSERT_EQ(messages.texts(), (Strings{"Done."}));
    const Strings pages = pdfPageTexts(out);
    ASSERT_EQ(pages.size(), 6u);
    const char* expected[] = {"alpha p6", "alpha p7", "alpha p9", "alpha p10", "beta p2", "blank p1"};
    for (std::size_t k = 0; k < 6; ++k) EXPECT_TRUE(holds(pages[k], expected[k])) << k << ": " << pages[k];
    int titled = 0;
    for (const auto& e : pdfOutline(out)) titled += e.title == "alpha.pdf";
    EXPECT_EQ(titled, 2);
    EXPECT_TRUE(pathExists(dir / "done/beta.pdf"));
    EXPECT_FALSE(pathExists(b));
    EXPECT_EQ(logLines(), 2);
}

TEST_F(AppendRunQpdfTest, CreateNewReplacesAnExistingPdf)
{
    const std::string out = dir / "out.pdf";
    addRow(pdf("alpha", 3), "all", out);
    addRow(pdf("beta", 2), "all", out, "Y");
    realRun.click();
    EXPECT_EQ(messages.texts(), (Strings{"Done."}));
    const Strings pages = pdfPageTexts(out);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(holds(pages[0], "beta p1"));
    EXPECT_EQ(realRun.lastResult(), RunResult::Completed);
}

// "odd" inserts one run per page: named links between the runs, bookmark
// nesting across them and the file-name bookmarks all come out right.
TEST_F(AppendRunQpdfTest, OddPagesKeepLinksNestingAndFileNameBookmarks)
{
    SamplePdfOptions o{"alpha", 6, {}, false};
    // "even" jumps to a page left out: it stays, over the items of pages
    // that went in, and shows the first of them.
    o.outline = {{"Untitled", 1, {{"three", 3, {}, false, false, "", SampleDest::NameTree},
                                  {"five", 5, {}, false, false, "", SampleDest::OldDests}}},
                 {"even", 4, {{"four", 4, {}}, {"five again", 5, {}}}}};
    o.links = {{1, 5, SampleDest::NameTree}, {5, 3, SampleDest::OldDests, true}, {3, 4, SampleDest::NameTree}};
    const std::string a = dir / "alpha.pdf";
    ASSERT_TRUE(makeSamplePdf(a, o));
    const std::string out = dir / "out.pdf";
    addRow(a, "odd", out, "N", "", "Y", "Y");

    realRun.click();

    ASSERT_EQ(messages.texts(), (Strings{"Done."}));
    EXPECT_EQ(qpdfCheckProblems(out), "");
    std::vector<std::pair<std::string, int>> outline;
    for (const auto& e : pdfOutline(out)) outline.emplace_back(e.title, e.depth);
    EXPECT_EQ(outline, (std::vector<std::pair<std::string, int>>{{"Untitled", 0},
                                                                  {"three", 1},
                                                                  {"five", 1},
                                                                  {"alpha.pdf", 0},
                                                                  {"alpha.pdf", 0},
                                                                  {"even", 0},
                                                                  {"five again", 1},
                                                                  {"alpha.pdf", 0}}));
    QPDF pdf;
    pdf.processFile(out.c_str());
    auto pages = pdf.getAllPages();
    ASSERT_EQ(pages.size(), 3u);
    auto target = [&](int page) {
        QPDFObjectHandle link = pages[static_cast<std::size_t>(page)].getKey("/Annots").getArrayItem(0);
        QPDFObjectHandle dest = link.hasKey("/Dest") ? link.getKey("/Dest") : link.getKey("/A").getKey("/D");
        for (std::size_t i = 0; i < pages.size(); ++i)
            if (dest.isArray() && dest.getArrayItem(0).getObjGen() == pages[i].getObjGen()) return static_cast<int>(i);
        return -1;
    };
    EXPECT_EQ(target(0), 2); // page 1 → page 5, copied two runs later
    EXPECT_EQ(target(2), 1); // page 5 → page 3, copied a run earlier
    EXPECT_EQ(target(1), -1); // page 3 → page 4, not copied
    QPDFObjectHandle even = pdf.getRoot().getKey("/Outlines").getKey("/First");
    for (int i = 0; i < 3; ++i) even = even.getKey("/Next");
    ASSERT_EQ(even.getKey("/Title").getUTF8Value(), "even");
    EXPECT_EQ(even.getKey("/Dest").getArrayItem(0).getObjGen(), pages[2].getObjGen());
}

} // namespace
} // namespace fb::test
