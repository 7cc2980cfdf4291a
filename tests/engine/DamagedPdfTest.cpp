// Randomly damaged copies of real-looking PDFs (outline, named links, page
// labels, a form) go through everything the program does with a PDF: the
// page count, copying into a new output in one run and in single pages, and
// serving as an output that two rows append to. Nothing may crash, throw out
// of the layer or hang, and what is saved must open again.
//
// FB_DAMAGED_PDFS=N runs N damaged files instead of the default 150;
// FB_DAMAGED_PDF=FILE runs that one file instead, to look into a failure;
// FB_DAMAGED_SEED=S damages them differently; FB_DAMAGED_FROM=FILE damages
// that file (a real manual, say) instead of the made ones.
#include "testkit/TestDirs.h"

#include "testkit/SamplePdf.h"
#include "engine/QpdfAutomation.h"
#include "pages/PageCount.h"

#include <gtest/gtest.h>
#include <qpdf/QPDF.hh>

#include <cstdlib>
#include <random>

namespace fb::test {
namespace {

class Damage {
public:
    explicit Damage(unsigned seed) : random_(seed) {}

    std::string apply(std::string bytes)
    {
        for (int n = 1 + static_cast<int>(random_() % 3); n > 0 && !bytes.empty(); --n)
            bytes = once(bytes);
        return bytes;
    }

private:
    std::size_t at(const std::string& bytes) { return random_() % bytes.size(); }

    std::string once(std::string bytes)
    {
        static const char* const numbers[] = {"0",          "1",           "-1",         "3",
                                              "2147483647", "99999999999", "4294967296", "65535"};
        static const char* const names[] = {"/Kids", "/Parent",     "/Count",    "/First",  "/Last",
                                            "/Next", "/Prev",       "/Dest",     "/D",      "/Names",
                                            "/Nums", "/PageLabels", "/Outlines", "/Annots", "/A",
                                            "/S",    "/Pages",      "/Root",     "/Length", "/Type"};
        switch (random_() % 6) {
        case 0: // a few bytes changed
            for (int k = 1 + static_cast<int>(random_() % 8); k > 0; --k)
                bytes[at(bytes)] = static_cast<char>(random_());
            break;
        case 1: { // a number changed: offsets, object numbers, counts, lengths
            std::size_t p = at(bytes);
            while (p < bytes.size() && !std::isdigit(static_cast<unsigned char>(bytes[p])))
                ++p;
            std::size_t e = p;
            while (e < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[e])))
                ++e;
            if (p < bytes.size()) bytes.replace(p, e - p, numbers[random_() % std::size(numbers)]);
            break;
        }
        case 2: // cut short
            bytes.resize(at(bytes));
            break;
        case 3: { // a piece repeated elsewhere
            std::size_t from = at(bytes), len = std::min<std::size_t>(bytes.size() - from, random_() % 400);
            bytes.insert(at(bytes), bytes.substr(from, len));
            break;
        }
        case 4: { // a piece gone
            std::size_t from = at(bytes);
            bytes.erase(from, std::min<std::size_t>(bytes.size() - from, random_() % 200));
            break;
        }
        default: { // one key put in the place of another
            std::size_t p = bytes.find('/', at(bytes));
            if (p == std::string::npos) break;
            std::size_t e = p + 1;
            while (e < bytes.size() && std::isalnum(static_cast<unsigned char>(bytes[e])))
                ++e;
            bytes.replace(p, e - p, names[random_() % std::size(names)]);
        }
        }
        return bytes;
    }

    std::mt19937 random_;
};

// Opens with qpdf, as any reader of our outputs would.
bool opensAgain(const std::string& path, std::string& why)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.c_str());
        (void)pdf.getAllPages();
        return true;
    } catch (const std::exception& e) {
        why = e.what();
        return false;
    }
}

TEST(DamagedPdf, NothingCrashesHangsOrWritesWhatCannotBeRead)
{
    TempDir dir;
    std::vector<std::string> originals;
    for (int k = 0; k < 3; ++k) {
        SamplePdfOptions o;
        o.name = "d" + std::to_string(k);
        o.pages = 3 + k;
        o.withLinkAndForm = k == 1;
        o.outline = {{"one", 1, {{"two", 2, {}, true, true, "", SampleDest::NameTree}}},
                     {"web", 0, {}, false, false, "https://example.org"},
                     {"last", o.pages, {}, false, false, "", SampleDest::OldDests}};
        o.links = {{1, 2, SampleDest::NameTree}, {2, o.pages, SampleDest::OldDests, true}};
        o.labels = {{1, "r"}, {2, "D", "p-", 1}};
        const std::string path = dir / (o.name + ".pdf");
        ASSERT_TRUE(makeSamplePdf(path, o));
        originals.push_back(readFileBytes(path));
    }
    if (const char* from = std::getenv("FB_DAMAGED_FROM")) originals = {readFileBytes(from)};
    const std::string good = dir / "d0.pdf";
    const std::string damaged = dir / "damaged.pdf";
    const std::string fresh = dir / "fresh.pdf";
    const std::string grown = dir / "grown.pdf";

    const char* asked = std::getenv("FB_DAMAGED_PDFS");
    const char* one = std::getenv("FB_DAMAGED_PDF");
    const int files = one ? 1 : asked ? std::atoi(asked) : 150;
    const char* seed = std::getenv("FB_DAMAGED_SEED");
    Damage damage(seed ? static_cast<unsigned>(std::atoi(seed)) : 20261208u);
    auto server = makeQpdfAutomationServer();
    auto app = server->createApp();
    for (int i = 0; i < files; ++i) {
        const std::string bytes =
            one ? readFileBytes(one)
                : damage.apply(originals[static_cast<std::size_t>(i) % originals.size()]);
        writeFileBytes(damaged, bytes);
        SCOPED_TRACE("damaged file " + std::to_string(i));
        (void)countPages(damaged);

        // As a source: all pages with bookmarks in one run, then odd pages one by one.
        auto src = server->createPDDoc();
        if (src->Open(damaged)) {
            const long n = src->GetNumPages();
            auto out = server->createPDDoc();
            ASSERT_NE(out->Create(), 0);
            if (n > 0) (void)out->InsertPages(-1, *src, 0, n, 1);
            for (long p = 0; p < n && p < 12; p += 2)
                (void)out->InsertPages(out->GetNumPages() - 1, *src, p, 1, 1);
            std::string why;
            if (out->Save(33, fresh)) EXPECT_TRUE(opensAgain(fresh, why)) << why;
            out->Close();
            src->Close();
        }

        // As an output that two rows append to.
        writeFileBytes(grown, bytes);
        for (int row = 0; row < 2; ++row) {
            auto out = server->createPDDoc();
            auto add = server->createPDDoc();
            if (!out->Open(grown) || !add->Open(good)) break;
            if (!out->InsertPages(out->GetNumPages() - 1, *add, 0, 2, 1)) break;
            // The file-name bookmark, as -f makes it, in whatever outline is there.
            if (auto view = out->OpenAVDoc("grown")) {
                if (auto page = view->GetAVPageView()) (void)page->GoTo(out->GetNumPages() - 2);
                if (app->MenuItemExecute("NewBookmark")) {
                    auto mark = server->createPDBookmark();
                    if (mark && mark->GetByTitle(*out, "Untitled")) (void)mark->SetTitle("d.pdf");
                }
                (void)view->Close(1);
            }
            std::string why;
            if (out->Save(33, grown)) EXPECT_TRUE(opensAgain(grown, why)) << why;
            add->Close();
            out->Close();
        }
        if (HasFailure()) break;
    }
}

} // namespace
} // namespace fb::test
