#include "core/commandsyntax.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "tests/support/messages.hpp"

using namespace RepositoryAccess;

namespace {

// The pairs a command line yields, as "name=value" texts in match order.
std::vector<std::string> pairsOf(std::vector<std::string> theWords, bool theAdvanced = false) {
    auto aPairs = commandsyntax::match(commandsyntax::buildTable(theAdvanced), theWords);
    if (!aPairs)
        return {"no match"};
    std::vector<std::string> aTexts;
    for (const auto& [aName, aValue] : *aPairs)
        aTexts.push_back(aName + "=" + aValue);
    return aTexts;
}

using Texts = std::vector<std::string>;

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

TEST(CommandSyntaxMatch, ObjectSelectionForms) {
    EXPECT_EQ(pairsOf({"log", "p1/", "a.txt"}),
              (Texts{"action=log", "what=object", "object=p1/", "object=a.txt"}));
    EXPECT_EQ(pairsOf({"annotate", "a.txt"}),
              (Texts{"action=annotate", "what=object", "object=a.txt"}));
    EXPECT_EQ(pairsOf({"diff", "p1/", "a.txt"}),
              (Texts{"action=diff", "what=objects", "object=p1/", "object=a.txt"}));
    EXPECT_EQ(pairsOf({"CHECKOUT", "IOS"}), (Texts{"action=CHECKOUT", "what=inactiveObjects"}));
    EXPECT_EQ(pairsOf({"checkout"}), (Texts{"action=checkout", "what=trackedPackages"}));
    EXPECT_EQ(pairsOf({"checkout", "trackedpackages"}),
              (Texts{"action=checkout", "what=trackedPackages"}));
    EXPECT_EQ(pairsOf({"checkout", "p1/"}),
              (Texts{"action=checkout", "what=objects", "object=p1/"}));
    EXPECT_EQ(pairsOf({"checkout", "package"}),
              (Texts{"action=checkout", "what=objects", "object=package"}));
    EXPECT_EQ(pairsOf({"checkout", "package"}, true), (Texts{"action=checkout", "what=package"}));
    EXPECT_EQ(pairsOf({"commit", "package", "a", "b"}),
              (Texts{"action=commit", "what=package", "package=a", "package=b"}));
    EXPECT_EQ(pairsOf({"status"}), (Texts{"action=status", "what=trackedPackages"}));
    EXPECT_EQ(pairsOf({"status", "ws"}), (Texts{"action=status", "what=workSpace"}));
    EXPECT_EQ(pairsOf({"status", "a", "b"}),
              (Texts{"action=status", "what=objects", "object=a", "object=b"}));
    EXPECT_EQ(pairsOf({"commit", "objects", "x"}),
              (Texts{"action=commit", "what=objects", "object=x"}));
    // Form A turns the optional keyword around in advanced mode.
    EXPECT_EQ(pairsOf({"activate"}), (Texts{"action=activate", "what=trackedPackages"}));
    EXPECT_EQ(pairsOf({"activate"}, true), (Texts{"action=activate", "what=inactiveObjects"}));
    EXPECT_EQ(pairsOf({"revert", "trackedPackages"}, true),
              (Texts{"action=revert", "what=trackedPackages"}));
}

TEST(CommandSyntaxMatch, EntriesWithTheSameActionAreTriedInOrder) {
    EXPECT_EQ(pairsOf({"export", "la", "DU1", "acme", "out.zip", "de", "en"}),
              (Texts{"action=export", "what=languages", "deliveryUnit=DU1", "vendor=acme",
                     "fileName=out.zip", "language=de", "language=en"}));
    EXPECT_EQ(
        pairsOf({"export", "DU1", "out.zip"}),
        (Texts{"action=export", "what=deliveryUnit", "deliveryUnit=DU1", "fileName=out.zip"}));
    EXPECT_EQ(pairsOf({"export", "du", "DU1", "acme", "out.zip"}),
              (Texts{"action=export", "what=deliveryUnit", "deliveryUnit=DU1", "vendor=acme",
                     "fileName=out.zip"}));
    EXPECT_EQ(pairsOf({"list", "changes"}), (Texts{"action=list", "what=changes"}));
    EXPECT_EQ(pairsOf({"help", "create", "workspace"}),
              (Texts{"action=help", "what=create", "helpWhat=workspace"}));
    EXPECT_EQ(pairsOf({"help"}), (Texts{"action=help"}));
    EXPECT_EQ(pairsOf({"create", "ws", "/tmp/w"}),
              (Texts{"action=create", "what=workSpace", "workSpace=/tmp/w"}));
    EXPECT_EQ(pairsOf({"create", "ws", "/tmp/w", "K"}),
              (Texts{"action=create", "what=workSpace", "workSpace=/tmp/w", "key=K"}));
    EXPECT_EQ(
        pairsOf({"assign", "p1", "p2", "DU"}),
        (Texts{"action=assign", "what=package", "package=p1", "package=p2", "deliveryUnit=DU"}));
    EXPECT_EQ(pairsOf({"delete", "allIWS"}),
              (Texts{"action=delete", "what=allInactiveWorkSpaces"}));
    EXPECT_EQ(pairsOf({"set", "cts", "ENABLED"}),
              (Texts{"action=set", "what=changeTrackingStatus", "changeTrackingStatus=ENABLED"}));
    EXPECT_EQ(pairsOf({"move", "1", "2"}), (Texts{"action=move", "what=trackedPackages",
                                                  "sourceChangeId=1", "targetChangeId=2"}));
    EXPECT_EQ(pairsOf({"rebase"}), (Texts{"action=rebase", "what=trackedPackages"}));
}

TEST(CommandSyntaxMatch, RejectsWhatNoSyntaxAccepts) {
    for (Texts aWords :
         {Texts{"nosuch"}, Texts{"version", "x"}, Texts{"list"}, Texts{"set", "cts", "maybe"},
          Texts{"create", "ws"}, Texts{"show", "object", "x"}, Texts{"merge", "chs", "1"}})
        EXPECT_EQ(pairsOf(aWords), Texts{"no match"}) << aWords.front();
}

TEST(CommandSyntaxMatch, ATokenWithoutExpansionMapIsAnInternalError) {
    CommandSyntax aSyntax({"ACTION", "PACKAGE"}, {{{"action", "$"}}});
    EXPECT_EQ(kivotest::messageOf([&] { aSyntax.match({"x", "p"}); }), "Internal error. 1, 1");
}
