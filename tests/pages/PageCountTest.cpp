#include "pages/PageCount.h"

#include <gtest/gtest.h>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <string>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "testkit/TestDirs.h"

namespace fb {
namespace {

using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

void writePdf(const std::string& path, int pages, const char* userPassword = nullptr)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper helper(pdf);
    for (int i = 0; i < pages; ++i) {
        auto page = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 200 200] /Resources << >> >>"));
        page.replaceKey("/Contents", pdf.newStream("q Q"));
        helper.addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter writer(pdf, path.c_str());
    if (userPassword)
        writer.setR6EncryptionParameters(userPassword, "owner", true, true, true, true, true, true,
                                         qpdf_r3p_full, true);
    writer.write();
}

// Stands in for Acrobat: records whether and with what it was asked.
struct RecordingFallback {
    int answer = 0;
    int calls = 0;
    std::string lastPath;
    AcrobatPageCounter counter()
    {
        return [this](const std::string& path) {
            ++calls;
            lastPath = path;
            return answer;
        };
    }
};

TEST(CountPages, RealPdfs)
{
    TempDir dir;
    for (int pages : {1, 3, 12}) {
        const std::string path = dir / ("p" + std::to_string(pages) + ".pdf");
        writePdf(path, pages);
        EXPECT_EQ(countPages(path), pages);
        RecordingFallback fallback;
        EXPECT_EQ(probePageCount(path, fallback.counter()), pages);
        EXPECT_EQ(fallback.calls, 0);
    }
}

TEST(CountPages, FilesWithoutUsablePdfGiveZero)
{
    TempDir dir;
    writeFileBytes(dir / "empty.pdf", "");
    writeFileBytes(dir / "three.pdf", "%PD");
    writeFileBytes(dir / "text.pdf", "just some words\r\nand more\r\n");
    writeFileBytes(dir / "lower.pdf", "%pdf-1.4\n");
    writeFileBytes(dir / "garbage.pdf", "%PDF\x01\x02\xff garbage that is no PDF at all");
    writePdf(dir / "whole.pdf", 5);
    const std::string whole = readFileBytes(dir / "whole.pdf");
    writeFileBytes(dir / "truncated.pdf", whole.substr(0, whole.size() / 3));
    writeFileBytes(dir / "header-only.pdf", "%PDF");
    for (const char* name :
         {"empty.pdf", "three.pdf", "text.pdf", "lower.pdf", "garbage.pdf", "header-only.pdf"})
        EXPECT_EQ(countPages(dir / name), 0) << name;
    // poppler may or may not repair a truncated file; it must give a count or 0.
    EXPECT_GE(countPages(dir / "truncated.pdf"), 0);
    EXPECT_EQ(countPages(""), 0);
    EXPECT_EQ(countPages(dir / "missing.pdf"), 0);
    EXPECT_EQ(countPages(dir.path()), 0);
}

TEST(CountPages, PasswordProtectedNeedsTheFallback)
{
    TempDir dir;
    const std::string path = dir / "locked.pdf";
    writePdf(path, 4, "secret");
    EXPECT_EQ(countPages(path), 0);
    RecordingFallback fallback;
    fallback.answer = 4;
    EXPECT_EQ(probePageCount(path, fallback.counter()), 4);
    EXPECT_EQ(fallback.calls, 1);
    EXPECT_EQ(fallback.lastPath, path);
}

TEST(ProbePageCount, ExistingUnreadableFileAsksTheFallback)
{
    TempDir dir;
    for (const std::string& bytes :
         {std::string(), std::string("abc"), std::string("hello world"), std::string("%PDF-1.4 nonsense")}) {
        const std::string path = dir / "f.pdf";
        writeFileBytes(path, bytes);
        RecordingFallback fallback;
        fallback.answer = 7;
        EXPECT_EQ(probePageCount(path, fallback.counter()), 7) << bytes;
        EXPECT_EQ(fallback.calls, 1);
        fallback.answer = 0;
        EXPECT_EQ(probePageCount(path, fallback.counter()), 0);
        EXPECT_EQ(probePageCount(path, AcrobatPageCounter{}), 0);
    }
}

TEST(ProbePageCount, UnopenableFilesGiveMinusOneWithoutFallback)
{
    TempDir dir;
    RecordingFallback fallback;
    fallback.answer = 9;
    EXPECT_EQ(probePageCount(dir / "missing.pdf", fallback.counter()), -1);
    EXPECT_EQ(probePageCount("", fallback.counter()), -1);
    EXPECT_EQ(probePageCount(dir.path(), fallback.counter()), -1);
    EXPECT_EQ(fallback.calls, 0);
}

TEST(ProbePageCount, NamedPipeDoesNotHang)
{
    TempDir dir;
    const std::string path = dir / "pipe.pdf";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(countPages(path), 0);
    RecordingFallback fallback;
    fallback.answer = 3;
    EXPECT_EQ(probePageCount(path, fallback.counter()), 0);
    EXPECT_EQ(fallback.calls, 0);
}

TEST(ProbePageCount, FallbackMisbehaviourIsContained)
{
    TempDir dir;
    const std::string path = dir / "bad.pdf";
    writeFileBytes(path, "not a pdf");
    // A negative answer must not be mistaken for "file does not open".
    EXPECT_EQ(probePageCount(path, [](const std::string&) { return -1; }), 0);
    EXPECT_EQ(probePageCount(path, [](const std::string&) -> int { throw std::runtime_error("x"); }), 0);
}

// A source named on many rows is read once, and read again as soon as it
// changes in any way; a file without pages is always asked again.
TEST(PageCountMemo, CountsAFileOnceUntilItChanges)
{
    TempDir dir;
    const std::string path = dir / "s.pdf";
    writeFileBytes(path, "not a pdf, only the fallback counts it");
    RecordingFallback fallback;
    fallback.answer = 5;
    PageCountMemo memo;
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(memo.probe(path, fallback.counter()), 5);
    EXPECT_EQ(fallback.calls, 1);

    writePdf(path, 2); // rewritten in place: its times change
    EXPECT_EQ(memo.probe(path, fallback.counter()), 2);
    const std::string other = dir / "other.pdf";
    writePdf(other, 4);
    ASSERT_EQ(::rename(other.c_str(), path.c_str()), 0); // replaced: another file
    EXPECT_EQ(memo.probe(path, fallback.counter()), 4);

    writeFileBytes(path, "no pages now");
    fallback.answer = 0;
    fallback.calls = 0;
    EXPECT_EQ(memo.probe(path, fallback.counter()), 0);
    EXPECT_EQ(memo.probe(path, fallback.counter()), 0);
    EXPECT_EQ(fallback.calls, 2);
    ::unlink(path.c_str());
    EXPECT_EQ(memo.probe(path, fallback.counter()), -1);
}

} // namespace
} // namespace fb
