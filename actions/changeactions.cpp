#include "actions/changeactions.hpp"

#include "core/error.hpp"

namespace RepositoryAccess::changeactions {

void forEachValue(const Parameter& theParameter,
                  const std::function<void(const std::string&)>& theStep) {
    for (const std::string& aValue : parameters().getValues(theParameter))
        theStep(aValue);
}

std::string requiredChangeId() {
    std::string anId = getValue(params::changeId);
    if (anId.empty())
        throw Error("kivo: Insufficient commandline arguments. See \"kivo help\".");
    return anId;
}

} // namespace RepositoryAccess::changeactions
