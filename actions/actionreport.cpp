#include "actions/actionreport.hpp"

#include <ostream>

#include "core/console.hpp"
#include "core/parameters.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess {

namespace {

// A delivery-unit name may hold any character; in a file name it must not climb out.
std::string safeFileName(std::string_view theName) {
    std::string aName(theName);
    for (char& aChar : aName)
        if (aChar == '/' || aChar == '\\' || aChar == '\0')
            aChar = '_';
    return aName;
}

} // namespace

void ActionReport::say(std::string_view theText) {
    console::say(theText);
    itsLog << theText;
}

void ActionReport::detail(std::string_view theText) {
    if (isSet(params::verbose))
        console::out() << theText;
    console::traceOnly(theText);
    itsLog << theText;
}

void ActionReport::error(std::string_view theText) {
    console::err() << theText << std::flush;
    console::traceOnly(theText);
    itsLog << theText;
}

void ActionReport::writeLogFile(std::string_view theBaseName, std::string_view theTitle) {
    if (!isSet(params::log))
        return;
    const std::string aBase = safeFileName(theBaseName) + "_" + std::to_string(sys::getTickCount());
    std::string aFileName = workspace::get()->logFileName(aBase, "log");
    for (int aNumber = 2; sys::fileExists(aFileName); ++aNumber)
        aFileName = workspace::get()->logFileName(aBase + "_" + std::to_string(aNumber), "log");
    sys::writeFile(aFileName, itsLog.str());
    console::sayLine(std::string(theTitle) + " log file: \"" + aFileName + "\"");
}

} // namespace RepositoryAccess
