#pragma once

#include <string>
#include <string_view>

namespace RepositoryAccess {

// What the help shows: an HTML body and the anchor of the entry the browser is sent to.
struct HelpSelection {
    std::string itsHtml;
    std::string itsAnchor;
};

namespace helpselection {

// The page frame around a body, with the title "Kivo help", through the list filter of HTML
// pages (utils::dropListNumbers).
std::string pageFrame(std::string_view theBody);

// Plain text of an HTML text: every character from "<" up to and including the next ">" is
// dropped; entities stay as they are.
std::string htmlToText(std::string_view theHtml);

// The help for `kivo help [WHAT] [HELPWHAT]`: the overview without theWhat, else the topic named
// theWhat, else the action entries of action theWhat (with WHAT theHelpWhat when given). With
// theAllTexts every match follows a "---" paragraph; otherwise one match gives its text and
// several give a list of calls. Throws "No help found." when nothing matches.
HelpSelection select(std::string_view theWhat, std::string_view theHelpWhat, bool theAllTexts);

// The help texts (topics first, then action entries) whose plain text contains every non-empty
// term, without regard to case. Shown like select(); throws "No help found." without a match.
HelpSelection search(std::string_view theFirstTerm, std::string_view theSecondTerm,
                     bool theAllTexts);

// The whole help in one body: the overview, then every topic and every action entry.
std::string completeHelp();

} // namespace helpselection
} // namespace RepositoryAccess
