#include "actions/pushresolution.hpp"

#include <string>

#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"

namespace RepositoryAccess::pushresolution {

bool resolvesConflicts() {
    if (!textcase::equalsIgnoringCase(getValue(params::action), "push"))
        return false;
    return !getValue(params::with).empty() || isSet(params::local) || isSet(params::base) ||
           isSet(params::remote) || isSet(params::mergeTool);
}

std::string conflictMessage(std::string_view theAction, std::string_view theParticiple) {
    return std::string(theAction) + " failed. At least one of the files to be " +
           std::string(theParticiple) + " is conflicted.\n\n" + std::string(kResolutionCalls);
}

bool leaveConflictsToPush(bool theHasConflicts, std::string_view theAction,
                          std::string_view theParticiple) {
    if (!theHasConflicts)
        return false;
    if (resolvesConflicts())
        return true;
    throw Error(conflictMessage(theAction, theParticiple));
}

} // namespace RepositoryAccess::pushresolution
