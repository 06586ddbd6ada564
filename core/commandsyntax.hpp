#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace RepositoryAccess {

// (parameter name, value) pairs produced by a matched syntax, in token order.
using ParameterPairs = std::vector<std::pair<std::string, std::string>>;

// One accepted word sequence of one action. A token with a trailing "..." is repeated, one in
// "[" "]" is optional, one with an upper-case first letter is a placeholder; any other token is
// a "|"-separated list of keywords. Each token has an expansion map from parameter name to a
// value template: "$" stands for the matched word, anything else is a literal.
class CommandSyntax {
public:
    struct Token {
        std::string itsText; // without brackets and dots
        bool itsOptional = false;
        bool itsRepeated = false;
        bool itsPlaceholder = false;
        std::vector<std::string> itsAlternatives; // keywords only
    };

    CommandSyntax(std::vector<std::string> theUsage,
                  std::vector<std::vector<std::pair<std::string, std::string>>> theExpansionMaps);

    // The usage tokens as written in the table, for example "[objects]" or "PACKAGE...".
    const std::vector<std::string>& usage() const { return itsUsage; }
    const std::vector<Token>& tokens() const { return itsTokens; }

    // Matches the positional words; on success returns the expanded pairs. A dry run that fails
    // returns nothing; expansion throws "Internal error. <position>, <map count>" when the table
    // has fewer maps than tokens.
    std::optional<ParameterPairs> match(const std::vector<std::string>& theWords) const;

private:
    bool walk(const std::vector<std::string>& theWords, ParameterPairs* theResult) const;
    void expand(std::size_t thePosition, const std::string& theWord,
                ParameterPairs& theResult) const;

    std::vector<std::string> itsUsage;
    std::vector<Token> itsTokens;
    std::vector<std::vector<std::pair<std::string, std::string>>> itsExpansionMaps;
};

// One entry of the command syntax table: the action as written ("checkOut"), the WHAT key used
// by the help ("workSpace" for create workSpace, empty without WHAT) and its syntaxes in order.
struct CommandSyntaxEntry {
    std::string itsAction;
    std::string itsWhatKey;
    std::vector<CommandSyntax> itsSyntaxes;
};

namespace commandsyntax {

// The command syntax table in its fixed order; advanced-mode syntaxes only when theAdvanced.
// With theOnlyAction, only the entries of that action word (compared without regard to case).
std::vector<CommandSyntaxEntry> buildTable(bool theAdvanced, std::string_view theOnlyAction = {});

// True when the environment variable KIVO_ADVANCED is exactly "yes".
bool isAdvancedMode();

// Matches positional words (at least one) against the table: the first entry whose action
// equals the first word without regard to case and which has a matching syntax wins.
std::optional<ParameterPairs> match(const std::vector<CommandSyntaxEntry>& theTable,
                                    const std::vector<std::string>& theWords);

} // namespace commandsyntax
} // namespace RepositoryAccess
