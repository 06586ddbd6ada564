#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/helpentries.hpp"
#include "actions/helpselection.hpp"
#include "core/error.hpp"
#include "tests/support/process.hpp"

using namespace RepositoryAccess;

namespace {

const CommandHelp* findEntry(const CommandSyntaxEntry& theEntry) {
    for (const CommandHelp& aCommand : helpregistry::commands())
        if (aCommand.action() == theEntry.itsAction && aCommand.whatKey() == theEntry.itsWhatKey)
            return &aCommand;
    return nullptr;
}

} // namespace

// Help and parser read the same table: every entry has a help entry whose usage lines are the
// table's tokens (that the parser takes them: SyntaxWalk, end to end).
TEST(HelpEntries, EveryTableEntryHasHelpWithTheParsersUsage) {
    const std::vector<CommandSyntaxEntry>& aTable = helpregistry::syntaxTable();
    ASSERT_EQ(aTable.size(), helpregistry::commands().size());
    for (const CommandSyntaxEntry& anEntry : aTable) {
        const CommandHelp* aHelp = findEntry(anEntry);
        ASSERT_NE(aHelp, nullptr) << anEntry.itsAction << " " << anEntry.itsWhatKey;
        std::vector<std::string> aLines = aHelp->usageLines();
        ASSERT_EQ(aLines.size(), anEntry.itsSyntaxes.size()) << aHelp->getTitle();
        std::string aHtml = aHelp->toHtml();
        for (std::size_t i = 0; i < aLines.size(); ++i) {
            const CommandSyntax& aSyntax = anEntry.itsSyntaxes[i];
            std::string anExpected = anEntry.itsAction;
            for (std::size_t t = 1; t < aSyntax.usage().size(); ++t)
                anExpected += " " + aSyntax.usage()[t];
            EXPECT_EQ(aLines[i], anExpected);
            EXPECT_NE(aHtml.find("  <li>" + anExpected + "\n"), std::string::npos);
        }
        EXPECT_FALSE(aHelp->shortDescription().empty()) << aHelp->getTitle();
        // Every related id names an entry.
        std::size_t anIds = 0;
        for (std::string_view aRest = aHelp->relatedIds(); !aRest.empty();) {
            ++anIds;
            std::size_t aBlank = aRest.find(' ');
            aRest = aBlank == std::string_view::npos ? "" : aRest.substr(aBlank + 1);
        }
        EXPECT_EQ(kivotest::countOf(aHtml, "  <li><a href=\"#"), anIds) << aHelp->getTitle();
    }
}

TEST(HelpEntries, OverviewLinksEveryActionEntryAndTopic) {
    std::string anOverview(helptexts::overview());
    for (const CommandHelp& aCommand : helpregistry::commands())
        EXPECT_NE(anOverview.find("href=\"#" + aCommand.getId() + "\""), std::string::npos)
            << aCommand.getId();
    for (const AdditionalHelp& aTopic : helpregistry::topics())
        EXPECT_NE(anOverview.find("href=\"#" + aTopic.getId() + "\""), std::string::npos)
            << aTopic.getId();
}

TEST(HelpSelection, SelectsTopicsBeforeActionsAndByWhatAlternatives) {
    // The text form drops tags only.
    EXPECT_EQ(helpselection::htmlToText("a <b>b</b> &lt;c&gt; d<br"), "a b &lt;c&gt; d");
    HelpSelection aList = helpselection::select("CREATE", "", false);
    EXPECT_EQ(aList.itsHtml, "The following help texts are available:\n"
                             "kivo help create workSpace\nkivo help create change\n"
                             "kivo help create contributor\nkivo help create deliveryUnit\n"
                             "kivo help create package\n");
    // The entry's text: HelpCommand, end to end.
    EXPECT_EQ(helpselection::select("create", "WS", false).itsAnchor, "create_workSpace");
    HelpSelection aTopic = helpselection::select("LOCKFILE", "", false);
    EXPECT_EQ(aTopic.itsAnchor, "lockFile");
    EXPECT_EQ(aTopic.itsHtml.rfind("\n<h2 id=\"lockFile\">lockFile</h2>\n\n", 0), 0u);
    HelpSelection anAll = helpselection::select("create", "", true);
    EXPECT_EQ(kivotest::countOf(anAll.itsHtml, "\n<p>---\n"), 5u);
    EXPECT_EQ(helpselection::select("", "", false).itsAnchor, "");
    EXPECT_THROW(helpselection::select("nosuchthing", "", false), Error);
    EXPECT_THROW(helpselection::select("create", "nosuchwhat", false), Error);
}

TEST(HelpSelection, SearchIsCaseInsensitiveOverAllTexts) {
    // "p4merge" is written only in the merge tool topic.
    HelpSelection aUnique = helpselection::search("P4MERGE", "", false);
    EXPECT_EQ(aUnique.itsAnchor, "mergeToolConfig");
    EXPECT_EQ(aUnique.itsHtml.rfind("\n<h2 id=\"mergeToolConfig\">", 0), 0u);
    HelpSelection aBoth = helpselection::search("resolve", "conflicts", false);
    EXPECT_EQ(aBoth.itsHtml.rfind("The following help texts contain your search:\nkivo help ", 0),
              0u);
    EXPECT_NE(aBoth.itsHtml.find("kivo help conflicts\n"), std::string::npos);
    EXPECT_EQ(aBoth.itsHtml.find("kivo help lockFile\n"), std::string::npos);
}
