#pragma once
#include <string>
#include <vector>

namespace fb {

struct SampleOutlineItem {
    std::string title;
    int page = 1; // 1-based
    std::vector<SampleOutlineItem> kids;
};

struct SamplePdfOptions {
    std::string name;
    int pages = 1;
    std::vector<SampleOutlineItem> outline;
    // Page 1 gets a link to the last page and a text field "field1" = "hello".
    bool withLinkAndForm = false;
};

// Writes a small PDF whose page k shows the text "<name> p<k>". False on failure.
bool makeSamplePdf(const std::string& path, const SamplePdfOptions& options);

} // namespace fb
