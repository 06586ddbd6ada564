// Prints the manual page (kivo.1) or the bash completion script of kivo, both generated from
// the help entries, the command syntax table and the parameter table that the program uses.
//
//   gendocs man         the manual page in groff
//   gendocs completion  the bash completion script

#include "core/textcase.hpp"
#include <algorithm>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "actions/helpentries.hpp"
#include "core/error.hpp"
#include "front/parameterparser.hpp"

using namespace RepositoryAccess;

namespace {

// Text for groff: backslashes and hyphens escaped, entities decoded.
std::string groffText(std::string_view theText) {
    std::string aResult;
    for (std::size_t i = 0; i < theText.size(); ++i) {
        char aChar = theText[i];
        if (aChar == '\\')
            aResult += "\\e";
        else if (aChar == '-')
            aResult += "\\-";
        else if (aChar == '&') {
            std::size_t anEnd = theText.find(';', i);
            std::string_view anEntity = theText.substr(i, anEnd - i + 1);
            if (anEntity == "&lt;")
                aResult += '<';
            else if (anEntity == "&gt;")
                aResult += '>';
            else if (anEntity == "&quot;")
                aResult += '"';
            else if (anEntity == "&amp;")
                aResult += '&';
            else {
                aResult += '&';
                continue;
            }
            i = anEnd;
        } else
            aResult += aChar;
    }
    return aResult;
}

// Turns a help HTML fragment into groff requests: headings, paragraphs, lists and preformatted
// blocks. Other tags are dropped.
std::string htmlToGroff(std::string_view theHtml) {
    std::string aRaw;
    std::size_t aPosition = 0;
    while (aPosition < theHtml.size()) {
        std::size_t aTagStart = theHtml.find('<', aPosition);
        aRaw += groffText(theHtml.substr(aPosition, aTagStart - aPosition));
        if (aTagStart == std::string_view::npos)
            break;
        std::size_t aTagEnd = theHtml.find('>', aTagStart);
        std::string_view aTag = theHtml.substr(aTagStart + 1, aTagEnd - aTagStart - 1);
        aPosition = aTagEnd == std::string_view::npos ? theHtml.size() : aTagEnd + 1;
        std::string aName = textcase::lower(aTag.substr(0, aTag.find(' ')));
        if (aName == "h2")
            aRaw += "\n.SS ";
        else if (aName == "h3")
            aRaw += "\n.PP\n.B ";
        else if (aName == "/h2" || aName == "/h3")
            aRaw += "\n";
        else if (aName == "p" || aName == "/ul")
            aRaw += "\n.PP\n";
        else if (aName == "li")
            aRaw += "\n.IP \\(bu 2\n";
        else if (aName == "pre") {
            aRaw += "\n.PP\n.nf\n";
        } else if (aName == "/pre") {
            aRaw += "\n.fi\n";
        }
    }

    // Outside preformatted blocks: no leading blanks and no empty lines; a text line that
    // starts with a control character is protected.
    std::istringstream aLines(aRaw);
    std::string aLine, aResult, aPrevious;
    bool aNoFill = false;
    while (std::getline(aLines, aLine)) {
        if (aLine == ".nf")
            aNoFill = true;
        else if (aLine == ".fi")
            aNoFill = false;
        else if (!aNoFill) {
            aLine.erase(0, aLine.find_first_not_of(" \t"));
            if (aLine.empty() || (aLine == ".PP" && (aPrevious == ".PP" || aPrevious.empty())))
                continue;
        }
        bool aRequest = aLine == ".nf" || aLine == ".fi" || aLine == ".PP" ||
                        aLine.rfind(".SS ", 0) == 0 || aLine.rfind(".B ", 0) == 0 ||
                        aLine.rfind(".IP ", 0) == 0;
        if (!aRequest && !aLine.empty() && (aLine[0] == '.' || aLine[0] == '\''))
            aLine = "\\&" + aLine;
        if (aNoFill && aLine.empty())
            aLine = "\\&";
        // A paragraph break right before a list item or a heading adds nothing.
        if ((aLine.rfind(".IP ", 0) == 0 || aLine.rfind(".SS ", 0) == 0) && aPrevious == ".PP") {
            aResult.erase(aResult.size() - 4);
        }
        aResult += aLine + "\n";
        aPrevious = aLine;
    }
    return aResult;
}

void printManPage(std::ostream& theOut) {
    theOut << ".TH KIVO 1 \"\" \"kivo\" \"User Commands\"\n"
              ".SH NAME\n"
              "kivo \\- client for the repository of a database server\n"
              ".SH SYNOPSIS\n"
              ".B kivo\n"
              ".I ACTION\n"
              ".RI [ WHAT ]\n"
              ".RI [ OPTION ]...\n"
              ".SH DESCRIPTION\n"
              "kivo mirrors packages of the repository into a local directory, the workspace: "
              "packages become directories and objects become files.\n"
              "Edit the files with any tool; kivo brings repository versions into the "
              "workspace, shows local changes, writes them back and activates them.\n"
              ".PP\n"
              "All command-line parameters are case-insensitive.\n"
              "The same texts are shown by\n"
              ".BR \"kivo help\" .\n"
              ".SH ACTIONS\n";
    for (const CommandHelp& anEntry : helpregistry::commands())
        theOut << htmlToGroff(anEntry.toHtml());
    theOut << ".SH TOPICS\n";
    for (const AdditionalHelp& aTopic : helpregistry::topics())
        theOut << htmlToGroff(aTopic.toHtml());

    theOut << ".SH OPTIONS\n"
              "Options are written \\fB\\-\\-name\\fR or \\fB\\-\\-name=value\\fR, one-letter "
              "aliases \\fB\\-x\\fR.\n";
    std::ostringstream anEnvironment;
    for (const ParameterDefinition& aDefinition : parameterparser::definitions()) {
        std::string_view aName = aDefinition.itsParameter.name();
        if (aName == "action" || aName == "what" || aName == "helpWhat")
            continue;
        theOut << ".TP\n\\fB\\-\\-" << aName << "\\fR";
        for (std::string_view anAlias : aDefinition.itsAliases)
            theOut << ", \\fB" << (anAlias.size() == 1 ? "\\-" : "\\-\\-") << anAlias << "\\fR";
        theOut << "\n";
        if (aDefinition.itsVariable.empty())
            theOut << "See the actions that read it.\n";
        else {
            theOut << "Also set by the environment variable " << aDefinition.itsVariable << ".\n";
            anEnvironment << ".TP\n.B " << aDefinition.itsVariable << "\n"
                          << (aDefinition.itsEnvironmentKind == EnvironmentKind::flag
                                  ? "The value 1 sets "
                                  : "A non-empty value sets ")
                          << "\\fB\\-\\-" << aName
                          << "\\fR when the command line leaves it open.\n";
        }
    }
    theOut << ".SH ENVIRONMENT\n"
           << anEnvironment.str()
           << ".TP\n.B KIVO_ADVANCED\n"
              "The value yes selects advanced mode.\n"
              ".TP\n.B KIVO_ROOT\n"
              "The directory that relative workspace paths are taken from.\n"
              ".TP\n.B KIVO_ARGS\n"
              "1 echoes the command line and the parameters; 2 only echoes them.\n"
              ".TP\n.B BROWSER\n"
              "The web browser for \\fBkivo help \\-\\-browse\\fR; without it xdg\\-open.\n"
              ".SH FILES\n"
              ".TP\n.I ._SYS_KIVO_settings\n"
              "The settings folder of a workspace, with the lock file, the metadata and "
              "conflict copies and the logs.\n"
              ".TP\n.I .kivoignore\n"
              "Files to leave out of the status calculation.\n"
              ".SH EXIT STATUS\n"
              "0 on success, 1 after any reported failure.\n";
}

// The keywords that may follow the action word in the syntaxes of one entry.
void addWhats(const CommandSyntaxEntry& theEntry, std::vector<std::string>& theWhats) {
    for (const CommandSyntax& aSyntax : theEntry.itsSyntaxes) {
        const auto& aTokens = aSyntax.tokens();
        if (aTokens.size() < 2 || aTokens[1].itsPlaceholder)
            continue;
        for (const std::string& anAlternative : aTokens[1].itsAlternatives)
            if (std::find(theWhats.begin(), theWhats.end(), anAlternative) == theWhats.end())
                theWhats.push_back(anAlternative);
    }
}

std::string joined(const std::vector<std::string>& theWords) {
    std::string aResult;
    for (const std::string& aWord : theWords)
        aResult += (aResult.empty() ? "" : " ") + aWord;
    return aResult;
}

void printCompletion(std::ostream& theOut) {
    const std::vector<CommandSyntaxEntry>& aTable = helpregistry::syntaxTable();
    std::vector<std::string> anActions;
    for (const CommandSyntaxEntry& anEntry : aTable) {
        std::string anAction = textcase::lower(anEntry.itsAction);
        if (std::find(anActions.begin(), anActions.end(), anAction) == anActions.end())
            anActions.push_back(anAction);
    }
    std::vector<std::string> aTopics;
    for (const AdditionalHelp& aTopic : helpregistry::topics())
        aTopics.push_back(aTopic.getTitle());
    std::vector<std::string> anOptions;
    for (const ParameterDefinition& aDefinition : parameterparser::definitions()) {
        std::string_view aName = aDefinition.itsParameter.name();
        if (aName == "action" || aName == "what" || aName == "helpWhat")
            continue;
        anOptions.push_back("--" + std::string(aName));
        for (std::string_view anAlias : aDefinition.itsAliases)
            anOptions.push_back((anAlias.size() == 1 ? "-" : "--") + std::string(anAlias));
    }

    theOut << "# bash completion for kivo: actions, WHAT words and option names.\n"
              "# Generated from kivo's own syntax and parameter tables; do not edit.\n\n"
           << "_kivo_actions=\"" << joined(anActions) << "\"\n"
           << "_kivo_topics=\"" << joined(aTopics) << "\"\n"
           << "_kivo_options=\"" << joined(anOptions) << "\"\n\n"
           << "# The WHAT words of an action (any case).\n"
              "_kivo_whats() {\n"
              "    case \"${1,,}\" in\n";
    for (const std::string& anAction : anActions) {
        std::vector<std::string> aWhats;
        for (const CommandSyntaxEntry& anEntry : aTable)
            if (textcase::lower(anEntry.itsAction) == anAction)
                addWhats(anEntry, aWhats);
        if (anAction == "help")
            theOut << "    help) echo \"$_kivo_actions $_kivo_topics\" ;;\n";
        else if (!aWhats.empty())
            theOut << "    " << anAction << ") echo \"" << joined(aWhats) << "\" ;;\n";
    }
    theOut << "    esac\n"
              "}\n\n"
              "_kivo() {\n"
              "    local aCurrent=\"${COMP_WORDS[COMP_CWORD]}\" aCandidates=\"\" aWord\n"
              "    local -a aPositional=()\n"
              "    local i\n"
              "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
              "        [[ ${COMP_WORDS[i]} == -* ]] || aPositional+=(\"${COMP_WORDS[i]}\")\n"
              "    done\n"
              "    if [[ $aCurrent == -* ]]; then\n"
              "        aCandidates=$_kivo_options\n"
              "    elif ((${#aPositional[@]} == 0)); then\n"
              "        aCandidates=$_kivo_actions\n"
              "    elif ((${#aPositional[@]} == 1)); then\n"
              "        aCandidates=$(_kivo_whats \"${aPositional[0]}\")\n"
              "    elif ((${#aPositional[@]} == 2)) && [[ ${aPositional[0],,} == help ]]; then\n"
              "        aCandidates=$(_kivo_whats \"${aPositional[1]}\")\n"
              "    fi\n"
              "    COMPREPLY=()\n"
              "    for aWord in $aCandidates; do\n"
              "        [[ ${aWord,,} == \"${aCurrent,,}\"* ]] && COMPREPLY+=(\"$aWord\")\n"
              "    done\n"
              "    return 0\n"
              "}\n\n"
              "complete -o default -F _kivo kivo\n";
}

} // namespace

int main(int theArgc, char** theArgv) {
    std::string aWhat = theArgc > 1 ? theArgv[1] : "";
    try {
        if (aWhat == "man")
            printManPage(std::cout);
        else if (aWhat == "completion")
            printCompletion(std::cout);
        else {
            std::cerr << "usage: gendocs man|completion\n";
            return 2;
        }
    } catch (const Error& anError) {
        std::cerr << "gendocs: " << anError.what() << "\n";
        return 1;
    }
    return std::cout.good() ? 0 : 1;
}
