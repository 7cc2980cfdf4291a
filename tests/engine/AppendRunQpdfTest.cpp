// The append run against the real qpdf page-work server and real PDF files.
#include "AppendRunFixture.h"

#include "engine/QpdfAutomation.h"
#include "common/Files.h"
#include "common/Text.h"
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
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_TRUE(contains(pages[k], expected[k])) << k << ": " << pages[k];
    int titled = 0;
    for (const auto& e : pdfOutline(out))
        titled += e.title == "alpha.pdf";
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
    EXPECT_TRUE(contains(pages[0], "beta p1"));
    EXPECT_EQ(realRun.lastResult(), RunResult::Completed);
}

// "odd" inserts one run per page: named links between the runs, bookmark
// nesting across them and the file-name bookmarks all come out right.
TEST_F(AppendRunQpdfTest, OddPagesKeepLinksNestingAndFileNameBookmarks)
{
    SamplePdfOptions o{"alpha", 6, {}, false};
    // "even" jumps to a page left out: it stays, over the items of pages
    // that went in, and shows the first of them.
    o.outline = {{"Untitled",
                  1,
                  {{"three", 3, {}, false, false, "", SampleDest::NameTree},
                   {"five", 5, {}, false, false, "", SampleDest::OldDests}}},
                 {"even", 4, {{"four", 4, {}}, {"five again", 5, {}}}}};
    o.links = {
        {1, 5, SampleDest::NameTree}, {5, 3, SampleDest::OldDests, true}, {3, 4, SampleDest::NameTree}};
    const std::string a = dir / "alpha.pdf";
    ASSERT_TRUE(makeSamplePdf(a, o));
    const std::string out = dir / "out.pdf";
    addRow(a, "odd", out, "N", "", "Y", "Y");

    realRun.click();

    ASSERT_EQ(messages.texts(), (Strings{"Done."}));
    EXPECT_EQ(qpdfCheckProblems(out), "");
    std::vector<std::pair<std::string, int>> outline;
    for (const auto& e : pdfOutline(out))
        outline.emplace_back(e.title, e.depth);
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
            if (dest.isArray() && dest.getArrayItem(0).getObjGen() == pages[i].getObjGen())
                return static_cast<int>(i);
        return -1;
    };
    EXPECT_EQ(target(0), 2);  // page 1 → page 5, copied two runs later
    EXPECT_EQ(target(2), 1);  // page 5 → page 3, copied a run earlier
    EXPECT_EQ(target(1), -1); // page 3 → page 4, not copied
    QPDFObjectHandle even = pdf.getRoot().getKey("/Outlines").getKey("/First");
    for (int i = 0; i < 3; ++i)
        even = even.getKey("/Next");
    ASSERT_EQ(even.getKey("/Title").getUTF8Value(), "even");
    EXPECT_EQ(even.getKey("/Dest").getArrayItem(0).getObjGen(), pages[2].getObjGen());
}

// The 0-based output page each page's first link jumps to (-1: none), and
// each bookmark's title, depth and output page (-1: none).
struct Jumps {
    std::vector<int> links;
    std::vector<std::string> bookmarks;
};

SampleOutlineItem item(const std::string& title, int page, std::vector<SampleOutlineItem> kids = {},
                       const std::string& uri = "")
{
    SampleOutlineItem i;
    i.title = title;
    i.page = page;
    i.kids = std::move(kids);
    i.uri = uri;
    return i;
}

Jumps jumpsIn(const std::string& path)
{
    QPDF pdf;
    pdf.processFile(path.c_str());
    const auto pages = pdf.getAllPages();
    auto pageOf = [&](QPDFObjectHandle dest) {
        for (std::size_t i = 0; i < pages.size(); ++i)
            if (dest.isArray() && dest.getArrayItem(0).getObjGen() == pages[i].getObjGen())
                return static_cast<int>(i);
        return -1;
    };
    Jumps j;
    for (QPDFObjectHandle page : pages) {
        QPDFObjectHandle annots = page.getKey("/Annots");
        if (!annots.isArray() || annots.getArrayNItems() == 0) continue;
        QPDFObjectHandle link = annots.getArrayItem(0);
        j.links.push_back(
            pageOf(link.hasKey("/Dest") ? link.getKey("/Dest") : link.getKey("/A").getKey("/D")));
    }
    auto walk = [&](auto& self, QPDFObjectHandle parent, int depth) -> void {
        for (auto item = parent.getKey("/First"); item.isDictionary(); item = item.getKey("/Next")) {
            j.bookmarks.push_back(item.getKey("/Title").getUTF8Value() + "/" + std::to_string(depth) + "/" +
                                  std::to_string(pageOf(item.getKey("/Dest"))));
            self(self, item, depth + 1);
        }
    };
    walk(walk, pdf.getRoot().getKey("/Outlines"), 0);
    return j;
}

// Two rows of one source into one output go on the same copy: links between
// them keep their target, later bookmarks nest under earlier ones, the item
// held for its kids takes its own page once it comes, and bookmarks follow
// the order of the rows. Each row saves an update, which must carry what the
// second row changed in the first one's objects.
TEST_F(AppendRunQpdfTest, RowsOfOneSourceIntoOneOutputActAsOneCopy)
{
    SamplePdfOptions o{"alpha", 8, {}, false};
    o.outline = {item("Part", 1, {item("early", 2), item("late", 7)})};
    o.links = {{2, 7, SampleDest::NameTree}, {7, 2, SampleDest::OldDests, true}};
    const std::string a = dir / "alpha.pdf";
    ASSERT_TRUE(makeSamplePdf(a, o));
    const std::string out = dir / "out.pdf";
    addRow(a, "5-8", out, "N", "", "Y");
    addRow(pdf("beta", 1), "all", out, "N", "", "Y");
    addRow(a, "5-8", out, "N", "", "Y"); // pages copied again: a copy of their own
    addRow(a, "1-4", out, "N", "", "Y");

    realRun.click();

    ASSERT_EQ(messages.texts(), (Strings{"Done."}));
    EXPECT_EQ(qpdfCheckProblems(out), "");
    const Jumps j = jumpsIn(out);
    // Output pages: alpha 5-8 (0-3), beta (4), alpha 5-8 (5-8), alpha 1-4 (9-12).
    // The links on alpha's page 7 (output 2 and 7) and page 2 (output 10):
    // the first copy never got page 2.
    EXPECT_EQ(j.links, (std::vector<int>{-1, 10, 7}));
    EXPECT_EQ(j.bookmarks, (Strings{"Part/0/2", "late/1/2", "Part/0/9", "late/1/7", "early/1/10"}));
}

// A bookmark that jumps nowhere in the document (a web link, or no action) is
// kept however many of its ancestors' pages are left out: under the nearest
// ancestor carried, or at the top level once the row is done.
TEST_F(AppendRunQpdfTest, BookmarksOfOtherKindsStayWhenTheirAncestorsPagesAreLeftOut)
{
    SamplePdfOptions o{"alpha", 6, {}, false};
    o.outline = {item("one", 1),
                 item("chapter", 5,
                      {item("web", 0, {}, "https://example.org"), item("section", 6, {item("note", 0)})}),
                 item("two", 2, {item("left out", 4, {item("mail", 0, {}, "mailto:a@example.org")})})};
    const std::string a = dir / "alpha.pdf";
    ASSERT_TRUE(makeSamplePdf(a, o));
    const std::string out = dir / "out.pdf";
    addRow(a, "1-2", out, "N", "", "Y");

    realRun.click();

    ASSERT_EQ(messages.texts(), (Strings{"Done."}));
    EXPECT_EQ(qpdfCheckProblems(out), "");
    EXPECT_EQ(jumpsIn(out).bookmarks, (Strings{"one/0/0", "two/0/1", "mail/1/-1", "web/0/-1", "note/0/-1"}));
}

// A file whose pages one output holds may take pages itself in a later row:
// it is changed on its own copy, and the output keeps what it had.
TEST_F(AppendRunQpdfTest, ASourceThatLaterTakesPagesLeavesEarlierCopiesAlone)
{
    const std::string a = pdf("alpha", 3);
    const std::string out = dir / "out.pdf";
    addRow(a, "1-2", out, "N", "", "Y");
    addRow(pdf("beta", 1), "all", a);
    addRow(a, "3", out, "N", "", "Y");

    realRun.click();

    ASSERT_EQ(messages.texts(), (Strings{"Done."}));
    for (const std::string& f : {out, a})
        EXPECT_EQ(qpdfCheckProblems(f), "") << f;
    const Strings outPages = pdfPageTexts(out);
    const Strings alphaPages = pdfPageTexts(a);
    ASSERT_EQ(outPages.size(), 3u);
    ASSERT_EQ(alphaPages.size(), 4u);
    EXPECT_TRUE(contains(outPages[2], "alpha p3"));
    EXPECT_TRUE(contains(alphaPages[3], "beta p1"));
}

} // namespace
} // namespace fb::test
