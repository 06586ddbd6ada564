#include "core/commandsyntax.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "core/error.hpp"
#include "tests/support/messages.hpp"

using namespace RepositoryAccess;

namespace {

// The pairs that the blank-separated words yield, as "name=value" texts in match order.
std::string pairsOf(const std::string& theWords, bool theAdvanced) {
    std::vector<std::string> aWords;
    std::istringstream aStream(theWords);
    for (std::string aWord; aStream >> aWord;)
        aWords.push_back(aWord);
    auto aPairs = commandsyntax::match(commandsyntax::buildTable(theAdvanced), aWords);
    if (!aPairs)
        return "no match";
    std::string aText;
    for (const auto& [aName, aValue] : *aPairs)
        aText += (aText.empty() ? "" : " ") + aName + "=" + aValue;
    return aText;
}

} // namespace

// A match that reaches a token without text would raise the internal error: every token of both
// tables has one.
TEST(CommandSyntaxTable, EveryTokenOfEveryEntryExpands) {
    for (bool anAdvanced : {false, true})
        for (const auto& anEntry : commandsyntax::buildTable(anAdvanced)) {
            EXPECT_FALSE(anEntry.itsSyntaxes.empty()) << anEntry.itsAction;
            for (const auto& aSyntax : anEntry.itsSyntaxes)
                for (const auto& aToken : aSyntax.tokens())
                    EXPECT_FALSE(aToken.itsText.empty()) << anEntry.itsAction;
        }
}

// The pairs of command lines, in match order: keywords and their abbreviations, optional parts,
// placeholder lists, entries of one action tried in order, and advanced mode's other forms.
TEST(CommandSyntaxMatch, FormsOfEachAction) {
    const struct {
        const char* itsWords;
        bool itsAdvanced;
        const char* itsPairs;
    } aTable[] = {
        {"log p1/ a.txt", false, "action=log what=object object=p1/ object=a.txt"},
        {"annotate a.txt", false, "action=annotate what=object object=a.txt"},
        {"diff p1/ a.txt", false, "action=diff what=objects object=p1/ object=a.txt"},
        {"CHECKOUT IOS", false, "action=CHECKOUT what=inactiveObjects"},
        {"checkout", false, "action=checkout what=trackedPackages"},
        {"checkout p1/", false, "action=checkout what=objects object=p1/"},
        {"checkout package", false, "action=checkout what=objects object=package"},
        {"checkout package", true, "action=checkout what=package"},
        {"commit package a b", false, "action=commit what=package package=a package=b"},
        {"status ws", false, "action=status what=workSpace"},
        {"status a b", false, "action=status what=objects object=a object=b"},
        {"activate", false, "action=activate what=trackedPackages"},
        {"activate", true, "action=activate what=inactiveObjects"},
        {"revert trackedPackages", true, "action=revert what=trackedPackages"},
        {"export la DU1 acme out.zip de en", false,
         "action=export what=languages deliveryUnit=DU1 vendor=acme fileName=out.zip language=de "
         "language=en"},
        {"export DU1 out.zip", false,
         "action=export what=deliveryUnit deliveryUnit=DU1 fileName=out.zip"},
        {"help create workspace", false, "action=help what=create helpWhat=workspace"},
        {"help", false, "action=help"},
        {"create ws /tmp/w K", false, "action=create what=workSpace workSpace=/tmp/w key=K"},
        {"assign p1 p2 DU", false,
         "action=assign what=package package=p1 package=p2 deliveryUnit=DU"},
        {"set cts ENABLED", false,
         "action=set what=changeTrackingStatus changeTrackingStatus=ENABLED"},
        {"move 1 2", false, "action=move what=trackedPackages sourceChangeId=1 targetChangeId=2"},
        // What no syntax accepts.
        {"nosuch", false, "no match"},
        {"version x", false, "no match"},
        {"list", false, "no match"},
        {"set cts maybe", false, "no match"},
        {"create ws", false, "no match"},
        {"merge chs 1", false, "no match"},
    };
    for (const auto& aRow : aTable)
        EXPECT_EQ(pairsOf(aRow.itsWords, aRow.itsAdvanced), aRow.itsPairs) << aRow.itsWords;
}

TEST(CommandSyntaxMatch, ATokenWithoutExpansionMapIsAnInternalError) {
    CommandSyntax aSyntax({"ACTION", "PACKAGE"}, {{{"action", "$"}}});
    EXPECT_EQ(kivotest::messageOf([&] { aSyntax.match({"x", "p"}); }), "Internal error. 1, 1");
}
