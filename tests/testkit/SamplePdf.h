#pragma once
#include <string>
#include <vector>

namespace fb {

// How a jump names its target page: an explicit array, a string of the
// /Names /Dests tree, or a name of the catalog's older /Dests dictionary.
enum class SampleDest { Explicit, NameTree, OldDests };

struct SampleOutlineItem {
    std::string title;
    int page = 1; // 1-based; 0: no action at all
    std::vector<SampleOutlineItem> kids;
    bool closed = false;
    bool styled = false; // red and bold italic
    std::string uri;     // not empty: a web link instead of a jump to page
    SampleDest dest = SampleDest::Explicit;
};

// A link on page `from` to page `to` (both 1-based), through a /GoTo action
// when asked.
struct SampleLink {
    int from = 1;
    int to = 1;
    SampleDest dest = SampleDest::Explicit;
    bool action = false;
};

// From the 1-based page `first` on, pages are labelled prefix + number in
// style ("D", "r", "R", "a", "A"; empty: no number) counting from start.
struct SamplePageLabel {
    int first = 1;
    std::string style = "D";
    std::string prefix;
    int start = 1;
};

struct SamplePdfOptions {
    std::string name;
    int pages = 1;
    std::vector<SampleOutlineItem> outline;
    // Page 1 gets a link to the last page and a text field "field1" = "hello".
    bool withLinkAndForm = false;
    std::vector<SampleLink> links;
    std::vector<SamplePageLabel> labels;
    std::string version; // e.g. "1.7"; empty: the writer's choice
};

// Writes a small PDF whose page k shows the text "<name> p<k>". False on failure.
bool makeSamplePdf(const std::string& path, const SamplePdfOptions& options);

} // namespace fb
