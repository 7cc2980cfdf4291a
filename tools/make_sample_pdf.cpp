// make-sample-pdf OUT.pdf NAME PAGES [--outline] [--outline-items N] [--link-form] [--rich]
// Writes a test PDF whose page k shows "NAME pK".
#include "testkit/SamplePdf.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

int usage(const char* why)
{
    std::fprintf(stderr,
                 "make-sample-pdf: %s\nusage: make-sample-pdf OUT.pdf NAME PAGES [--outline] "
                 "[--outline-items N] [--link-form] [--rich]\n",
                 why);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) return usage("too few arguments");
    std::string out = argv[1];
    std::string name = argv[2];
    std::string pagesText = argv[3];
    if (out.empty()) return usage("empty output path");
    char* end = nullptr;
    long pages = std::strtol(pagesText.c_str(), &end, 10);
    if (pagesText.empty() || *end != '\0' || pages < 1 || pages > 100000)
        return usage("PAGES must be a whole number from 1 to 100000");

    fb::SamplePdfOptions options;
    options.name = name;
    options.pages = static_cast<int>(pages);
    for (int i = 4; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--outline-items" && i + 1 < argc) {
            // N items in all: one chapter per page, each with an even share of
            // the rest as sections on its page.
            const long items = std::strtol(argv[++i], nullptr, 10);
            if (items < options.pages || items > 1000000)
                return usage("--outline-items must be from PAGES to 1000000");
            long left = items;
            for (int p = 1; p <= options.pages; ++p) {
                fb::SampleOutlineItem chapter{name + " chapter " + std::to_string(p), p, {}};
                --left;
                const long share = left / (options.pages - p + 1);
                for (long k = 0; k < share; ++k)
                    chapter.kids.push_back(
                        {name + " section " + std::to_string(p) + "." + std::to_string(k + 1), p, {}});
                left -= share;
                options.outline.push_back(std::move(chapter));
            }
        } else if (arg == "--outline") {
            // One chapter per started group of three pages: the chapter at its first
            // page, its sections at the following pages of the group.
            for (int first = 1; first <= options.pages; first += 3) {
                fb::SampleOutlineItem chapter{name + " chapter " + std::to_string(first / 3 + 1), first, {}};
                for (int p = first + 1; p <= first + 2 && p <= options.pages; ++p)
                    chapter.kids.push_back({name + " section " + std::to_string(p), p, {}});
                options.outline.push_back(chapter);
            }
        } else if (arg == "--rich") {
            // What real manuals carry: an outline through named destinations
            // (name tree and old dictionary) with closed chapters and a web
            // item, a named link on every page, roman-numbered front pages.
            for (int first = 1; first <= options.pages; first += 3) {
                fb::SampleOutlineItem chapter{name + " chapter " + std::to_string(first / 3 + 1), first, {}};
                chapter.dest = fb::SampleDest::NameTree;
                chapter.closed = (first / 3) % 3 == 2;
                for (int p = first + 1; p <= first + 2 && p <= options.pages; ++p) {
                    chapter.kids.push_back({name + " section " + std::to_string(p), p, {}});
                    chapter.kids.back().dest = fb::SampleDest::OldDests;
                }
                options.outline.push_back(chapter);
            }
            options.outline.push_back({name + " web site", 1, {}, false, false, "https://example.org/"});
            for (int p = 1; p <= options.pages; ++p)
                options.links.push_back({p, (p + 1) % options.pages + 1, fb::SampleDest::NameTree});
            options.labels = {{1, "r"}};
            if (options.pages >= 3) options.labels.push_back({3, "D"});
        } else if (arg == "--link-form") {
            options.withLinkAndForm = true;
        } else {
            return usage(("unknown option " + arg).c_str());
        }
    }
    if (!fb::makeSamplePdf(out, options)) {
        std::fprintf(stderr, "make-sample-pdf: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
