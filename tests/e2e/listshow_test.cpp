// `kivo list` and `kivo show` on one populated repository, inside the workspace and outside, and
// every syntax of the command table run against it.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/commandsyntax.hpp"
#include "tests/e2e/repositoryworkspace.hpp"

using namespace kivotest;
using RepositoryAccess::CommandSyntax;
namespace fs = std::filesystem;

namespace {

// Active: Order.txt in two versions (dev, then other), Line.txt, Notes.md, and Gone.txt deleted;
// dev committed Order.txt's deletion and a new New.txt; other wrote p/x.txt into "__empty__".
class ListShow : public WorkspaceTest<true, true> {
protected:
    ListShow() {
        activateAs("dev", {"put", "acme.orders", "Order", "txt", "one"});
        activateAs("other", {"put", "acme.orders", "Order", "txt", "two"});
        activateAs("dev", {"put", "acme.orders.sub", "Line", "txt", "line"});
        activateAs("dev", {"put", "acme", "Notes", "md", "notes"});
        activateAs("dev", {"put", "acme.old", "Gone", "txt", "gone"});
        activateAs("dev", {"remove", "acme.old", "Gone", "txt"});
        expectOk(kivo({"checkout"}));
        fs::remove(path("acme/orders/Order.txt"));
        writeText(path("acme/orders/New.txt"), "new");
        expectOk(kivo({"commit"}));
        activateAs("other", {"create-package"});
        activateAs("other", {"write-only"});
    }
};

const std::string kActive = "\tacme/Notes.md (version #1)\n"
                            "\tacme/orders/Order.txt (version #2)\n"
                            "\tacme/orders/sub/Line.txt (version #1)\n";
const std::string kInactive = "\tacme/orders/New.txt (new)\n"
                              "\tacme/orders/Order.txt (base #2) deletion\n";

// The labelled package lines of a package without attributes of its own, in theUnit when one is
// given (its name and its vendor's line).
std::string packageBlock(const std::string& thePackage, const std::string& theStructural,
                         const std::string& theContent,
                         const std::string& theUnit = "\nVendor                  : ") {
    return "Package                 : " + thePackage +
           "\nStructural              : " + theStructural +
           "\nDescription             : \nResponsible             : \n--\n"
           "Content                 : " +
           theContent +
           "\nSource system           : ZEV\nTransportable           : 1\n--\n"
           "Original Language       : \nText collection         : \nText status             : \n"
           "Text terminology domain : \nHints for translation   : \n--\n"
           "Delivery Unit           : " +
           theUnit + "\n\n";
}

} // namespace

TEST_F(ListShow, ListsAndShowsOfOnePopulatedRepository) {
    const std::string aFront = "Object                  : Order.txt\n"
                               "Package                 : acme.orders\nMeta data:\n";
    const std::string aTail = "Change number           : \nReleased at             : \n";
    expectOutputs({
        {{"list", "aos"}, kActive},
        {{"list", "activeObjects", "acme.orders", "--noRecursive"},
         "\tacme/orders/Order.txt (version #2)\n"},
        {{"list", "aos", "acme/orders"},
         "\tacme/orders/Order.txt (version #2)\n\tacme/orders/sub/Line.txt (version #1)\n"},
        {{"list", "aos", "--suffix=md"}, "\tacme/Notes.md (version #1)\n"},
        {{"list", "ios"}, kInactive},
        {{"list", "inactiveObjects", "acme.orders.sub"}, ""},
        {{"list", "ios", "--iUser=other", "--iWS=__empty__"}, "\tp/x.txt (new)\n", true},
        {{"status", "acme/orders/", "-i"}, "\nInactive Objects:\n" + kInactive + "\n"},
        {{"list", "history", "acme/orders/New.txt", "acme/old/Gone.txt"},
         "No historic versions for \"acme/orders/New.txt\"\n"
         "Historic versions:\n\t1\t<time>\tDEV\n\t2\t<time>\tDEV\t deletion\n"},
        {{"list", "history", "Order.txt", "--package=acme.orders"},
         "Historic versions:\n\t1\t<time>\tDEV\n\t2\t<time>\tOTHER\n",
         true},
        {{"show", "acme/orders/Order.txt", "a"},
         aFront +
             "Type                    : 1 (active version)\n"
             "Last activated at       : <time>\nLast activated by       : OTHER\n"
             "Object status           : 0\n" +
             aTail + "Version:\nType                    : 1 (active)\n"},
        {{"show", "object", "Order.txt", "1", "--package=acme.orders"},
         aFront +
             "Type                    : 3 (historical version)\n"
             "Last activated at       : <time>\nLast activated by       : DEV\n"
             "Deletion                : false\nObject status           : 0\n" +
             aTail +
             "Version:\nType                    : 3 (historical)\nVersion number          : 1\n",
         true},
        {{"show", "acme/orders/Order.txt", "inactive"},
         aFront + "Type                    : 2 (inactive version)\n"
                  "Last changed at         : <time>\nDeletion                : true\n"
                  "Version:\nType                    : 2 (inactive)\n"
                  "Workspace               : ws\nOwner                   : DEV\n"},
        {{"list", "rootPackages"}, packageBlock("acme", "0", "1") + packageBlock("p", "0", "0")},
        {{"list", "packages", "acme.o*"},
         packageBlock("acme.old", "0", "0") + packageBlock("acme.orders", "0", "1") +
             packageBlock("acme.orders.sub", "0", "1"),
         true},
        {{"show", "package", "acme/orders/sub", "p"},
         packageBlock("acme.orders.sub", "0", "1") + packageBlock("p", "0", "0")},
        {{"list", "inactiveWorkSpaces", "other"}, "OTHER\t__empty__\n", true},
        {{"list", "iWS", "*"}, "DEV\tws\nOTHER\t__empty__\n"},
        {{"show", "evs"}, "Minimum required version : 1\nMaximum version          : 3\n"},
        {{"show", "vendor"}, "Content vendor           : example.com\n", true},
        {{"show", "cts"}, "Change tracking status   : disabled\n"},
        {{"list", "trackedPackages"}, "acme\n"},
    });
    expectRefused(kivo({"list", "history", "acme/none.txt"}), "Failed to list history (40132)");
    for (const std::string aVersion : {"0", "1.5", "x", "2b", "activ", ""})
        expectError(kivo({"show", "acme/orders/Order.txt", aVersion}),
                    "Invalid version (must be a|active, i|inactive or a historical version "
                    "(positive integer)): " +
                        aVersion + "\n");
    expectError(kivo({"show", "acme/orders/Order.txt", "7"}),
                "Object \"acme/orders/Order.txt\" has no historical version 7.\n");
    expectError(outsideWithKey({"list", "trackedPackages"}),
                "Failed to open workspace config file.\n");
}

// DU1 holds acme.orders and acme.shipping with a broken Bad.json; DU2, another vendor's, nothing.
TEST_F(ListShow, DeliveryUnitsAreListedAndShownWithTheirObjects) {
    fs::create_directories(path("acme/shipping"));
    writeText(path("acme/shipping/Bad.json"), "{");
    kivo({"push", "acme/shipping/Bad.json", "--activationMode=4"});
    EXPECT_EQ(outputOf(kivo({"list", "aos", "acme.shipping"})),
              "\tacme/shipping/Bad.json (version #1) broken\n");
    repoProbe({"du", "DU1", "example.com", "Orders", "acme.orders", "acme.shipping"});
    repoProbe({"du", "DU2", "acme.example", "Empty"});

    const std::string aUnit = "DU1\nVendor                  : example.com";
    expectOutputs({
        {{"list", "dus"}, "DU1\texample.com\nDU2\tacme.example\n"},
        {{"list", "deliveryUnits", "--vendor=acme.example"}, "DU2\tacme.example\n", true},
        {{"list", "du", "DU1", "DU2"},
         packageBlock("acme.orders", "0", "1", aUnit) +
             packageBlock("acme.shipping", "0", "1", aUnit)},
        {{"show", "duStatus", "DU1"},
         "acme/orders/Order.txt (ok)\nacme/shipping/Bad.json (broken)\n",
         true},
        {{"show", "deliveryUnitStatus", "DU2", "--vendor=acme.example"}, ""},
    });
    // The unit's own attributes print by their descriptions, as the record tests show.
    EXPECT_TRUE(outputOf(kivo({"show", "du", "DU1"}))
                    .starts_with("Delivery Unit           : " + aUnit +
                                 "\nCaption                 : Orders\n"));
}

namespace {

using SyntaxWalk = ListShow;

// A word for each placeholder that names something the repository of the test holds, or could.
const std::string kExamples =
    ";OBJECT=acme/orders/Order.txt;OBJECT_OR_PACKAGE=acme/;PACKAGE=acme.orders;"
    "DELIVERYUNIT=DU1;VENDOR=example.com;FILENAME=du1.tgz;LANGUAGE=en;"
    "CHANGEID=ZEV//1;SOURCECHANGEID=ZEV//1;TARGETCHANGEID=ZEV//2;CONTRIBUTOR=other;"
    "DESCRIPTION=a change;WORKSPACEPATH=ws2;KEY=K1;INACTIVEWORKSPACE=__empty__;"
    "INACTIVEWORKSPACEUSER=other;VERSION=1;ACTION=status;";

std::string example(const std::string& thePlaceholder) {
    const auto aFound = kExamples.find(";" + thePlaceholder + "=");
    if (aFound == std::string::npos)
        throw std::out_of_range("no example for the placeholder " + thePlaceholder);
    const auto aStart = aFound + thePlaceholder.size() + 2;
    return kExamples.substr(aStart, kExamples.find(';', aStart) - aStart);
}

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
        aWords.push_back(aToken.itsPlaceholder ? example(aToken.itsText)
                                               : aToken.itsAlternatives.front());
    }
    return aWords;
}

} // namespace

// Every syntax of the command table, run against the populated repository, answers for real:
// none is missing from this build or from the repository.
TEST_F(SyntaxWalk, EveryActionOfTheSyntaxTableAnswersForReal) {
    for (const auto& anEntry : RepositoryAccess::commandsyntax::buildTable(false)) {
        for (const CommandSyntax& aSyntax : anEntry.itsSyntaxes) {
            std::vector<std::string> anArgs = commandLine(anEntry.itsAction, aSyntax);
            std::string aLine = "kivo";
            for (const std::string& aWord : anArgs)
                aLine += " " + aWord;
            SCOPED_TRACE(aLine);
            anArgs.push_back("--noConfirm");
            const RunResult aResult = kivo(anArgs);
            const std::string anOutput = aResult.itsOut + aResult.itsErr;
            EXPECT_TRUE(aResult.itsExitCode == 0 || aResult.itsExitCode == 1) << anOutput;
            EXPECT_FALSE(aResult.itsExitCode == 1 && aResult.itsErr.empty()) << anOutput;
            for (const char* aFault :
                 {"is not available in this version", "Internal error",
                  "is not supported by this repository", "Could not parse commandline"})
                EXPECT_FALSE(contains(anOutput, aFault)) << anOutput;
        }
    }
}
