#include "core/regex.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/utils.hpp"
#include "tests/support/messages.hpp"

using RepositoryAccess::Regex;

namespace {

bool matches(const std::string& thePattern, const std::string& theText) {
    return Regex(thePattern).matches(theText);
}

std::string refusal(const std::string& thePattern) {
    return kivotest::messageOf([&] { Regex aRegex(thePattern); });
}

} // namespace

TEST(Regex, MatchesTheWholeTextInTheDialectOfTheIgnoreFiles) {
    EXPECT_TRUE(matches("/ws/acme/.*\\.log", "/ws/acme/sub/debug.log"));
    EXPECT_FALSE(matches("/ws/acme/.*\\.log", "/ws/acme/debug.log.txt"));
    EXPECT_FALSE(matches("a.c", "a\nc")); // `.` stops at a line feed
    EXPECT_TRUE(matches("[^/]*\\.(txt|csv)", "x.csv"));
    EXPECT_FALSE(matches("[^/]*\\.(txt|csv)", "d/x.csv"));
    EXPECT_TRUE(matches("[a-c\\d_-]+", "ab9_-"));
    EXPECT_TRUE(matches("\\w+\\s\\W\\S", "ab_1 !x"));
    EXPECT_TRUE(matches("x{2,3}y?z{2}", "xxxzz"));
    EXPECT_FALSE(matches("x{2,3}", "xxxx"));
    EXPECT_TRUE(matches("a{,b}", "a{,b}")); // a brace that starts no count is itself
    EXPECT_TRUE(matches("^ab$", "ab"));
    EXPECT_TRUE(matches(".*\\bword\\b.*", "a word here"));
    EXPECT_FALSE(matches(".*\\bword\\b.*", "swordfish"));
    EXPECT_FALSE(matches("[]a]", "a]"));   // an empty class (never matches), then `a]`
    EXPECT_TRUE(matches("[^]a]", "\na]")); // any byte, then `a]`
    EXPECT_TRUE(matches("\\x41\\u0042\\t", "AB\t"));
}

TEST(Regex, GroupsFollowTheGreedyAndLazyChoices) {
    std::vector<std::string> aGroups;
    ASSERT_TRUE(Regex("(.*)\\.(.*)").matches("te.st.txt", aGroups));
    EXPECT_EQ(aGroups, (std::vector<std::string>{"te.st", "txt"}));
    ASSERT_TRUE(Regex("(.*?)\\.(.*)").matches("te.st.txt", aGroups));
    EXPECT_EQ(aGroups, (std::vector<std::string>{"te", "st.txt"}));
    ASSERT_TRUE(Regex("(a)|(b)").matches("b", aGroups));
    EXPECT_EQ(aGroups, (std::vector<std::string>{"", "b"}));
    ASSERT_TRUE(Regex("(?:(a)|b)+").matches("ab", aGroups));
    EXPECT_EQ(aGroups, (std::vector<std::string>{"a"}));
}

TEST(Regex, HostilePatternsAreRefusedOrMatchedInLinearTime) {
    // Patterns that make a backtracking matcher run for minutes finish at once.
    EXPECT_FALSE(matches("(a*)*b", std::string(5000, 'a')));
    EXPECT_FALSE(matches("(a|aa)+$x", std::string(5000, 'a')));
    EXPECT_TRUE(matches("(x+x+)+y", std::string(5000, 'x') + "y"));
    EXPECT_TRUE(matches("(?:)*(?:a*)*", std::string(100000, 'a')));

    EXPECT_EQ(refusal(std::string(30000, '(') + std::string(30000, ')')),
              "groups nested deeper than 200 levels at offset 200");
    EXPECT_EQ(refusal(std::string(65537, 'a')), "pattern longer than 65536 bytes");
    EXPECT_EQ(refusal("(a{1000}){1000}"), "pattern too large (more than 50000 steps)");
    EXPECT_EQ(refusal("((((){1000}){1000}){1000}){1000}"),
              "pattern too large (more than 50000 steps)");
    EXPECT_EQ(refusal("a{1001}"), "repeat count above 1000 at offset 7");
    EXPECT_EQ(refusal("(a"), "missing \")\" at offset 2");
    EXPECT_EQ(refusal("a)"), "unmatched \")\" at offset 1");
    EXPECT_EQ(refusal("[b-a]"), "invalid range in a class at offset 4");
    EXPECT_EQ(refusal("a**"), "nothing to repeat at offset 3");
    EXPECT_EQ(refusal("(a)\\1"), "back-references are not supported at offset 4");
    EXPECT_EQ(refusal("(?=a)"), "look-around assertions are not supported at offset 1");
    EXPECT_EQ(refusal("a\\"), "trailing backslash at offset 2");
}

TEST(Regex, AnEscapedDirectoryNameMatchesItselfOnly) {
    for (const std::string aName : {"br{ace", "we[ird", "pl+us", "st*ar", "a.b(1)", "x|y^$?\\z"}) {
        const std::string aPattern = RepositoryAccess::utils::regexEscape(aName) + "/.*\\.log";
        EXPECT_TRUE(matches(aPattern, aName + "/debug.log")) << aName;
        EXPECT_FALSE(matches(aPattern, aName + "x/debug.log")) << aName;
    }
    EXPECT_FALSE(matches(RepositoryAccess::utils::regexEscape("pl+us") + "/a", "plllus/a"));
}
