#include "engine/QpdfAutomation.h"
#include "testkit/SamplePdf.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cctype>
#include <filesystem>
#include <set>
#include <sys/stat.h>

namespace fb {
namespace {

using test::pdfOutline;
using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;
using Texts = std::vector<std::string>;

struct OutlineAt {
    std::string title;
    int depth;
    int page; // 0-based, -1 when the destination is not a page of the file
    bool operator==(const OutlineAt&) const = default;
};

void PrintTo(const OutlineAt& o, std::ostream* os)
{
    *os << "{" << o.title << "," << o.depth << "," << o.page << "}";
}

void walkOutline(QPDF& pdf, std::vector<QPDFOutlineObjectHelper> items, int depth,
                 std::vector<OutlineAt>& out)
{
    auto pages = pdf.getAllPages();
    for (auto& item : items) {
        int index = -1;
        QPDFObjectHandle page = item.getDestPage();
        for (std::size_t i = 0; i < pages.size(); ++i)
            if (page.isIndirect() && pages[i].getObjGen() == page.getObjGen()) index = static_cast<int>(i);
        out.push_back({item.getTitle(), depth, index});
        walkOutline(pdf, item.getKids(), depth + 1, out);
    }
}

std::vector<OutlineAt> outlineWithPages(const std::string& path)
{
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(path.c_str());
    QPDFOutlineDocumentHelper helper(pdf);
    std::vector<OutlineAt> out;
    walkOutline(pdf, helper.getTopLevelOutlines(), 0, out);
    return out;
}

// Page texts with surrounding white space (poppler ends a page with a form feed) removed.
Texts pdfPageTexts(const std::string& path)
{
    Texts out = test::pdfPageTexts(path);
    for (auto& t : out) {
        while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back())))
            t.pop_back();
    }
    return out;
}

Texts pageNames(const std::string& name, std::initializer_list<int> pages)
{
    Texts out;
    for (int p : pages)
        out.push_back(name + " p" + std::to_string(p));
    return out;
}

// The 0-based page in the file each link of each page jumps to; -1: no destination.
std::vector<std::vector<int>> linkTargets(const std::string& path)
{
    QPDF pdf;
    pdf.processFile(path.c_str());
    auto pages = pdf.getAllPages();
    auto indexOf = [&](QPDFObjectHandle page) {
        for (std::size_t i = 0; i < pages.size(); ++i)
            if (page.isIndirect() && pages[i].getObjGen() == page.getObjGen()) return static_cast<int>(i);
        return -1;
    };
    std::vector<std::vector<int>> out;
    for (auto& page : pages) {
        out.emplace_back();
        QPDFObjectHandle annots = page.getKey("/Annots");
        for (int i = 0; annots.isArray() && i < annots.getArrayNItems(); ++i) {
            QPDFObjectHandle a = annots.getArrayItem(i);
            if (a.getKey("/Subtype").getName() != "/Link") continue;
            QPDFObjectHandle dest = a.getKey("/Dest");
            if (dest.isNull() && a.getKey("/A").isDictionary()) dest = a.getKey("/A").getKey("/D");
            out.back().push_back(dest.isArray() ? indexOf(dest.getArrayItem(0)) : -1);
        }
    }
    return out;
}

std::string catalogEntry(const std::string& path, const std::string& key)
{
    QPDF pdf;
    pdf.processFile(path.c_str());
    return pdf.getRoot().getKey(key).unparseResolved();
}

class QpdfAutomationTest : public ::testing::Test {
protected:
    std::string sample(const std::string& name, int pages, std::vector<SampleOutlineItem> outline = {},
                       bool linkAndForm = false)
    {
        std::string path = dir / (name + ".pdf");
        SamplePdfOptions o;
        o.name = name;
        o.pages = pages;
        o.outline = std::move(outline);
        o.withLinkAndForm = linkAndForm;
        EXPECT_TRUE(makeSamplePdf(path, o));
        return path;
    }
    std::string sample(const SamplePdfOptions& o)
    {
        std::string path = dir / (o.name + ".pdf");
        EXPECT_TRUE(makeSamplePdf(path, o));
        return path;
    }
    std::shared_ptr<PDDoc> open(const std::string& path)
    {
        auto doc = server->createPDDoc();
        EXPECT_NE(doc->Open(path), 0) << path;
        return doc;
    }
    std::shared_ptr<PDDoc> created()
    {
        auto doc = server->createPDDoc();
        doc->Create();
        return doc;
    }

    TempDir dir;
    std::unique_ptr<AutomationServer> server = makeQpdfAutomationServer();
};

TEST_F(QpdfAutomationTest, SampleMakerWritesNamedPagesAndOutline)
{
    std::string a = sample("A", 3, {{"one", 1, {{"two", 2, {}}}}, {"three", 3, {}}});
    EXPECT_EQ(pdfPageTexts(a), pageNames("A", {1, 2, 3}));
    EXPECT_EQ(outlineWithPages(a), (std::vector<OutlineAt>{{"one", 0, 0}, {"two", 1, 1}, {"three", 0, 2}}));
    SamplePdfOptions bad;
    bad.pages = 0;
    EXPECT_FALSE(makeSamplePdf(dir / "zero.pdf", bad));
    EXPECT_FALSE(makeSamplePdf(dir / "missing/x.pdf", SamplePdfOptions{"X", 1, {}, false}));
}

TEST_F(QpdfAutomationTest, InsertRunsIntoNewAndExistingOutputs)
{
    std::string a = sample("A", 5);
    std::string b = sample("B", 2);
    std::string out = dir / "out.pdf";

    auto output = created();
    auto src = open(a);
    EXPECT_EQ(output->GetNumPages(), 0);
    EXPECT_NE(output->InsertPages(-1, *src, 1, 2, 0), 0); // pages 2-3 into the empty file
    EXPECT_NE(output->InsertPages(output->GetNumPages() - 1, *src, 4, 1, 0), 0);
    EXPECT_EQ(output->GetNumPages(), 3);
    EXPECT_NE(src->Close(), 0);
    EXPECT_NE(output->Save(33, out), 0);
    EXPECT_NE(output->Close(), 0);
    EXPECT_EQ(pdfPageTexts(out), (Texts{"A p2", "A p3", "A p5"}));

    // A second row appends to the saved output, reading and replacing the same file.
    auto again = open(out);
    auto srcB = open(b);
    EXPECT_NE(again->InsertPages(2, *srcB, 0, 2, 0), 0);
    EXPECT_NE(again->InsertPages(-1, *srcB, 1, 1, 0), 0); // before page 0
    EXPECT_NE(again->Save(33, out), 0);
    again->Close();
    EXPECT_EQ(pdfPageTexts(out), (Texts{"B p2", "A p2", "A p3", "A p5", "B p1", "B p2"}));
}

TEST_F(QpdfAutomationTest, InsertRefusesOutOfRangeArguments)
{
    auto output = created();
    auto src = open(sample("A", 3));
    EXPECT_EQ(output->InsertPages(0, *src, 0, 1, 0), 0); // output has no page 0
    EXPECT_EQ(output->InsertPages(-2, *src, 0, 1, 0), 0);
    EXPECT_EQ(output->InsertPages(-1, *src, -1, 1, 0), 0);
    EXPECT_EQ(output->InsertPages(-1, *src, 3, 1, 0), 0);
    EXPECT_EQ(output->InsertPages(-1, *src, 1, 3, 0), 0);
    EXPECT_EQ(output->InsertPages(-1, *src, 0, 0, 0), 0);
    EXPECT_EQ(output->InsertPages(-1, *output, 0, 1, 0), 0);
    auto closed = server->createPDDoc();
    EXPECT_EQ(output->InsertPages(-1, *closed, 0, 1, 0), 0);
    EXPECT_EQ(closed->InsertPages(-1, *src, 0, 1, 0), 0);
    EXPECT_EQ(output->GetNumPages(), 0);
    EXPECT_NE(output->InsertPages(-1, *src, 0, 3, 0), 0);
    EXPECT_EQ(output->GetNumPages(), 3);
}

TEST_F(QpdfAutomationTest, BookmarksFlagCarriesOutlineOfInsertedPagesAndTheItemsHoldingThem)
{
    std::string a = sample(
        "A", 6, {{"ch1", 1, {{"s2", 2, {}}, {"s3", 3, {}}}}, {"ch4", 4, {{"s5", 5, {{"ss6", 6, {}}}}}}});
    std::string out = dir / "out.pdf";
    auto output = created();
    auto src = open(a);
    EXPECT_NE(output->InsertPages(-1, *src, 0, 2, 0), 0); // no flag: no outline
    EXPECT_NE(output->InsertPages(1, *src, 0, 3, 1), 0);  // ch1 with both kids
    // Page 4 is left out, but ch4 holds s5 and ss6: it stays over them and shows s5's page.
    EXPECT_NE(output->InsertPages(4, *src, 4, 2, 1), 0);
    EXPECT_NE(output->Save(33, out), 0);
    EXPECT_EQ(pdfPageTexts(out), pageNames("A", {1, 2, 1, 2, 3, 5, 6}));
    EXPECT_EQ(outlineWithPages(out),
              (std::vector<OutlineAt>{
                  {"ch1", 0, 2}, {"s2", 1, 3}, {"s3", 1, 4}, {"ch4", 0, 5}, {"s5", 1, 5}, {"ss6", 2, 6}}));
}

TEST_F(QpdfAutomationTest, BookmarksAppendAfterOutputsOwnItemsAndFollowGoToActions)
{
    std::string out = dir / "out.pdf";
    std::string b = sample("B", 2, {{"b1", 1, {}}, {"b2", 2, {}}});
    std::string base = sample("Base", 1, {{"base", 1, {}}});

    // Give B's second item a GoTo action instead of a plain destination.
    {
        QPDF pdf;
        pdf.processFile(b.c_str());
        QPDFObjectHandle second = pdf.getRoot().getKey("/Outlines").getKey("/Last");
        QPDFObjectHandle action = QPDFObjectHandle::parse("<< /S /GoTo >>");
        action.replaceKey("/D", second.getKey("/Dest"));
        second.removeKey("/Dest");
        second.replaceKey("/A", action);
        std::string b2 = dir / "b2.pdf"; // the writer keeps the name pointer
        QPDFWriter w(pdf, b2.c_str());
        w.write();
    }
    auto output = open(base);
    auto src = open(dir / "b2.pdf");
    EXPECT_NE(output->InsertPages(0, *src, 0, 2, 1), 0);
    EXPECT_NE(output->Save(33, out), 0);
    EXPECT_EQ(outlineWithPages(out), (std::vector<OutlineAt>{{"base", 0, 0}, {"b1", 0, 1}, {"b2", 0, 2}}));
}

TEST_F(QpdfAutomationTest, NewBookmarkAtShownPageThenRenamed)
{
    std::string out = dir / "out.pdf";
    auto app = server->createApp();
    auto output = created();
    auto src = open(sample("A", 4));
    EXPECT_EQ(app->MenuItemExecute("NewBookmark"), 0); // no view open yet
    EXPECT_NE(output->InsertPages(-1, *src, 0, 2, 0), 0);
    EXPECT_NE(output->InsertPages(1, *src, 2, 2, 0), 0);

    auto view = output->OpenAVDoc(out);
    ASSERT_TRUE(view);
    auto pageView = view->GetAVPageView();
    ASSERT_TRUE(pageView);
    EXPECT_NE(pageView->GoTo(2), 0);
    EXPECT_EQ(pageView->GoTo(9), 0);
    EXPECT_EQ(app->MenuItemExecute("SomethingElse"), 0);
    EXPECT_NE(app->MenuItemExecute("NewBookmark"), 0);

    auto bookmark = server->createPDBookmark();
    EXPECT_EQ(bookmark->SetTitle("nothing found yet"), 0);
    EXPECT_EQ(bookmark->GetByTitle(*output, "Missing"), 0);
    EXPECT_NE(bookmark->GetByTitle(*output, "Untitled"), 0);
    EXPECT_NE(bookmark->SetTitle("A.pdf"), 0);
    EXPECT_EQ(bookmark->GetByTitle(*output, "Untitled"), 0);

    EXPECT_NE(output->Save(33, out), 0);
    EXPECT_EQ(outlineWithPages(out), (std::vector<OutlineAt>{{"A.pdf", 0, 2}}));
}

TEST_F(QpdfAutomationTest, FormFieldAndLinksSurviveInsertion)
{
    std::string a = sample("A", 3, {}, true);
    std::string out = dir / "out.pdf";
    auto output = created();
    auto src = open(a);
    EXPECT_NE(output->InsertPages(-1, *src, 0, 3, 0), 0);
    EXPECT_NE(output->Save(33, out), 0);

    QPDF pdf;
    pdf.processFile(out.c_str());
    QPDFAcroFormDocumentHelper form(pdf);
    auto fields = form.getFormFields();
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0].getFullyQualifiedName(), "field1");
    EXPECT_EQ(fields[0].getValueAsString(), "hello");

    auto pages = pdf.getAllPages();
    ASSERT_EQ(pages.size(), 3u);
    bool sawLink = false;
    QPDFObjectHandle annots = pages[0].getKey("/Annots");
    for (int i = 0; i < annots.getArrayNItems(); ++i) {
        QPDFObjectHandle a = annots.getArrayItem(i);
        if (a.getKey("/Subtype").getName() != "/Link") continue;
        sawLink = true;
        EXPECT_EQ(a.getKey("/Dest").getArrayItem(0).getObjGen(), pages[2].getObjGen());
    }
    EXPECT_TRUE(sawLink);
}

TEST_F(QpdfAutomationTest, LinkToPageNotCopiedDoesNotAddIt)
{
    std::string a = sample("A", 3, {}, true);
    std::string out = dir / "out.pdf";
    auto output = created();
    auto src = open(a);
    EXPECT_NE(output->InsertPages(-1, *src, 0, 1, 0), 0); // page 1 links to page 3
    EXPECT_NE(output->Save(33, out), 0);
    Texts texts = pdfPageTexts(out);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("A p1", 0), 0u) << texts[0];

    QPDF pdf;
    pdf.processFile(out.c_str());
    int pageObjects = 0;
    for (auto& obj : pdf.getAllObjects())
        if (obj.isDictionary() && obj.getKey("/Type").isName() && obj.getKey("/Type").getName() == "/Page")
            ++pageObjects;
    EXPECT_EQ(pageObjects, 1);
    QPDFAcroFormDocumentHelper form(pdf);
    ASSERT_EQ(form.getFormFields().size(), 1u);
    EXPECT_EQ(form.getFormFields()[0].getValueAsString(), "hello");
}

TEST_F(QpdfAutomationTest, UnusableInputsFailWithoutThrowing)
{
    std::string good = sample("A", 2);
    std::string bytes = readFileBytes(good);
    writeFileBytes(dir / "empty.pdf", "");
    writeFileBytes(dir / "text.pdf", "this is not a pdf at all\n");
    writeFileBytes(dir / "truncated.pdf", bytes.substr(0, 40));
    std::string garbled = bytes;
    for (std::size_t i = 15; i < garbled.size(); i += 7)
        garbled[i] = '#';
    writeFileBytes(dir / "garbled.pdf", garbled);
    {
        QPDF pdf;
        pdf.processFile(good.c_str());
        std::string locked = dir / "locked.pdf";
        QPDFWriter w(pdf, locked.c_str());
        w.setR6EncryptionParameters("user", "owner", true, true, true, true, true, true, qpdf_r3p_full, true);
        w.write();
    }

    auto app = server->createApp();
    auto output = created();
    for (std::string name :
         {"empty.pdf", "text.pdf", "truncated.pdf", "garbled.pdf", "locked.pdf", "nope.pdf"}) {
        auto doc = server->createPDDoc();
        EXPECT_EQ(doc->Open(dir / name), 0) << name;
        EXPECT_EQ(doc->GetNumPages(), 0) << name;
        EXPECT_EQ(output->InsertPages(-1, *doc, 0, 1, 1), 0) << name;
        EXPECT_EQ(doc->Close(), 0) << name;
        auto view = server->createAVDoc();
        EXPECT_EQ(view->Open(dir / name, ""), 0) << name;
        EXPECT_EQ(view->GetPDDoc(), nullptr);
        EXPECT_EQ(view->Close(1), 0);
    }
    EXPECT_EQ(server->createPDDoc()->Open(dir.path()), 0); // a folder
    EXPECT_EQ(output->GetNumPages(), 0);
    EXPECT_EQ(server->createPDDoc()->Save(33, dir / "never.pdf"), 0); // nothing open
}

TEST_F(QpdfAutomationTest, LoopingOutlineAndRepeatedFormPagesAreHandled)
{
    std::string a = sample("A", 2, {{"one", 1, {{"kid", 2, {}}}}, {"two", 2, {}}}, true);
    std::string looped = dir / "looped.pdf";
    {
        QPDF pdf;
        pdf.processFile(a.c_str());
        QPDFObjectHandle outlines = pdf.getRoot().getKey("/Outlines");
        QPDFObjectHandle first = outlines.getKey("/First");
        outlines.getKey("/Last").replaceKey("/Next", first); // top level loops back
        first.getKey("/First").replaceKey("/First", first);  // a kid whose kid is its parent
        QPDFWriter w(pdf, looped.c_str());
        w.write();
    }
    std::string out = dir / "out.pdf";
    auto output = created();
    auto src = open(looped);
    EXPECT_NE(output->InsertPages(-1, *src, 0, 2, 1), 0);
    EXPECT_NE(output->InsertPages(1, *src, 0, 2, 1), 0); // the same pages again
    auto bookmark = server->createPDBookmark();
    EXPECT_EQ(bookmark->GetByTitle(*output, "absent"), 0);
    EXPECT_NE(output->Save(33, out), 0);
    Texts texts = pdfPageTexts(out);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[3], "A p2");
    auto outline = outlineWithPages(out);
    ASSERT_EQ(outline.size(), 6u);
    EXPECT_EQ(outline[3], (OutlineAt{"one", 0, 2}));
}

TEST_F(QpdfAutomationTest, FailedSaveLeavesOldOutputUntouched)
{
    std::string out = sample("Old", 2);
    std::string before = readFileBytes(out);
    auto doc = open(sample("A", 1));
    EXPECT_EQ(doc->Save(33, dir / "missing/out.pdf"), 0);
    ASSERT_EQ(mkdir((dir / "folder.pdf").c_str(), 0755), 0);
    EXPECT_EQ(doc->Save(33, dir / "folder.pdf"), 0);
    EXPECT_EQ(readFileBytes(out), before);
    EXPECT_NE(doc->Save(33, out), 0);
    EXPECT_EQ(pdfPageTexts(out), (Texts{"A p1"}));
    // No temporary files are left next to the outputs.
    std::set<std::string> names;
    for (auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.insert(entry.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"A.pdf", "Old.pdf", "folder.pdf"}));
}

TEST_F(QpdfAutomationTest, SaveOverOpenedSourceAndCloseAll)
{
    std::string a = sample("A", 3);
    auto doc = open(a);
    auto same = open(a);
    EXPECT_NE(doc->InsertPages(2, *same, 0, 3, 0), 0); // the file appended to itself
    EXPECT_NE(doc->Save(33, a), 0);
    EXPECT_EQ(pdfPageTexts(a), pageNames("A", {1, 2, 3, 1, 2, 3}));

    auto app = server->createApp();
    auto view = server->createAVDoc();
    EXPECT_NE(view->Open(a, ""), 0);
    auto viewed = view->GetPDDoc();
    ASSERT_TRUE(viewed);
    EXPECT_EQ(viewed->GetNumPages(), 6);
    EXPECT_NE(app->CloseAllDocs(), 0);
    EXPECT_EQ(doc->GetNumPages(), 0);
    EXPECT_EQ(viewed->GetNumPages(), 0);
    EXPECT_EQ(view->Close(1), 0);
    EXPECT_EQ(doc->Close(), 0);
    // A document stays usable after being opened again.
    EXPECT_NE(doc->Open(a), 0);
    EXPECT_EQ(doc->GetNumPages(), 6);
    EXPECT_NE(app->Exit(), 0);
}

// An item kept only for the items under it shows its own page once a later
// run of the same source brings that page.
TEST_F(QpdfAutomationTest, AnItemHeldForItsKidsPointsAtItsOwnPageOnceItComes)
{
    std::string a = sample("A", 6, {{"ch4", 4, {{"s5", 5, {}}}}});
    std::string out = dir / "out.pdf";
    auto output = created();
    auto src = open(a);
    ASSERT_NE(output->InsertPages(-1, *src, 4, 2, 1), 0); // pages 5-6: ch4 shows page 5 for now
    ASSERT_NE(output->InsertPages(1, *src, 3, 1, 1), 0);  // page 4
    ASSERT_NE(output->Save(33, out), 0);
    EXPECT_EQ(pdfPageTexts(out), pageNames("A", {5, 6, 4}));
    EXPECT_EQ(outlineWithPages(out), (std::vector<OutlineAt>{{"ch4", 0, 2}, {"s5", 1, 0}}));
}

// A source copied in two runs (pages 1-2, then 4-5) into a new output, as the
// selection "1-2,4-5" does: every kind of named destination, bookmarks of
// every action kind with their state and style, page labels and version.
TEST_F(QpdfAutomationTest, RunsOfOneSourceKeepLinksBookmarksLabelsAndVersion)
{
    SamplePdfOptions o{"A", 6, {}, false};
    o.links = {{1, 5, SampleDest::NameTree},
               {2, 6, SampleDest::OldDests, true},
               {2, 1, SampleDest::OldDests, true},
               {4, 1, SampleDest::NameTree},
               {5, 4, SampleDest::Explicit}};
    SampleOutlineItem part{"Part", 1, {}, true, true};
    part.kids = {{"two", 2, {}, false, false, "", SampleDest::NameTree},
                 {"web", 0, {}, false, false, "https://example.org/a"},
                 {"four", 4, {{"five", 5, {}}}, false, false, "", SampleDest::OldDests}};
    SampleOutlineItem six{"six", 6, {{"six web", 0, {}, false, false, "https://example.org/6"}}};
    o.outline = {part, six, {"site", 0, {}, false, false, "https://example.org"}};
    o.labels = {{1, "r"}, {3, "D"}};
    o.version = "1.7";
    std::string a = sample(o);

    std::string out = dir / "out.pdf";
    auto output = created();
    auto src = open(a);
    ASSERT_NE(output->InsertPages(-1, *src, 0, 2, 1), 0);
    ASSERT_NE(output->InsertPages(1, *src, 3, 2, 1), 0);
    ASSERT_NE(output->Save(33, out), 0);
    EXPECT_EQ(test::qpdfCheckProblems(out), "");
    EXPECT_EQ(readFileBytes(out).substr(0, 8), "%PDF-1.7");

    // Links across the two runs work; the one into page 6 (not copied) has no destination.
    EXPECT_EQ(linkTargets(out), (std::vector<std::vector<int>>{{3}, {-1, 0}, {0}, {2}}));
    EXPECT_EQ(outlineWithPages(out), (std::vector<OutlineAt>{{"Part", 0, 0},
                                                             {"two", 1, 1},
                                                             {"web", 1, -1},
                                                             {"four", 1, 2},
                                                             {"five", 2, 3},
                                                             {"site", 0, -1},
                                                             {"six web", 0, -1}}));
    QPDF pdf;
    pdf.processFile(out.c_str());
    QPDFObjectHandle outlines = pdf.getRoot().getKey("/Outlines");
    QPDFObjectHandle first = outlines.getKey("/First");
    EXPECT_EQ(outlines.getKey("/Count").getIntValue(), 3); // Part is closed
    EXPECT_EQ(first.getKey("/Count").getIntValue(), -4);   // four of its items show once opened
    EXPECT_EQ(first.getKey("/C").unparse(), "[ 1 0 0 ]");
    EXPECT_EQ(first.getKey("/F").getIntValue(), 3);
    EXPECT_EQ(first.getKey("/First").getKey("/Next").getKey("/A").getKey("/URI").getStringValue(),
              "https://example.org/a");
    EXPECT_EQ(catalogEntry(out, "/PageLabels"), "<< /Nums [ 0 << /S /r >> 2 << /S /D /St 2 >> ] >>");
}

// Pages already in an output show the same labels after pages go in before,
// between and after them; unlabelled sources bring their own page numbers.
TEST_F(QpdfAutomationTest, PageLabelsOfOutputPagesStayAsTheyShow)
{
    SamplePdfOptions roman{"R", 3, {}, false};
    roman.labels = {{1, "r", "x-"}};
    std::string r = sample(roman);
    std::string plain = sample("P", 4);
    std::string out = sample("Out", 2);
    std::string pages = dir / "pages.pdf";

    auto output = open(out);
    auto srcR = open(r);
    auto srcP = open(plain);
    ASSERT_NE(output->InsertPages(1, *srcR, 1, 2, 0), 0);  // x-ii, x-iii after 1, 2
    ASSERT_NE(output->InsertPages(-1, *srcP, 2, 1, 0), 0); // P's page 3 first
    ASSERT_NE(output->Save(33, out), 0);
    EXPECT_EQ(catalogEntry(out, "/PageLabels"),
              "<< /Nums [ 0 << /S /D /St 3 >> 1 << /S /D >> 3 << /P (x-) /S /r /St 2 >> ] >>");
    output->Close();

    // Labels read back from a saved output are kept the same way.
    auto again = open(out);
    ASSERT_NE(again->InsertPages(2, *srcP, 0, 1, 0), 0);
    ASSERT_NE(again->Save(33, out), 0);
    EXPECT_EQ(catalogEntry(out, "/PageLabels"),
              "<< /Nums [ 0 << /S /D /St 3 >> 1 << /S /D >> 3 << /S /D >> 4 << /P (x-) /S /r /St 2 >> ] >>");
    EXPECT_EQ(test::qpdfCheckProblems(out), "");
    again->Close();

    // Appended at the end of a saved output (written as an update to it), with bookmarks.
    auto third = open(out);
    auto srcB = open(sample("B", 2, {{"b1", 1, {{"b2", 2, {}}}, true}}));
    ASSERT_NE(third->InsertPages(5, *srcB, 0, 2, 1), 0);
    ASSERT_NE(third->Save(33, out), 0);
    EXPECT_EQ(test::qpdfCheckProblems(out), "");
    EXPECT_EQ(catalogEntry(out, "/PageLabels"), "<< /Nums [ 0 << /S /D /St 3 >> 1 << /S /D >> 3 << /S /D >> "
                                                "4 << /P (x-) /S /r /St 2 >> 6 << /S /D >> ] >>");
    EXPECT_EQ(outlineWithPages(out), (std::vector<OutlineAt>{{"b1", 0, 6}, {"b2", 1, 7}}));
    QPDF pdf;
    pdf.processFile(out.c_str());
    QPDFObjectHandle outlines = pdf.getRoot().getKey("/Outlines");
    EXPECT_EQ(outlines.getKey("/Count").getIntValue(), 1);
    EXPECT_EQ(outlines.getKey("/First").getKey("/Count").getIntValue(), -1);

    // Unlabelled into unlabelled stays unlabelled.
    auto fresh = created();
    ASSERT_NE(fresh->InsertPages(-1, *srcP, 0, 2, 0), 0);
    ASSERT_NE(fresh->Save(33, pages), 0);
    EXPECT_EQ(catalogEntry(pages, "/PageLabels"), "null");
}

TEST_F(QpdfAutomationTest, NewBookmarkIsTheOneRenamedWhateverTheDocumentHolds)
{
    std::string out = dir / "out.pdf";
    auto app = server->createApp();
    auto output = created();
    auto src = open(sample("A", 2, {{"Untitled", 1, {}}, {"Untitled", 2, {}}}));
    ASSERT_NE(output->InsertPages(-1, *src, 0, 2, 1), 0);
    auto view = output->OpenAVDoc(out);
    ASSERT_NE(view->GetAVPageView()->GoTo(1), 0);
    ASSERT_NE(app->MenuItemExecute("NewBookmark"), 0);
    auto bookmark = server->createPDBookmark();
    ASSERT_NE(bookmark->GetByTitle(*output, "Untitled"), 0);
    EXPECT_NE(bookmark->SetTitle("A.pdf"), 0);
    ASSERT_NE(output->Save(33, out), 0);
    EXPECT_EQ(outlineWithPages(out),
              (std::vector<OutlineAt>{{"Untitled", 0, 0}, {"Untitled", 0, 1}, {"A.pdf", 0, 1}}));
}

// Name and number trees that loop back on themselves are read as far as they go.
TEST_F(QpdfAutomationTest, LoopingNameAndLabelTreesAreBounded)
{
    SamplePdfOptions o{"A", 3, {{"one", 3, {}, false, false, "", SampleDest::NameTree}}, false};
    o.links = {{1, 2, SampleDest::NameTree}};
    std::string a = sample(o);
    std::string looped = dir / "looped.pdf";
    {
        QPDF pdf;
        pdf.processFile(a.c_str());
        QPDFObjectHandle tree = pdf.getRoot().getKey("/Names").getKey("/Dests");
        tree.getKey("/Kids").appendItem(tree);
        QPDFObjectHandle labels =
            pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Nums [0 << /S /R >>] >>"));
        QPDFObjectHandle kids = QPDFObjectHandle::newArray();
        kids.appendItem(labels);
        labels.replaceKey("/Kids", kids);
        pdf.getRoot().replaceKey("/PageLabels", labels);
        QPDFWriter w(pdf, looped.c_str());
        w.write();
    }
    std::string out = dir / "out.pdf";
    auto output = created();
    auto src = open(looped);
    ASSERT_NE(output->InsertPages(-1, *src, 0, 3, 1), 0);
    ASSERT_NE(output->Save(33, out), 0);
    EXPECT_EQ(test::qpdfCheckProblems(out), "");
    EXPECT_EQ(linkTargets(out), (std::vector<std::vector<int>>{{1}, {}, {}}));
    EXPECT_EQ(outlineWithPages(out), (std::vector<OutlineAt>{{"one", 0, 2}}));
    EXPECT_EQ(catalogEntry(out, "/PageLabels"), "<< /Nums [ 0 << /S /R >> ] >>");
}

} // namespace
} // namespace fb
