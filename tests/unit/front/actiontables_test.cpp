#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/commandsyntax.hpp"
#include "core/textcase.hpp"
#include "front/actionhost.hpp"
#include "front/dispatcher.hpp"

using namespace RepositoryAccess;

namespace {

std::set<std::string> lowerCase(const std::set<std::string>& theWords) {
    std::set<std::string> aResult;
    for (const std::string& aWord : theWords)
        aResult.insert(textcase::lower(aWord));
    return aResult;
}

std::set<std::string> syntaxActions(bool theAdvanced) {
    std::set<std::string> aWords;
    for (const CommandSyntaxEntry& anEntry : commandsyntax::buildTable(theAdvanced))
        aWords.insert(anEntry.itsAction);
    return lowerCase(aWords);
}

} // namespace

// The action words live in four tables: the syntax table (what the parser accepts), the dispatch
// table (what runs), the help entries (HelpEntries.EveryTableEntryHasHelpWithTheParsersUsage) and
// the class names. A word parsed and not dispatched is an action that falls back to the help.
TEST(ActionTables, SyntaxDispatchAndHelpNameTheSameActions) {
    std::set<std::string> aDispatched;
    for (const DispatchEntry& anEntry : dispatcher::table())
        EXPECT_TRUE(aDispatched.insert(textcase::lower(std::string(anEntry.itsAction))).second)
            << anEntry.itsAction << " is dispatched twice";
    // The one word that is parsed but never dispatched: without advanced mode it shows the help,
    // with it the parser has already turned it into a checkout.
    std::set<std::string> aParsed = syntaxActions(false);
    EXPECT_EQ(aParsed.erase("rebase"), 1u);
    EXPECT_EQ(aParsed, aDispatched);
    for (const std::string& aWord : syntaxActions(true))
        EXPECT_TRUE(aWord == "rebase" || aDispatched.count(aWord))
            << aWord << " parses in advanced mode only to fall back to the help";
}
