#include "webview/pagekit.hpp"

#include "core/htmlpage.hpp"

#include <gtest/gtest.h>

using namespace RepositoryAccess;
using namespace RepositoryAccess::webview;

// Every character that could end an attribute or start markup is a reference; UTF-8 stays.
TEST(PageKit, EscapingAndLinksKeepNamesAsText) {
    EXPECT_EQ(htmlpage::escape("<a href=\"x\">&'ü"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;ü");
    EXPECT_EQ(urlEncode("a b/&=ü~"), "a%20b%2F%26%3D%C3%BC~");
    EXPECT_EQ(link("/object", {{"name", "x\"&'y"}, {"suffix", ""}}, "<b>"),
              "<a href=\"/object?name=x%22%26%27y&amp;suffix=\">&lt;b&gt;</a>");
}

// The last page of a list holds the rest; a page past the end is empty; any page number that
// is not a positive number is the first page.
TEST(PageKit, PagesCutListsAtTheirEnds) {
    const auto aCheck = [](std::size_t theTotal, std::size_t thePage, std::size_t theFirst,
                           std::size_t theEnd, bool theMore) {
        const Slice aSlice = slice(theTotal, thePage, 100);
        EXPECT_EQ(aSlice.itsFirst, theFirst) << theTotal << " " << thePage;
        EXPECT_EQ(aSlice.itsEnd, theEnd) << theTotal << " " << thePage;
        EXPECT_EQ(aSlice.itsMore, theMore) << theTotal << " " << thePage;
    };
    aCheck(0, 1, 0, 0, false);
    aCheck(200, 2, 100, 200, false);
    aCheck(201, 2, 100, 200, true);
    aCheck(50, 3, 50, 50, false);
    for (const char* aText : {"0", "-1", "x", "2x", "", "99999999999999999999"})
        EXPECT_EQ((PageRequest{"U", {{"page", aText}}}.pageNumber()), 1u) << aText;
    EXPECT_EQ(pager("/p", {}, 1, false), "");
}
