#include "core/utils.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "core/console.hpp"
#include "core/parameters.hpp"
#include "tests/support/messages.hpp"

namespace utils = RepositoryAccess::utils;

using kivotest::messageOf;

// Quoted delimiters are kept and unclosed quotes refused.
TEST(Utils, SplitAndEscape) {
    EXPECT_EQ(utils::splitFirst("a.\"b.c\".d", '.'),
              std::make_pair(std::string("a"), std::string("\"b.c\".d")));
    EXPECT_EQ(utils::splitFirst("\"b.c\".d", '.'),
              std::make_pair(std::string("\"b.c\""), std::string("d")));
    EXPECT_EQ(utils::splitFirst("abc", '.'), std::make_pair(std::string("abc"), std::string()));
    EXPECT_EQ(messageOf([] { utils::splitFirst("\"a.b", '.'); }), "Unclosed quote: \"a.b");
    EXPECT_EQ(utils::splitAll("a.\"b.c\".d", '.'), (std::vector<std::string>{"a", "\"b.c\"", "d"}));
    EXPECT_EQ(utils::splitAll("/x//y/", '/'), (std::vector<std::string>{"", "x", "", "y"}));
    EXPECT_TRUE(utils::splitAll("", '.').empty());
    EXPECT_EQ(messageOf([] { utils::splitAll("a.\"b", '.'); }), "Unclosed quote: \"b");
    EXPECT_EQ(utils::regexEscape("C:\\a.b(1)/[x]{2}+*?^$|"),
              "C:\\\\a\\.b\\(1\\)/\\[x\\]\\{2\\}\\+\\*\\?\\^\\$\\|");
}

TEST(Utils, HexRoundTripsEveryByteAndRefusesWhatIsNotHex) {
    std::string anAll;
    for (int i = 0; i < 256; ++i)
        anAll += static_cast<char>(i);
    std::string aBack;
    ASSERT_TRUE(utils::fromHex(utils::toHex(anAll), aBack));
    EXPECT_EQ(aBack, anAll);
    EXPECT_EQ(utils::toHex("\x0f\xa0"), "0fa0");
    EXPECT_TRUE(utils::fromHex("0FA0", aBack));
    EXPECT_EQ(aBack, "\x0f\xa0");
    for (const char* aBad : {"abc", "0g", "+1"})
        EXPECT_FALSE(utils::fromHex(aBad, aBack)) << aBad;
}

TEST(Utils, Utf8ToLatin1ConvertsTwoByteSequencesOnly) {
    EXPECT_EQ(utils::utf8ToLatin1("a\xC3\xA9z"), "a\xE9z");
    EXPECT_EQ(utils::utf8ToLatin1("\xC3\xBF"), "\xFF");
    EXPECT_EQ(messageOf([] { utils::utf8ToLatin1("\xE2\x82\xAC"); }),
              "Invalid UTF-8 start byte (\"\xE2\" 0xe2)");
    EXPECT_EQ(messageOf([] { utils::utf8ToLatin1("x\xA9"); }),
              "Invalid UTF-8 start byte (\"\xA9\" 0xa9)");
    EXPECT_EQ(messageOf([] {
                  utils::utf8ToLatin1("\xC3"
                                      "A");
              }),
              "Invalid second UTF-8 byte (\"A\" 0x41)");
    EXPECT_EQ(messageOf([] { utils::utf8ToLatin1("\xC3"); }),
              "Invalid second UTF-8 byte (\"\" 0x00)");
}

// Each answer is one line: an empty one takes the default, the end of the input is a no; with
// trace the prompt goes to the trace too.
TEST(Utils, ConfirmReadsOneAnswerPerLine) {
    testing::internal::CaptureStdout();
    std::istringstream anInput("\nY\nno thanks\nyes\n\n");
    utils::setConfirmInputForTests(&anInput);
    const std::pair<bool, bool> aTable[] = {{true, true},  {false, true},  {true, false},
                                            {false, true}, {false, false}, {true, false}};
    for (const auto& [aDefault, anAnswer] : aTable)
        EXPECT_EQ(utils::confirm("Delete?", aDefault), anAnswer);
    RepositoryAccess::ParameterValues aTraced;
    aTraced.setFlag(RepositoryAccess::params::trace);
    RepositoryAccess::installParameters(aTraced);
    std::istringstream aSecondInput("n");
    utils::setConfirmInputForTests(&aSecondInput);
    EXPECT_FALSE(utils::confirm("Traced?", true));
    RepositoryAccess::installParameters({});
    utils::setConfirmInputForTests(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Delete? (Y/n): Delete? (y/N): Delete? (Y/n): Delete? (y/N): "
              "Delete? (y/N): Delete? (Y/n): Traced? (Y/n): ");
    EXPECT_TRUE(RepositoryAccess::console::traceText().ends_with("Traced? (Y/n): "));
    EXPECT_EQ(RepositoryAccess::console::traceText().find("Delete?"), std::string::npos);
}
