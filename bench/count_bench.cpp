// count-bench FILES: counts the pages of FILES small sample PDFs and of every
// hostile kind of file the tests use, once through poppler (the program's page
// counter, kept warm as in a run) and once through qpdf alone, in this one
// process. Prints, per counter, the CPU seconds for the sample files, then one
// line per hostile kind with both counts (0: no count) and the CPU time each
// took, so the two can be compared for speed and for tolerance.
#include "CpuTime.h"
#include "common/Files.h"
#include "pages/PageCount.h"
#include "testkit/HostilePdfs.h"
#include "testkit/SamplePdf.h"

#include <qpdf/QPDF.hh>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using fb::bench::processCpuSeconds;

int qpdfCount(const std::string& path)
{
    // The same guard the program puts before poppler: a FIFO or folder would
    // block or fail inside the parser.
    if (!fb::isRegularFile(path)) return 0;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.c_str());
        return static_cast<int>(pdf.getAllPages().size());
    } catch (const std::exception&) {
        return 0;
    }
}

template <typename Count> double timeAll(const std::vector<std::string>& files, Count count, long& total)
{
    total = 0;
    const double start = processCpuSeconds();
    for (const auto& f : files)
        total += count(f);
    return processCpuSeconds() - start;
}

} // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
    char pattern[] = "/tmp/count-bench.XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::filesystem::path dir = pattern;
    fb::SamplePdfOptions o;
    o.name = "c";
    o.pages = 10;
    const std::string first = dir / "c0.pdf";
    if (!fb::makeSamplePdf(first, o)) return 1;
    std::vector<std::string> files{first};
    for (int i = 1; i < n; ++i) {
        files.push_back(dir / ("c" + std::to_string(i) + ".pdf"));
        std::filesystem::copy_file(first, files.back());
    }
    (void)fb::countPages(first); // poppler's tables built once, as in a run
    long popplerPages = 0, qpdfPages = 0;
    const double poppler = timeAll(
        files, [](const std::string& f) { return fb::countPages(f); }, popplerPages);
    const double qpdf = timeAll(files, qpdfCount, qpdfPages);
    std::printf("files %d poppler %.3f s (%ld pages) qpdf %.3f s (%ld pages)\n", n, poppler, popplerPages,
                qpdf, qpdfPages);
    std::fflush(stdout);
    for (const auto& kind : fb::test::hostileKinds()) {
        const std::string path = dir / (kind.name + ".pdf");
        kind.make(path, dir);
        double t = processCpuSeconds();
        const int byPoppler = fb::countPages(path);
        const double tp = processCpuSeconds() - t;
        t = processCpuSeconds();
        const int byQpdf = qpdfCount(path);
        const double tq = processCpuSeconds() - t;
        std::printf("kind %s poppler %d %.4f s qpdf %d %.4f s\n", kind.name.c_str(), byPoppler, tp, byQpdf,
                    tq);
        std::fflush(stdout); // before the next kind forks a qpdf to encrypt
    }
    std::filesystem::remove_all(dir);
    return 0;
}
