#include "actions/helpselection.hpp"

#include <vector>

#include "actions/helpentries.hpp"
#include "core/error.hpp"
#include "core/htmlpage.hpp"
#include "core/textcase.hpp"
#include "core/utils.hpp"

namespace RepositoryAccess::helpselection {

namespace {

constexpr std::string_view separatorParagraph = "\n<p>---\n";

std::string concatenated(const std::vector<const Help*>& theMatches) {
    std::string aHtml;
    for (const Help* aMatch : theMatches)
        aHtml.append(separatorParagraph).append(aMatch->toHtml());
    return aHtml;
}

} // namespace

std::string pageFrame(std::string_view theBody) {
    std::string aStyle = "<style type=\"text/css\">\n<!--\n";
    aStyle.append(htmlpage::styleRules()).append("//-->\n</style>\n");
    return utils::dropListNumbers(htmlpage::frame("Kivo help", aStyle, theBody));
}

std::string htmlToText(std::string_view theHtml) {
    std::string aText;
    aText.reserve(theHtml.size());
    bool anInTag = false;
    for (char aChar : theHtml) {
        if (anInTag)
            anInTag = aChar != '>';
        else if (aChar == '<')
            anInTag = true;
        else
            aText += aChar;
    }
    return aText;
}

HelpSelection select(std::string_view theWhat, std::string_view theHelpWhat, bool theAllTexts) {
    if (theWhat.empty())
        return {std::string(helptexts::overview()), ""};

    std::vector<const Help*> aMatches;
    for (const AdditionalHelp& aTopic : helpregistry::topics())
        if (textcase::equalsIgnoringCase(aTopic.getTitle(), theWhat))
            aMatches.push_back(&aTopic);
    if (!aMatches.empty()) {
        std::string aHtml = aMatches.size() == 1 && !theAllTexts ? aMatches.front()->toHtml()
                                                                 : concatenated(aMatches);
        return {aHtml, aMatches.front()->getId()};
    }

    std::vector<const CommandHelp*> aCommands;
    for (const CommandHelp& aCommand : helpregistry::commands())
        if (textcase::equalsIgnoringCase(aCommand.action(), theWhat) &&
            (theHelpWhat.empty() || aCommand.isNamedBy(theHelpWhat)))
            aCommands.push_back(&aCommand);
    if (aCommands.empty())
        throw Error("No help found.");

    HelpSelection aResult{"", aCommands.front()->getId()};
    if (theAllTexts)
        aResult.itsHtml = concatenated({aCommands.begin(), aCommands.end()});
    else if (aCommands.size() == 1)
        aResult.itsHtml = aCommands.front()->toHtml();
    else {
        aResult.itsHtml = "The following help texts are available:\n";
        for (const CommandHelp* aCommand : aCommands)
            aResult.itsHtml.append("kivo help ")
                .append(aCommand->action())
                .append(" ")
                .append(aCommand->whatKey())
                .append("\n");
    }
    return aResult;
}

HelpSelection search(std::string_view theFirstTerm, std::string_view theSecondTerm,
                     bool theAllTexts) {
    const std::string aTerms[] = {textcase::lower(theFirstTerm), textcase::lower(theSecondTerm)};
    std::vector<const Help*> anEntries;
    for (const AdditionalHelp& aTopic : helpregistry::topics())
        anEntries.push_back(&aTopic);
    for (const CommandHelp& aCommand : helpregistry::commands())
        anEntries.push_back(&aCommand);

    std::vector<const Help*> aMatches;
    for (const Help* anEntry : anEntries) {
        std::string aText = textcase::lower(htmlToText(anEntry->toHtml()));
        bool aContainsAll = true;
        for (const std::string& aTerm : aTerms)
            if (!aTerm.empty() && aText.find(aTerm) == std::string::npos)
                aContainsAll = false;
        if (aContainsAll)
            aMatches.push_back(anEntry);
    }
    if (aMatches.empty())
        throw Error("No help found.");

    HelpSelection aResult{"", aMatches.front()->getId()};
    if (theAllTexts)
        aResult.itsHtml = concatenated(aMatches);
    else if (aMatches.size() == 1)
        aResult.itsHtml = aMatches.front()->toHtml();
    else {
        aResult.itsHtml = "The following help texts contain your search:\n";
        for (const Help* aMatch : aMatches)
            aResult.itsHtml.append("kivo help ").append(aMatch->getTitle()).append("\n");
    }
    return aResult;
}

std::string completeHelp() {
    std::string aHtml(helptexts::overview());
    for (const AdditionalHelp& aTopic : helpregistry::topics())
        aHtml.append(separatorParagraph).append(aTopic.toHtml());
    for (const CommandHelp& aCommand : helpregistry::commands())
        aHtml.append(separatorParagraph).append(aCommand.toHtml());
    return aHtml;
}

} // namespace RepositoryAccess::helpselection
