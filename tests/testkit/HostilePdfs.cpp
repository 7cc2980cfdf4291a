#include "testkit/HostilePdfs.h"

#include "testkit/SamplePdf.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

namespace fb::test {

namespace {

// A PDF assembled from numbered object bodies with a cross-reference table
// that is right unless a kind breaks it on purpose.
struct RawPdf {
    std::vector<std::pair<long, std::string>> objects;
    std::string trailerExtra;
    bool prevPointsToItself = false;
    long offsetError = 0; // added to every xref offset

    std::string bytes() const
    {
        std::string out = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
        std::vector<std::pair<long, size_t>> offsets;
        long size = 0;
        for (const auto& [num, body] : objects) {
            offsets.emplace_back(num, out.size());
            out += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
            size = std::max(size, num + 1);
        }
        const size_t xref = out.size();
        out += "xref\n0 1\n0000000000 65535 f \n";
        for (const auto& [num, at] : offsets) {
            char line[32];
            snprintf(line, sizeof line, "%010ld 00000 n \n", static_cast<long>(at) + offsetError);
            out += std::to_string(num) + " 1\n" + line;
        }
        out += "trailer\n<< /Size " + std::to_string(size) + " /Root 1 0 R " + trailerExtra;
        if (prevPointsToItself) out += " /Prev " + std::to_string(xref);
        out += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        return out;
    }
};

const std::string kContent = "<< /Length 39 >>\nstream\nBT /F1 24 Tf 20 100 Td (hostile) Tj ET\n\nendstream";
const std::string kPage =
    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
    "/Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >> >>";

RawPdf onePage()
{
    RawPdf pdf;
    pdf.objects = {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                   {2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"},
                   {3, kPage},
                   {4, kContent}};
    return pdf;
}

std::string twentyThousandPages()
{
    RawPdf pdf;
    constexpr int kPages = 20000;
    std::string kids;
    for (int i = 0; i < kPages; ++i)
        kids += std::to_string(5 + i) + " 0 R ";
    pdf.objects = {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                   {2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(kPages) + " >>"},
                   {4, kContent}};
    for (int i = 0; i < kPages; ++i)
        pdf.objects.emplace_back(5 + i, kPage);
    return pdf.bytes();
}

void qpdf(const std::vector<std::string>& args)
{
    auto r = runProgram("/usr/bin/qpdf", args, "/", 60);
    ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 3) << r.err; // 3: warnings
}

} // namespace

void writeSample(const std::string& path, int pages)
{
    SamplePdfOptions o;
    o.name = std::filesystem::path(path).stem();
    o.pages = pages;
    SampleOutlineItem first;
    first.title = "first";
    o.outline = {first};
    ASSERT_TRUE(makeSamplePdf(path, o)) << path;
}

std::vector<Kind> hostileKinds()
{
    auto raw = [](std::function<void(RawPdf&)> edit) {
        return [edit](const std::string& path, const std::string&) {
            RawPdf pdf = onePage();
            edit(pdf);
            writeFileBytes(path, pdf.bytes());
        };
    };
    return {
        {"Empty", [](auto& p, auto&) { writeFileBytes(p, ""); }},
        {"HeaderOnly", [](auto& p, auto&) { writeFileBytes(p, "%PDF-1.7\n"); }},
        {"GarbageAfterHeader",
         [](auto& p, auto&) {
             std::string junk = "%PDF-1.4\n";
             unsigned x = 12345;
             for (int i = 0; i < 8192; ++i)
                 junk += static_cast<char>((x = x * 1103515245 + 12345) >> 16);
             writeFileBytes(p, junk);
         }},
        {"Truncated",
         [](auto& p, auto& folder) {
             writeSample(folder + "/whole.tmp", 3);
             std::string whole = readFileBytes(folder + "/whole.tmp");
             std::filesystem::remove(folder + "/whole.tmp");
             writeFileBytes(p, whole.substr(0, whole.size() / 2));
         }},
        {"BadXrefOffsets", raw([](RawPdf& d) { d.offsetError = 7; })},
        {"PrevLoop", raw([](RawPdf& d) { d.prevPointsToItself = true; })},
        {"FalseStreamLength",
         raw([](RawPdf& d) { d.objects[3].second = "<< /Length 99999 >>\nstream\nBT ET\nendstream"; })},
        {"UserPassword",
         [](auto& p, auto& folder) {
             writeSample(folder + "/plain.tmp", 2);
             qpdf({"--encrypt", "user", "owner", "256", "--", folder + "/plain.tmp", p});
             std::filesystem::remove(folder + "/plain.tmp");
         }},
        {"OwnerPassword",
         [](auto& p, auto& folder) {
             writeSample(folder + "/plain.tmp", 2);
             qpdf({"--encrypt", "", "owner", "256", "--modify=none", "--assemble=n", "--extract=n", "--",
                   folder + "/plain.tmp", p});
             std::filesystem::remove(folder + "/plain.tmp");
         }},
        {"ZeroPages", raw([](RawPdf& d) {
             d.objects = {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                          {2, "<< /Type /Pages /Kids [] /Count 0 >>"}};
         })},
        {"LoopingPageTree", raw([](RawPdf& d) {
             d.objects[2].second = "<< /Type /Pages /Parent 2 0 R /Kids [2 0 R 3 0 R] /Count 1 >>";
         })},
        {"LoopingOutline", raw([](RawPdf& d) {
             d.objects[0].second = "<< /Type /Catalog /Pages 2 0 R /Outlines 5 0 R >>";
             d.objects.emplace_back(5, "<< /Type /Outlines /First 6 0 R /Last 6 0 R /Count 1 >>");
             d.objects.emplace_back(
                 6, "<< /Title (loop) /Parent 5 0 R /Next 6 0 R /Prev 6 0 R /First 6 0 R /Last 6 0 R "
                    "/Count 1 /Dest [3 0 R /Fit] >>");
         })},
        {"HugeObjectNumbers", raw([](RawPdf& d) {
             d.objects[2].second.replace(d.objects[2].second.find("4 0 R"), 5, "2147483600 0 R");
             d.objects[3].first = 2147483600;
         })},
        // qpdf reads an object nested deeper than its limit as null.
        {"DeepNesting", raw([](RawPdf& d) {
             d.objects[2].second.insert(d.objects[2].second.rfind(">>"),
                                        " /Deep " + std::string(600, '[') + std::string(600, ']'));
         })},
        {"CountMaxInt",
         raw([](RawPdf& d) { d.objects[1].second = "<< /Type /Pages /Kids [3 0 R] /Count 2147483647 >>"; })},
        {"TwentyThousandPages",
         [](auto& p, auto&) {
             static const std::string bytes = twentyThousandPages();
             writeFileBytes(p, bytes);
         }},
        {"Fifo", [](auto& p, auto&) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }},
        {"Directory", [](auto& p, auto&) { std::filesystem::create_directory(p); }},
    };
}

} // namespace fb::test
