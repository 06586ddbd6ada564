#include "actions/helpentries.hpp"

#include <algorithm>

#include "core/error.hpp"
#include "core/textcase.hpp"

namespace RepositoryAccess {

CommandHelp::CommandHelp(const CommandHelpText& theText, const CommandSyntaxEntry* theSyntax)
    : itsText(theText), itsSyntax(theSyntax) {}

std::string CommandHelp::getTitle() const {
    std::string aTitle(itsText.itsAction);
    if (hasWhat())
        aTitle.append(" ").append(itsText.itsWhatKey);
    return aTitle;
}

std::string CommandHelp::getId() const {
    std::string anId(itsText.itsAction);
    if (hasWhat())
        anId.append("_").append(itsText.itsWhatKey);
    return anId;
}

bool CommandHelp::isNamedBy(std::string_view theWord) const {
    if (textcase::equalsIgnoringCase(theWord, itsText.itsWhatKey))
        return true;
    if (!itsSyntax)
        return false;
    for (const CommandSyntax& aSyntax : itsSyntax->itsSyntaxes) {
        const auto& aTokens = aSyntax.tokens();
        if (aTokens.size() < 2 || aTokens[1].itsPlaceholder)
            continue;
        for (const std::string& anAlternative : aTokens[1].itsAlternatives)
            if (textcase::equalsIgnoringCase(theWord, anAlternative))
                return true;
    }
    return false;
}

std::vector<std::string> CommandHelp::usageLines() const {
    std::vector<std::string> aLines;
    if (!itsSyntax)
        return aLines;
    for (const CommandSyntax& aSyntax : itsSyntax->itsSyntaxes) {
        std::string aLine;
        bool aFirst = true;
        for (const std::string& aToken : aSyntax.usage()) {
            if (!aFirst)
                aLine += ' ';
            aLine += aFirst && aToken == "ACTION" ? std::string(itsText.itsAction) : aToken;
            aFirst = false;
        }
        aLines.push_back(std::move(aLine));
    }
    return aLines;
}

std::string CommandHelp::toHtml() const {
    if (!itsSyntax || itsSyntax->itsSyntaxes.empty())
        throw Error("Internal error: Failed to get command syntax for " + getTitle());
    std::string aHtml = "\n<h2 id=\"" + getId() + "\">" + getTitle() + "</h2>\n\n";
    aHtml.append("<p>").append(itsText.itsDescription).append("</p>\n\n");
    aHtml += "<h3>Usage:</h3><ul>\n";
    for (const std::string& aLine : usageLines())
        aHtml.append("  <li>").append(aLine).append("\n");
    aHtml += "</ul>";
    if (!itsText.itsOptions.empty())
        aHtml.append("\n<h3>Options:</h3>\n").append(itsText.itsOptions).append("\n");
    aHtml.append("\n<h3>Examples:</h3>\n").append(itsText.itsExamples).append("\n");
    if (!itsRelated.empty()) {
        aHtml += "\n<h3>Related:</h3>\n<ul>";
        for (const CommandHelp* anEntry : itsRelated)
            aHtml.append("  <li><a href=\"#")
                .append(anEntry->getId())
                .append("\">")
                .append(anEntry->getTitle())
                .append("</a> (")
                .append(anEntry->shortDescription())
                .append(")\n");
        aHtml += "</ul>";
    }
    return aHtml;
}

std::string AdditionalHelp::toHtml() const {
    std::string aName(itsText.itsName);
    return "\n<h2 id=\"" + aName + "\">" + aName + "</h2>\n\n" + std::string(itsText.itsText);
}

namespace helpregistry {

namespace {

struct Registry {
    std::vector<CommandSyntaxEntry> itsTable;
    std::vector<AdditionalHelp> itsTopics;
    std::vector<CommandHelp> itsCommands;

    Registry() : itsTable(commandsyntax::buildTable(commandsyntax::isAdvancedMode())) {
        for (auto aSource :
             {helptexts::topics(), helptexts::workspaceTopics(), helptexts::serverTopics()})
            for (const TopicHelpText& aText : aSource)
                itsTopics.emplace_back(aText);

        const std::span<const CommandHelpText> aSources[] = {
            helptexts::workspaceActions(), helptexts::administrationActions(),
            helptexts::deliveryActions(), helptexts::listActions()};
        auto aFind = [&](const CommandSyntaxEntry& theEntry) -> const CommandHelpText* {
            for (auto aSource : aSources)
                for (const CommandHelpText& aText : aSource)
                    if (aText.itsAction == theEntry.itsAction &&
                        aText.itsWhatKey == theEntry.itsWhatKey)
                        return &aText;
            return nullptr;
        };
        // One entry per table entry in table order; texts without a table entry come last and
        // fail when they are shown.
        std::vector<const CommandHelpText*> aUsed;
        for (const CommandSyntaxEntry& anEntry : itsTable)
            if (const CommandHelpText* aText = aFind(anEntry)) {
                itsCommands.emplace_back(*aText, &anEntry);
                aUsed.push_back(aText);
            }
        for (auto aSource : aSources)
            for (const CommandHelpText& aText : aSource)
                if (std::find(aUsed.begin(), aUsed.end(), &aText) == aUsed.end())
                    itsCommands.emplace_back(aText, nullptr);

        for (CommandHelp& aCommand : itsCommands)
            aCommand.setRelated(resolve(aCommand.relatedIds()));
    }

    std::vector<const CommandHelp*> resolve(std::string_view theIds) const {
        std::vector<const CommandHelp*> aResult;
        while (!theIds.empty()) {
            std::size_t aBlank = theIds.find(' ');
            std::string_view anId = theIds.substr(0, aBlank);
            theIds =
                aBlank == std::string_view::npos ? std::string_view() : theIds.substr(aBlank + 1);
            for (const CommandHelp& aCommand : itsCommands)
                if (!anId.empty() && aCommand.getId() == anId)
                    aResult.push_back(&aCommand);
        }
        return aResult;
    }
};

const Registry& registry() {
    static const Registry aRegistry;
    return aRegistry;
}

} // namespace

const std::vector<AdditionalHelp>& topics() {
    return registry().itsTopics;
}

const std::vector<CommandHelp>& commands() {
    return registry().itsCommands;
}

const std::vector<CommandSyntaxEntry>& syntaxTable() {
    return registry().itsTable;
}

} // namespace helpregistry
} // namespace RepositoryAccess
