#include "core/commandsyntax.hpp"

#include <cstdlib>

#include "core/error.hpp"
#include "core/textcase.hpp"

namespace RepositoryAccess {

namespace {

CommandSyntax::Token classify(std::string theText) {
    CommandSyntax::Token aToken;
    if (theText.size() > 3 && theText.ends_with("...")) {
        aToken.itsRepeated = true;
        theText.resize(theText.size() - 3);
    }
    if (theText.size() > 2 && theText.front() == '[' && theText.back() == ']') {
        aToken.itsOptional = true;
        theText = theText.substr(1, theText.size() - 2);
    }
    aToken.itsPlaceholder = !theText.empty() && theText.front() >= 'A' && theText.front() <= 'Z';
    if (!aToken.itsPlaceholder) {
        std::size_t aStart = 0;
        for (std::size_t aBar; (aBar = theText.find('|', aStart)) != std::string::npos;
             aStart = aBar + 1)
            aToken.itsAlternatives.push_back(theText.substr(aStart, aBar - aStart));
        aToken.itsAlternatives.push_back(theText.substr(aStart));
    }
    aToken.itsText = std::move(theText);
    return aToken;
}

bool isAlternative(const CommandSyntax::Token& theToken, const std::string& theWord) {
    for (const auto& anAlternative : theToken.itsAlternatives)
        if (textcase::equalsIgnoringCase(anAlternative, theWord))
            return true;
    return false;
}

} // namespace

CommandSyntax::CommandSyntax(
    std::vector<std::string> theUsage,
    std::vector<std::vector<std::pair<std::string, std::string>>> theExpansionMaps)
    : itsUsage(std::move(theUsage)), itsExpansionMaps(std::move(theExpansionMaps)) {
    for (const auto& aText : itsUsage)
        itsTokens.push_back(classify(aText));
}

std::optional<ParameterPairs> CommandSyntax::match(const std::vector<std::string>& theWords) const {
    if (!walk(theWords, nullptr))
        return std::nullopt;
    ParameterPairs aResult;
    walk(theWords, &aResult);
    return aResult;
}

// Walks tokens and words once; with theResult it also expands every word it takes. The counting
// of required tokens follows the table's semantics exactly: an optional or repeated placeholder
// takes a word only while more words remain than required tokens.
bool CommandSyntax::walk(const std::vector<std::string>& theWords,
                         ParameterPairs* theResult) const {
    const std::size_t aWordCount = theWords.size();
    std::size_t aRequired = 0;
    for (const auto& aToken : itsTokens)
        if (!aToken.itsOptional && !aToken.itsRepeated)
            ++aRequired;

    std::size_t t = 0;
    std::size_t a = 0;
    auto take = [&] {
        if (theResult)
            expand(t, theWords[a], *theResult);
        ++a;
    };
    while (t < itsTokens.size() && a < aWordCount) {
        const Token& aToken = itsTokens[t];
        const std::size_t aLeft = aWordCount - a;
        if (aToken.itsPlaceholder && !aToken.itsOptional && !aToken.itsRepeated) {
            take();
            ++t;
            --aRequired;
        } else if (aToken.itsPlaceholder) {
            if (aLeft > aRequired) {
                take();
                if (aToken.itsOptional)
                    ++t;
            } else if (aLeft == aRequired) {
                ++t;
            } else {
                return false;
            }
        } else if (isAlternative(aToken, theWords[a])) {
            take();
            ++t;
            if (!aToken.itsOptional)
                --aRequired;
        } else if (aToken.itsOptional) {
            ++t;
        } else {
            return false;
        }
        if (t == itsTokens.size() && a < aWordCount)
            return false;
        if (a == aWordCount && aRequired > 0)
            return false;
    }
    return true;
}

void CommandSyntax::expand(std::size_t thePosition, const std::string& theWord,
                           ParameterPairs& theResult) const {
    if (thePosition >= itsExpansionMaps.size())
        throw Error("Internal error. " + std::to_string(thePosition) + ", " +
                    std::to_string(itsExpansionMaps.size()));
    for (const auto& [aParameter, aTemplate] : itsExpansionMaps[thePosition])
        theResult.emplace_back(aParameter, aTemplate == "$" ? theWord : aTemplate);
}

namespace commandsyntax {

bool isAdvancedMode() {
    const char* aValue = std::getenv("KIVO_ADVANCED");
    return aValue && std::string_view(aValue) == "yes";
}

std::optional<ParameterPairs> match(const std::vector<CommandSyntaxEntry>& theTable,
                                    const std::vector<std::string>& theWords) {
    for (const auto& anEntry : theTable) {
        if (!textcase::equalsIgnoringCase(anEntry.itsAction, theWords.front()))
            continue;
        for (const auto& aSyntax : anEntry.itsSyntaxes)
            if (auto aPairs = aSyntax.match(theWords))
                return aPairs;
    }
    return std::nullopt;
}

} // namespace commandsyntax
} // namespace RepositoryAccess
