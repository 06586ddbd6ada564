#include "actions/actionhelp.hpp"

#include "actions/helpselection.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "workspace/sys.hpp"

namespace RepositoryAccess {

void actionHelp::execute() {
    // The dispatcher also shows the help for actions it does not know; their words are no help
    // request, so those runs get the overview.
    std::string anAction = getValue(params::action);
    bool aRequested = anAction.empty() || textcase::equalsIgnoringCase(anAction, "help");
    std::string aWhat = aRequested ? getValue(params::what) : "";
    std::string aHelpWhat = aRequested ? getValue(params::helpWhat) : "";

    bool anAllTexts = isSet(params::html) || isSet(params::txt);
    bool aSearch = isSet(params::search);
    HelpSelection aSelection = aSearch ? helpselection::search(aWhat, aHelpWhat, anAllTexts)
                                       : helpselection::select(aWhat, aHelpWhat, anAllTexts);

    if (isSet(params::browse)) {
        std::string aPath = sys::tempFileName("kivohelp", "html", aSearch);
        // Created afresh: never written through whatever has that name already.
        sys::deleteFile(aPath);
        if (!sys::createExclusive(aPath, helpselection::pageFrame(helpselection::completeHelp())))
            throw Error("Could not create the help page \"" + aPath + "\": it exists already.");
        std::string anUrl = "file://" + aPath;
        if (!aSelection.itsAnchor.empty())
            anUrl += "#" + aSelection.itsAnchor;
        sys::displayURL(anUrl);
    } else if (isSet(params::html))
        console::say(helpselection::pageFrame(aSelection.itsHtml));
    else
        console::say(helpselection::htmlToText(aSelection.itsHtml));
}

} // namespace RepositoryAccess
