#pragma once
// Sample PDFs as tests ask for them: a failure to make one fails the test.
#include "testkit/SamplePdf.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace fb::test {

// pages pages reading "name p1".."name pN".
inline void makePdf(const std::string& path, const std::string& name, int pages)
{
    SamplePdfOptions o;
    o.name = name;
    o.pages = pages;
    ASSERT_TRUE(makeSamplePdf(path, o)) << path;
}

// The same for a test that goes on either way; gives back the path.
inline std::string madePdf(const std::string& path, const std::string& name, int pages)
{
    SamplePdfOptions o;
    o.name = name;
    o.pages = pages;
    EXPECT_TRUE(makeSamplePdf(path, o)) << path;
    return path;
}

// The lines of a program's output, without their line ends (CR LF or LF).
inline std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// How often part stands in a program's output (or a file), counting overlaps.
inline int occurrences(const std::string& text, const std::string& part)
{
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Named after its own path.
inline void makePdf(const std::string& path, int pages)
{
    makePdf(path, path, pages);
}

} // namespace fb::test
