// Every syntax of the command table, run against a repository, answers for real: none is missing
// from this build or from the repository.
#include <gtest/gtest.h>

#include <map>

#include "core/commandsyntax.hpp"
#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
using RepositoryAccess::CommandSyntax;

namespace {

// A word for each placeholder that names something the repository of the test holds, or could.
const std::map<std::string, std::string> kExamples = {
    {"OBJECT", "acme/orders/Order.txt"},
    {"OBJECT_OR_PACKAGE", "acme/"},
    {"PACKAGE", "acme.orders"},
    {"DELIVERYUNIT", "DU1"},
    {"VENDOR", "example.com"},
    {"FILENAME", "du1.tgz"},
    {"LANGUAGE", "en"},
    {"CHANGEID", "ZEV//1"},
    {"SOURCECHANGEID", "ZEV//1"},
    {"TARGETCHANGEID", "ZEV//2"},
    {"CONTRIBUTOR", "other"},
    {"DESCRIPTION", "a change"},
    {"WORKSPACEPATH", "ws2"},
    {"KEY", "K1"},
    {"INACTIVEWORKSPACE", "__empty__"},
    {"INACTIVEWORKSPACEUSER", "other"},
    {"VERSION", "1"},
    {"ACTION", "status"},
};

// The shortest command line of a syntax: the action word, the first keyword of each mandatory
// keyword list, one example word for each mandatory placeholder (a repeated one once).
std::vector<std::string> commandLine(const std::string& theAction, const CommandSyntax& theSyntax) {
    std::vector<std::string> aWords = {theAction};
    const auto& aTokens = theSyntax.tokens();
    for (std::size_t aPos = 1; aPos < aTokens.size(); ++aPos) {
        const CommandSyntax::Token& aToken = aTokens[aPos];
        if (aToken.itsOptional ||
            (aToken.itsRepeated && aPos > 1 && aTokens[aPos - 1].itsText == aToken.itsText))
            continue;
        aWords.push_back(aToken.itsPlaceholder ? kExamples.at(aToken.itsText)
                                               : aToken.itsAlternatives.front());
    }
    return aWords;
}

} // namespace

TEST(SyntaxWalk, EveryActionOfTheSyntaxTableAnswersForReal) {
    RepositoryWorkspace aRepository(true, true);
    aRepository.activateAs("dev", {"put", "acme.orders", "Order", "txt", "one"});
    aRepository.expectOk(aRepository.kivo({"checkout"}));
    for (const auto& anEntry : RepositoryAccess::commandsyntax::buildTable(false)) {
        for (const CommandSyntax& aSyntax : anEntry.itsSyntaxes) {
            std::vector<std::string> anArgs = commandLine(anEntry.itsAction, aSyntax);
            std::string aLine = "kivo";
            for (const std::string& aWord : anArgs)
                aLine += " " + aWord;
            SCOPED_TRACE(aLine);
            anArgs.push_back("--noConfirm");
            const RunResult aResult = aRepository.kivo(anArgs);
            const std::string anOutput = aResult.itsOut + aResult.itsErr;
            EXPECT_TRUE(aResult.itsExitCode == 0 || aResult.itsExitCode == 1) << anOutput;
            EXPECT_FALSE(aResult.itsExitCode == 1 && aResult.itsErr.empty()) << anOutput;
            EXPECT_FALSE(contains(anOutput, "is not available in this version")) << anOutput;
            EXPECT_FALSE(contains(anOutput, "is not supported by this repository")) << anOutput;
            EXPECT_FALSE(contains(anOutput, "Could not parse commandline")) << anOutput;
            EXPECT_FALSE(contains(anOutput, "Internal error")) << anOutput;
        }
    }
}
