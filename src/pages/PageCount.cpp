#include "pages/PageCount.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>

#include "common/Files.h"
#include "common/Trace.h"

namespace fb {

namespace {

void ignorePopplerMessage(const std::string&, void*) {}

// Only regular files qualify: a pipe or device would block or never end when
// the parser reads it.
bool startsWithPdfHeader(const std::string& path)
{
    const int fd = openRegularForReading(path);
    if (fd < 0) return false;
    char head[4] = {0, 0, 0, 0};
    std::size_t got = 0;
    while (got < sizeof head) {
        const ssize_t n = ::read(fd, head + got, sizeof head - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return got == sizeof head && std::memcmp(head, "%PDF", 4) == 0;
}

} // namespace

const std::string& blankPdf()
{
    static const std::string pdf = [] {
        std::string pdf = "%PDF-1.4\n";
        std::string objects[] = {"<< /Type /Catalog /Pages 2 0 R >>",
                                 "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                 "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 10 10] >>"};
        std::string offsets;
        for (int i = 0; i < 3; ++i) {
            char entry[32];
            std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", pdf.size());
            offsets += entry;
            pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
        }
        const std::size_t xref = pdf.size();
        pdf += "xref\n0 4\n0000000000 65535 f \n" + offsets;
        pdf += "trailer\n<< /Size 4 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        return pdf;
    }();
    return pdf;
}

// One tiny document held for the life of the process keeps the tables built.
// It is never freed: at exit poppler's own statics may already be gone. The
// first document also sets where poppler's messages go, so silencing comes
// first: damaged sources are normal input here, and poppler's complaints
// about them would only clutter the terminal of a headless run.
void keepPopplerWarm()
{
    static const bool kept = [] {
        poppler::set_debug_error_function(ignorePopplerMessage, nullptr);
        const std::string& bytes = blankPdf();
        auto* doc = poppler::document::load_from_raw_data(bytes.data(), static_cast<int>(bytes.size()));
        static poppler::document* const keeper = doc;
        return keeper != nullptr;
    }();
    (void)kept;
}

int countPages(const std::string& path)
{
    if (path.empty()) return 0;
    try {
        if (!startsWithPdfHeader(path)) return 0;
        keepPopplerWarm();
        std::unique_ptr<poppler::document> doc(
            poppler::document::load_from_file(path, std::string(), std::string()));
        if (!doc || doc->is_locked()) return 0;
        const int pages = doc->pages();
        return pages < 1 ? 0 : pages;
    } catch (const std::exception& e) {
        // No count is what a file poppler cannot read gets; the run says why later.
        trace("page count of " + path + ": " + e.what());
        return 0;
    }
}

int probePageCount(const std::string& path, const AcrobatPageCounter& fallback)
{
    const int counted = countPages(path);
    if (counted > 0) return counted;
    if (!canOpenForReading(path)) return -1;
    // The fallback reads the file to its end; for a pipe or device that may
    // never happen.
    if (!fallback || !isRegularFile(path)) return 0;
    // The fallback only ever yields a count or "none"; -1 is reserved for a
    // file that does not open, so a stray negative must not deselect the row.
    int fromFallback = 0;
    try {
        fromFallback = fallback(path);
    } catch (const std::exception&) {
        fromFallback = 0;
    }
    return fromFallback < 0 ? 0 : fromFallback;
}

bool PageCountMemo::identify(const std::string& path, Seen& seen)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    seen.file = identityFrom(st);
    seen.changedNs = st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
    return true;
}

int PageCountMemo::probe(const std::string& path, const AcrobatPageCounter& fallback)
{
    Seen now;
    if (!identify(path, now)) return probePageCount(path, fallback);
    auto it = seen_.find(path);
    if (it != seen_.end() && it->second.sameVersion(now)) return it->second.pages;
    const int pages = probePageCount(path, fallback);
    if (pages > 0) {
        if (it == seen_.end() && seen_.size() >= kMaxRemembered) seen_.clear();
        now.pages = pages;
        seen_[path] = now;
    } else if (it != seen_.end()) {
        seen_.erase(it);
    }
    return pages;
}

} // namespace fb
