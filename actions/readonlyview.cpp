#include "actions/readonlyview.hpp"

#include <string>

#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess::readonlyview {

void run(std::span<const Step> theSteps) {
    const std::string aWhat = getValue(params::what);
    if (aWhat.empty())
        throw Error("kivo: Insufficient commandline arguments. See \"kivo help\".");
    workspace::open(false);
    for (const Step& aStep : theSteps) {
        if (textcase::equalsIgnoringCase(aWhat, aStep.itsWhat)) {
            aStep.itsRun();
            return;
        }
    }
}

} // namespace RepositoryAccess::readonlyview
