#include "pages/PageSpec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace fb {
namespace {

PageRunList singles(std::initializer_list<int32_t> pages)
{
    PageRunList runs;
    for (int32_t p : pages)
        runs.push_back({p, p});
    return runs;
}

PageRunList concat(PageRunList a, const PageRunList& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string errorOf(std::string_view spec, int32_t pages)
{
    const auto result = validatePageSpec(spec, pages);
    return result ? *result : std::string("<valid>");
}

TEST(PageSpecExpand, KeywordsAndRangesOnTenPages)
{
    EXPECT_EQ(expandPageSpec("all", 10), (PageRunList{{1, 10}}));
    EXPECT_EQ(expandPageSpec("6-7,9-10", 10), (PageRunList{{6, 7}, {9, 10}}));
    EXPECT_EQ(expandPageSpec("odd", 10), singles({1, 3, 5, 7, 9}));
    EXPECT_EQ(expandPageSpec("even", 10), singles({2, 4, 6, 8, 10}));
    EXPECT_EQ(expandPageSpec("odd", 9), singles({1, 3, 5, 7, 9}));
    EXPECT_EQ(expandPageSpec("even", 9), singles({2, 4, 6, 8}));
    EXPECT_EQ(expandPageSpec("7", 10), singles({7}));
    EXPECT_EQ(expandPageSpec("1,1,1", 10), singles({1, 1, 1}));
}

TEST(PageSpecExpand, ChunksAndStrides)
{
    EXPECT_EQ(expandPageSpec("1s,2s", 10), concat(singles({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
                                                  PageRunList{{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}}));
    EXPECT_EQ(expandPageSpec("4s", 10), (PageRunList{{1, 4}, {5, 8}, {9, 10}}));
    EXPECT_EQ(expandPageSpec("3s", 10), (PageRunList{{1, 3}, {4, 6}, {7, 9}, {10, 10}}));
    EXPECT_EQ(expandPageSpec("2-3n", 10), singles({2, 5, 8}));
    EXPECT_EQ(expandPageSpec("5-10n", 30), singles({5, 15, 25}));
    EXPECT_EQ(expandPageSpec("1-2n", 10), singles({1, 3, 5, 7, 9}));
    // The "n" makes the whole item a stride wherever it stands.
    EXPECT_EQ(expandPageSpec("n5-10", 30), singles({0, 10, 20, 30}));
    EXPECT_EQ(expandPageSpec("5-10-n", 30), singles({5, 15, 25}));
    EXPECT_EQ(expandPageSpec("5-n10", 30), PageRunList{}); // the step token has no number
    // A chunk first token wins over the stride.
    EXPECT_EQ(expandPageSpec("2s-n", 4), (PageRunList{{1, 2}, {3, 4}}));
    EXPECT_EQ(expandPageSpec("5-10n", 4), PageRunList{});
    EXPECT_EQ(expandPageSpec("3s", 0), PageRunList{});
}

TEST(PageSpecExpand, ItemAndTokenSplitting)
{
    EXPECT_EQ(expandPageSpec(",5", 10), singles({5}));
    EXPECT_EQ(expandPageSpec("5,", 10), singles({5}));
    EXPECT_EQ(expandPageSpec("5,,6", 10), singles({5, 6}));
    EXPECT_EQ(expandPageSpec("5--7", 10), (PageRunList{{5, 7}}));
    EXPECT_EQ(expandPageSpec("-5-", 10), singles({5}));
    EXPECT_EQ(expandPageSpec("3-5-7", 10), (PageRunList{{3, 5}}));
    EXPECT_EQ(expandPageSpec(" 5 - 10 ", 20), (PageRunList{{5, 10}}));
    EXPECT_EQ(expandPageSpec("7-0", 10), singles({7}));
    EXPECT_EQ(expandPageSpec("7-", 10), singles({7}));
    EXPECT_EQ(expandPageSpec("10-5", 10), (PageRunList{{10, 5}}));
    EXPECT_EQ(expandPageSpec("0-5,7", 10), singles({7}));
    EXPECT_EQ(expandPageSpec("7n", 10), PageRunList{}); // a stride without step
}

TEST(PageSpecExpand, CaseMattersAndNearMisses)
{
    for (const char* nothing : {"", "ALL", "Odd", "abc", "0", "0-5", "EVEN", ",", "-", ",-,"})
        EXPECT_EQ(expandPageSpec(nothing, 10), PageRunList{}) << nothing;
    EXPECT_EQ(expandPageSpec("2S", 10), singles({2}));
    EXPECT_EQ(expandPageSpec("5-10N", 10), (PageRunList{{5, 10}}));
    EXPECT_EQ(expandPageSpec("2s ", 10), singles({2}));
    EXPECT_EQ(expandPageSpec("2ss", 10), singles({2}));
}

TEST(PageSpecExpand, KeywordCombinations)
{
    EXPECT_EQ(expandPageSpec("all-5", 10), (PageRunList{{1, 10}}));
    EXPECT_EQ(expandPageSpec("5-all", 10), (PageRunList{{1, 10}}));
    EXPECT_EQ(expandPageSpec("odd-3", 10), singles({1, 3, 5, 7, 9}));
    EXPECT_EQ(expandPageSpec("all-odd", 5), concat(PageRunList{{1, 5}}, singles({1, 3, 5})));
    EXPECT_EQ(expandPageSpec("all", 0), (PageRunList{{1, 0}}));
    EXPECT_EQ(expandPageSpec("even", 1), PageRunList{});
    EXPECT_EQ(expandPageSpec("odd", 0), PageRunList{});
    // "even" holds an "n" but is no stride.
    EXPECT_EQ(expandPageSpec("even-3", 6), singles({2, 4, 6}));
}

TEST(PageSpecExpand, ZeroChunksAndStepsGiveNothing)
{
    for (const char* spec : {"0s", "s", "5-0n", "5-n", "5n", "n"})
        EXPECT_EQ(expandPageSpec(spec, 10), PageRunList{}) << spec;
    EXPECT_EQ(expandPageSpec("0s,3", 10), singles({3}));
    EXPECT_EQ(errorOf("0s", 10), "no valid parameters");
    EXPECT_EQ(errorOf("5n", 10), "no valid parameters");
    EXPECT_EQ(errorOf("5-0n,s", 10), "no valid parameters");
}

TEST(PageSpecExpand, StartsFreshEachTime)
{
    (void)expandPageSpec("1-3,5", 10);
    EXPECT_EQ(expandPageSpec("2", 10), singles({2}));
}

TEST(PageSpecValidate, MessagesFilledExactly)
{
    EXPECT_EQ(errorOf("all", 10), "<valid>");
    EXPECT_EQ(errorOf("6-7,9-10", 10), "<valid>");
    EXPECT_EQ(errorOf("0-5,7", 10), "<valid>");
    EXPECT_EQ(errorOf("12", 10), "parameter: 12 higher than pages: 10");
    EXPECT_EQ(errorOf("3-12", 10), "parameter: 12 higher than pages: 10");
    EXPECT_EQ(errorOf("10-5", 10), "10 is greater than 5");
    EXPECT_EQ(errorOf("0-3n", 10), "error in parameters can't start or end at Zero");
    EXPECT_EQ(errorOf("all", 0), "1 is greater than 0");
    EXPECT_EQ(errorOf("even", 1), "no valid parameters");
    EXPECT_EQ(errorOf("odd", 0), "no valid parameters");
    for (const char* spec : {"", "ALL", "Odd", "abc"})
        EXPECT_EQ(errorOf(spec, 10), "no valid parameters") << spec;
}

TEST(PageSpecValidate, FirstFailingRunDecides)
{
    EXPECT_EQ(errorOf("3,12,10-5", 10), "parameter: 12 higher than pages: 10");
    EXPECT_EQ(errorOf("3,10-5,12", 10), "10 is greater than 5");
    EXPECT_EQ(errorOf("5-11", 10), "parameter: 11 higher than pages: 10");
}

TEST(PageSpecValidate, HugeNumbersSaturateAndAreRefused)
{
    EXPECT_EQ(expandPageSpec("99999999999999999999", 10), singles({2147483647}));
    EXPECT_EQ(errorOf("99999999999999999999", 10), "parameter: 2147483647 higher than pages: 10");
    EXPECT_EQ(errorOf("1-4294967297", 10), "parameter: 2147483647 higher than pages: 10");
    EXPECT_EQ(errorOf("4294967297-2", 10), "2147483647 is greater than 2");
    // Huge chunk and stride steps stay within the page count and end.
    EXPECT_EQ(expandPageSpec("99999999999s", 10), (PageRunList{{1, 10}}));
    EXPECT_EQ(expandPageSpec("5-99999999999n", 10), singles({5}));
    EXPECT_EQ(expandPageSpec("2147483647-2147483647n", 2147483647), singles({2147483647}));
    EXPECT_EQ(expandPageSpec("2147483647s", 2147483647), (PageRunList{{1, 2147483647}}));
}

TEST(PageSpecValidate, RunLimit)
{
    const auto exactly = expandPageSpec("1s", 19999);
    EXPECT_EQ(exactly.size(), kMaxPageRuns);
    EXPECT_FALSE(hasTooManyRuns(exactly));
    EXPECT_EQ(errorOf("1s", 19999), "<valid>");

    const auto over = expandPageSpec("1s", 20000);
    EXPECT_EQ(over.size(), kMaxPageRuns + 1);
    EXPECT_TRUE(hasTooManyRuns(over));
    EXPECT_EQ(errorOf("1s", 20000), "too many page runs: at most 19999 are allowed");

    // Expansion stays bounded even for page counts that would need billions of runs.
    EXPECT_EQ(expandPageSpec("odd,even,1s,1-1n", 2147483647).size(), kMaxPageRuns + 1);
    // Checked before the per-run checks, after the empty check.
    EXPECT_EQ(errorOf("12,1s", 20000), "too many page runs: at most 19999 are allowed");
    std::string manyItems;
    for (int i = 0; i < 20000; ++i)
        manyItems += "1,";
    EXPECT_EQ(errorOf(manyItems, 1), "too many page runs: at most 19999 are allowed");
}

TEST(PageSpecExpand, ArbitraryTextsStayBounded)
{
    // Deterministic pseudo-random texts over the syntax's own characters.
    const std::string alphabet = "0123456789-,snaldoevN +\t";
    uint32_t state = 12345;
    auto next = [&state] { return state = state * 1103515245u + 12345u; };
    for (int round = 0; round < 3000; ++round) {
        std::string spec;
        const int length = static_cast<int>(next() % 24);
        for (int i = 0; i < length; ++i)
            spec.push_back(alphabet[(next() >> 8) % alphabet.size()]);
        const int32_t pages = static_cast<int32_t>((next() >> 4) % 3 == 0 ? 2147483647 : (next() >> 8) % 40);
        const auto runs = expandPageSpec(spec, pages);
        EXPECT_LE(runs.size(), kMaxPageRuns + 1) << spec;
        const auto error = validatePageSpec(spec, pages);
        EXPECT_EQ(!error.has_value(), !runs.empty() && !hasTooManyRuns(runs) &&
                                          std::all_of(runs.begin(), runs.end(),
                                                      [&](const PageRun& r) {
                                                          return r.first >= 1 && r.first <= r.last &&
                                                                 r.last <= pages;
                                                      }))
            << spec;
    }
}

} // namespace
} // namespace fb
