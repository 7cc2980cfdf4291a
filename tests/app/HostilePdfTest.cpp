// Hostile files through the real program, run unattended as cron runs it: each
// kind as a source, as an existing output and as a filler. Whatever the file,
// the program must end in time without crashing, say what went wrong, exit
// non-zero when the job was not done, and leave every other file as it was.
#include "testkit/SamplePdf.h"
#include "pages/PageCount.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>

using namespace fb;
using namespace fb::test;

namespace {

const std::string kMervo = FB_MERVO_EXE;
constexpr int kTimeoutSeconds = 60; // generous for sanitizer builds; a hang is far longer

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
    for (int i = 0; i < kPages; ++i) kids += std::to_string(5 + i) + " 0 R ";
    pdf.objects = {{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                   {2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(kPages) + " >>"},
                   {4, kContent}};
    for (int i = 0; i < kPages; ++i) pdf.objects.emplace_back(5 + i, kPage);
    return pdf.bytes();
}

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

void qpdf(const std::vector<std::string>& args)
{
    auto r = runProgram("/usr/bin/qpdf", args, "/", 60);
    ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 3) << r.err; // 3: warnings
}

struct Kind {
    std::string name;
    std::function<void(const std::string& path, const std::string& folder)> make;
};

void bytesKind(const std::string& path, const std::string& bytes) { writeFileBytes(path, bytes); }

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
        {"Empty", [](auto& p, auto&) { bytesKind(p, ""); }},
        {"HeaderOnly", [](auto& p, auto&) { bytesKind(p, "%PDF-1.7\n"); }},
        {"GarbageAfterHeader",
         [](auto& p, auto&) {
             std::string junk = "%PDF-1.4\n";
             unsigned x = 12345;
             for (int i = 0; i < 8192; ++i) junk += static_cast<char>((x = x * 1103515245 + 12345) >> 16);
             bytesKind(p, junk);
         }},
        {"Truncated",
         [](auto& p, auto& folder) {
             writeSample(folder + "/whole.tmp", 3);
             std::string whole = readFileBytes(folder + "/whole.tmp");
             std::filesystem::remove(folder + "/whole.tmp");
             bytesKind(p, whole.substr(0, whole.size() / 2));
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
        {"ZeroPages",
         raw([](RawPdf& d) {
             d.objects = {{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, "<< /Type /Pages /Kids [] /Count 0 >>"}};
         })},
        {"LoopingPageTree",
         raw([](RawPdf& d) { d.objects[2].second = "<< /Type /Pages /Parent 2 0 R /Kids [2 0 R 3 0 R] /Count 1 >>"; })},
        {"LoopingOutline",
         raw([](RawPdf& d) {
             d.objects[0].second = "<< /Type /Catalog /Pages 2 0 R /Outlines 5 0 R >>";
             d.objects.emplace_back(5, "<< /Type /Outlines /First 6 0 R /Last 6 0 R /Count 1 >>");
             d.objects.emplace_back(
                 6, "<< /Title (loop) /Parent 5 0 R /Next 6 0 R /Prev 6 0 R /First 6 0 R /Last 6 0 R "
                    "/Count 1 /Dest [3 0 R /Fit] >>");
         })},
        {"HugeObjectNumbers",
         raw([](RawPdf& d) {
             d.objects[2].second.replace(d.objects[2].second.find("4 0 R"), 5, "2147483600 0 R");
             d.objects[3].first = 2147483600;
         })},
        {"CountMaxInt",
         raw([](RawPdf& d) { d.objects[1].second = "<< /Type /Pages /Kids [3 0 R] /Count 2147483647 >>"; })},
        {"TwentyThousandPages",
         [](auto& p, auto&) {
             static const std::string bytes = twentyThousandPages();
             bytesKind(p, bytes);
         }},
        {"Fifo", [](auto& p, auto&) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }},
        {"Directory", [](auto& p, auto&) { std::filesystem::create_directory(p); }},
    };
}

// Every entry in the folder: a checksum of a regular file's bytes, or its type.
std::map<std::string, std::string> snapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string rel = std::filesystem::relative(e.path(), folder);
        if (e.is_symlink() || !e.is_regular_file()) {
            files[rel] = e.is_directory() ? "<dir>" : "<special>";
        } else {
            files[rel] = std::to_string(std::hash<std::string>{}(readFileBytes(e.path())));
        }
    }
    return files;
}

enum class Role { Source, Output, NewOutput, Filler };

struct Case {
    Kind kind;
    Role role;
};

std::string roleName(Role r);

void PrintTo(const Case& c, std::ostream* os) { *os << c.kind.name << " as " << roleName(c.role); }

std::string roleName(Role r)
{
    switch (r) {
    case Role::Source: return "Source";
    case Role::Output: return "Output";
    case Role::NewOutput: return "NewOutput";
    case Role::Filler: return "Filler";
    }
    return "";
}

class HostilePdf : public ::testing::TestWithParam<Case> {};

TEST_P(HostilePdf, EndsInTimeSaysWhyAndTouchesNothingElse)
{
    const auto& [kind, role] = GetParam();
    TempDir dir;
    writeSample(dir / "good.pdf", 1); // one page: an odd output asks for the filler
    writeSample(dir / "other.pdf", 2); // a bystander
    kind.make(dir / "x.pdf", dir.path());
    if (HasFatalFailure()) return;

    std::vector<std::string> args;
    std::string changed; // the one file the job may write besides the log
    switch (role) {
    case Role::Source:
        args = {"-c", "-b", "-f", "-oout.pdf", "x.pdf", "-r", "-q"};
        changed = "out.pdf";
        break;
    case Role::Output:
        args = {"-a", "-ox.pdf", "good.pdf", "-r", "-q"};
        changed = "x.pdf";
        break;
    case Role::NewOutput:
        args = {"-c", "-ox.pdf", "good.pdf", "-r", "-q"};
        changed = "x.pdf";
        break;
    case Role::Filler:
        writeFileBytes(dir / "setup.ini", "ODDEVERY;x.pdf\r\nODDFINAL;\r\nNOSPLASH\r\n");
        args = {"-c", "-oout.pdf", "good.pdf", "-r", "-q"};
        changed = "out.pdf";
        break;
    }
    auto before = snapshot(dir.path());

    auto r = runProgram(kMervo, args, dir.path(), kTimeoutSeconds);

    ASSERT_FALSE(r.timedOut) << "hung";
    ASSERT_LT(r.exitCode, 128) << "crashed: " << r.err;
    auto after = snapshot(dir.path());
    const bool written = after.count(changed) && (!before.count(changed) || after[changed] != before[changed]);
    if (r.exitCode == 0) {
        // Done: the output is a sound PDF, evened out by the filler, and logged.
        auto check = runProgram("/usr/bin/qpdf", {"--check", changed}, dir.path(), kTimeoutSeconds);
        EXPECT_TRUE(check.exitCode == 0 || check.exitCode == 3) << check.out << check.err;
        // Counted, not read page by page: a 20,000-page output would take minutes.
        const int pages = countPages(dir / changed);
        EXPECT_GT(pages, 0);
        // A filler that could not be added leaves the output odd, and the run
        // must not call that done.
        EXPECT_FALSE(role == Role::Filler && pages == 1) << r.err;
        EXPECT_NE(readFileBytes(dir / "append.log"), "");
    } else {
        // Not done: it says why. Only a failed filler leaves a written output
        // behind: the source's pages went in all the same.
        EXPECT_NE(r.err, "");
        if (role != Role::Filler) {
            EXPECT_FALSE(written) << r.err;
            EXPECT_EQ(readFileBytes(dir / "append.log"), "");
        }
    }
    // Nothing else in the folder changed, whatever happened.
    for (auto* files : {&before, &after}) {
        files->erase(changed);
        files->erase("append.log");
    }
    EXPECT_EQ(after, before) << r.err;
}

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (const auto& k : hostileKinds())
        for (Role r : {Role::Source, Role::Output, Role::NewOutput, Role::Filler}) cases.push_back({k, r});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Kinds, HostilePdf, ::testing::ValuesIn(allCases()), [](const auto& info) {
    return info.param.kind.name + "_As" + roleName(info.param.role);
});

} // namespace
