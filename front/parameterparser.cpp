#include "front/parameterparser.hpp"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "core/commandsyntax.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/textcase.hpp"

namespace RepositoryAccess::parameterparser {

namespace {

// Removes trailing blanks, tabs, carriage returns and line feeds; leading ones stay.
std::string trimRight(std::string theText) {
    std::size_t anEnd = theText.find_last_not_of(" \t\r\n");
    theText.resize(anEnd == std::string::npos ? 0 : anEnd + 1);
    return theText;
}

bool isNameChar(char theChar) {
    return (theChar >= 'a' && theChar <= 'z') || (theChar >= 'A' && theChar <= 'Z') ||
           theChar == '_' || theChar == ',';
}

bool isShortNameChar(char theChar) {
    return (theChar >= 'a' && theChar <= 'z') || theChar == '_' || theChar == ',';
}

struct Option {
    std::string itsName;
    std::string itsValue;
};

// Splits a trimmed option into name and value by the three accepted forms: "--name=value",
// "--name" (value "X") and "-n" (value "X"). A long name has at least two characters of
// letters, underscore and comma; a short one is one lower-case letter, underscore or comma.
std::optional<Option> splitOption(const std::string& theText) {
    if (theText.starts_with("--")) {
        std::size_t anEnd = 2;
        while (anEnd < theText.size() && isNameChar(theText[anEnd]))
            ++anEnd;
        if (anEnd - 2 < 2)
            return std::nullopt;
        if (anEnd == theText.size())
            return Option{theText.substr(2), "X"};
        if (theText[anEnd] == '=')
            return Option{theText.substr(2, anEnd - 2), theText.substr(anEnd + 1)};
        return std::nullopt;
    }
    if (theText.size() == 2 && isShortNameChar(theText[1]))
        return Option{theText.substr(1), "X"};
    return std::nullopt;
}

bool isSecretName(std::string_view theName);

// The name of an option argument in any of its forms ("--name", "-name=value", trailing blanks
// ignored), or empty for a word that is no option.
std::string_view optionName(std::string_view theArgument) {
    if (!theArgument.starts_with('-'))
        return {};
    const std::size_t aStart = theArgument.find_first_not_of('-');
    if (aStart == std::string_view::npos)
        return {};
    const std::size_t anEnd = theArgument.find_first_of("= \t\r\n", aStart);
    return theArgument.substr(aStart, anEnd == std::string_view::npos ? anEnd : anEnd - aStart);
}

// A secret option written without "=": the next word is its value.
bool isSecretWithoutValue(std::string_view theArgument) {
    return theArgument.find('=') == std::string_view::npos && isSecretName(optionName(theArgument));
}

// The argument with the value of a secret option (in any form: "--passWord=x", "-passWord=x")
// replaced by the mask; any other argument unchanged.
std::string masked(const std::string& theArgument) {
    const std::size_t anEquals = theArgument.find('=');
    if (anEquals == std::string::npos || !isSecretName(optionName(theArgument)))
        return theArgument;
    return theArgument.substr(0, anEquals + 1) + std::string(kSecretMask);
}

// The option list: a multimap ordered by name text in which equal names keep their order.
using OptionList = std::multimap<std::string, std::string>;

[[noreturn]] void failUnmatched(const std::vector<std::string>& thePositional,
                                const OptionList& theOptions) {
    std::ostream& anOut = console::out();
    anOut << "Arguments:\n";
    for (const auto& aWord : thePositional)
        anOut << aWord << '\n';
    for (const auto& [aName, aValue] : theOptions)
        anOut << "--" << aName << "=" << (isSecretName(aName) ? std::string(kSecretMask) : aValue)
              << '\n';
    anOut.flush();
    throw Error("kivo: Could not parse commandline arguments: See \"kivo help\".");
}

// Advanced mode adds implied flags to some actions and WHATs before the pairs are stored. Action
// words are compared without regard to case, as everywhere else on the command line.
void applyAdvancedMode(OptionList& theOptions) {
    std::vector<std::pair<std::string, std::string>> anAdded;
    std::string anAction;
    for (auto& [aName, aValue] : theOptions) {
        if (aName == "action") {
            if (textcase::equalsIgnoringCase(aValue, "reBase")) {
                aValue = "checkOut";
                anAdded.emplace_back("noTrack", "X");
            } else if (textcase::equalsIgnoringCase(aValue, "checkOut")) {
                anAdded.insert(anAdded.end(), {{"inactive", "X"}, {"skip", "X"}, {"noTrack", "X"}});
            } else if (textcase::equalsIgnoringCase(aValue, "activate")) {
                anAdded.emplace_back("noCheckOut", "X");
            }
            anAction = aValue;
        } else if (aName == "what" && textcase::equalsIgnoringCase(aValue, "package") &&
                   !textcase::equalsIgnoringCase(anAction, "track") &&
                   !textcase::equalsIgnoringCase(anAction, "unTrack")) {
            anAdded.emplace_back("noRecursive", "X");
        }
    }
    for (auto& aPair : anAdded)
        theOptions.insert(std::move(aPair));
}

bool isSecretName(std::string_view theName) {
    for (const auto& [aKey, aParameter] : parameterMap())
        if (textcase::equalsIgnoringCase(aKey, theName))
            return isSecret(aParameter);
    return false;
}

} // namespace

const std::vector<ParameterDefinition>& definitions() {
    static const std::vector<ParameterDefinition> theDefinitions = {
#define KIVO_PARAMETER(theId, theName, theKind, theVariable, ...)                                  \
    {params::theId, EnvironmentKind::theKind, theVariable, {__VA_ARGS__}},
#include "core/parameterlist.inc"
#undef KIVO_PARAMETER
    };
    return theDefinitions;
}

const std::vector<std::pair<std::string_view, Parameter>>& parameterMap() {
    static const auto theMap = [] {
        std::vector<std::pair<std::string_view, Parameter>> aMap;
        for (const auto& aDefinition : definitions()) {
            aMap.emplace_back(aDefinition.itsParameter.name(), aDefinition.itsParameter);
            for (std::string_view anAlias : aDefinition.itsAliases)
                aMap.emplace_back(anAlias, aDefinition.itsParameter);
        }
        std::sort(aMap.begin(), aMap.end(), [](const auto& theLeft, const auto& theRight) {
            return theLeft.first < theRight.first;
        });
        return aMap;
    }();
    return theMap;
}

Parameter lookupParameter(std::string_view theName) {
    for (const auto& [aKey, aParameter] : parameterMap())
        if (textcase::equalsIgnoringCase(aKey, theName))
            return aParameter;
    throw Error("The parameter: " + std::string(theName) + " is not supported");
}

std::vector<SecretArgument> takeSecretArguments(int theArgc, char** theArgv) {
    std::vector<SecretArgument> aSecrets;
    // Reads what parseCommandLine reads: "--name=value", and "--name value" for a secret name
    // when the next word starts with no "-".
    auto aTake = [&](int theIndex, std::string_view theName, std::size_t theOffset) {
        char* anArgument = theArgv[theIndex];
        const std::size_t aSize = std::char_traits<char>::length(anArgument) - theOffset;
        const std::string_view aValue(anArgument + theOffset, aSize);
        const std::size_t aKept = aValue.find_last_not_of(" \t\r\n") + 1;
        const SecureString aSecret = secrets::takeFromArgument(anArgument, theOffset, aSize);
        if (aKept > 0)
            aSecrets.push_back(
                {lookupParameter(theName), SecureString(aSecret.view().substr(0, aKept))});
    };
    for (int anIndex = 1; anIndex < theArgc; ++anIndex) {
        const std::string_view anArgument(theArgv[anIndex]);
        const std::string_view aName = optionName(anArgument);
        if (!isSecretName(aName))
            continue;
        if (const std::size_t anEquals = anArgument.find('='); anEquals != std::string_view::npos)
            aTake(anIndex, aName, anEquals + 1);
        else if (anIndex + 1 < theArgc && theArgv[anIndex + 1][0] != '-')
            aTake(++anIndex, aName, 0);
    }
    return aSecrets;
}

ParameterValues parseCommandLine(const std::vector<std::string>& theArguments) {
    OptionList anOptions;
    std::vector<std::string> aPositional;
    for (std::size_t anIndex = 0; anIndex < theArguments.size(); ++anIndex) {
        std::string anArgument = theArguments[anIndex];
        if (anArgument == "--help" || anArgument == "-help" || anArgument == "-h")
            anArgument = "help";
        else if (anArgument == "--version" || anArgument == "-version")
            anArgument = "version";
        anArgument = trimRight(std::move(anArgument));
        if (!anArgument.starts_with("-")) {
            aPositional.push_back(std::move(anArgument));
            continue;
        }
        auto anOption = splitOption(anArgument);
        if (!anOption)
            throw Error("kivo: Could not parse commandline argument: " + masked(anArgument));
        // "--passWord secret" means what "--passWord=secret" means: the password is never
        // left to be taken for a package or an object name.
        if (isSecretWithoutValue(anArgument) && anIndex + 1 < theArguments.size() &&
            !theArguments[anIndex + 1].starts_with('-'))
            anOption->itsValue = trimRight(theArguments[++anIndex]);
        anOptions.emplace(std::move(anOption->itsName), std::move(anOption->itsValue));
    }

    if (!aPositional.empty()) {
        auto aPairs = commandsyntax::match(
            commandsyntax::buildTable(commandsyntax::isAdvancedMode(), aPositional.front()),
            aPositional);
        if (!aPairs)
            failUnmatched(aPositional, anOptions);
        for (auto& [aName, aValue] : *aPairs)
            anOptions.emplace(std::move(aName), std::move(aValue));
    }
    if (commandsyntax::isAdvancedMode())
        applyAdvancedMode(anOptions);

    ParameterValues aValues;
    for (auto& [aName, aValue] : anOptions)
        aValues.setValue(lookupParameter(aName), std::move(aValue));
    return aValues;
}

void applyEnvironment(ParameterValues& theValues) {
    for (const auto& aDefinition : definitions()) {
        if (aDefinition.itsEnvironmentKind == EnvironmentKind::none)
            continue;
        const char* aRaw = std::getenv(std::string(aDefinition.itsVariable).c_str());
        if (!aRaw)
            continue;
        std::string_view aValue(aRaw);
        const Parameter& aParameter = aDefinition.itsParameter;
        if (aDefinition.itsEnvironmentKind == EnvironmentKind::flag) {
            if (aValue == "1")
                theValues.setFlag(aParameter);
        } else if (!aValue.empty() && theValues.getValue(aParameter).empty()) {
            theValues.setValue(aParameter, std::string(aValue));
        }
    }
}

std::string recordedCommandLine(const std::vector<std::string>& theArguments) {
    std::string aLine;
    bool aSecretNext = false;
    for (std::size_t i = 0; i < theArguments.size(); ++i) {
        if (i > 0)
            aLine += ' ';
        const std::string& anArgument = theArguments[i];
        if (i == 0)
            aLine += anArgument;
        else if (aSecretNext && !anArgument.starts_with('-'))
            aLine += kSecretMask;
        else
            aLine += masked(anArgument);
        aSecretNext = i > 0 && isSecretWithoutValue(anArgument);
    }
    return aLine;
}

std::string parameterDump(const ParameterValues& theValues) {
    std::string aDump = "{";
    bool aFirst = true;
    for (const auto& anEntry : theValues.entries()) {
        if (!aFirst)
            aDump += ",\n";
        aFirst = false;
        bool aSecret = isSecret(Parameter(anEntry.itsName));
        aDump += "\"" + std::string(anEntry.itsName) +
                 "\":" + (aSecret ? std::string(kSecretMask) : anEntry.itsValue);
    }
    return aDump + "}";
}

} // namespace RepositoryAccess::parameterparser
