#include "actions/readonlyview.hpp"

#include <string>

#include "core/parameters.hpp"
#include "core/textcase.hpp"

namespace RepositoryAccess::readonlyview {

void run(std::span<const Step> theSteps) {
    const std::string aWhat = getValue(params::what);
    for (const Step& aStep : theSteps) {
        if (textcase::equalsIgnoringCase(aWhat, aStep.itsWhat)) {
            aStep.itsRun();
            return;
        }
    }
}

} // namespace RepositoryAccess::readonlyview
