#include "bench/teamload.hpp"

#include <algorithm>
#include <cstdio>

#include "core/parameters.hpp"

namespace RepositoryAccess::teamload {

const char* operationName(Operation theOperation) {
    switch (theOperation) {
    case Operation::push:
        return "push";
    case Operation::checkout:
        return "checkout";
    case Operation::activate:
        return "activate";
    }
    return "unknown";
}

std::string userOf(const LoadOptions& theOptions, int theClient) {
    return theOptions.itsUserPrefix + std::to_string(theClient % theOptions.itsUsers + 1);
}

std::string objectName(int theIndex) {
    char aName[16];
    std::snprintf(aName, sizeof aName, "obj%02d", theIndex);
    return aName;
}

std::string contentOf(std::string_view theTag, std::string_view theObject, std::size_t theSize) {
    std::string aContent;
    aContent.reserve(theSize + 64);
    aContent.append(theTag).append(" ").append(theObject).append("\n");
    for (int aLine = 1; aContent.size() < theSize; ++aLine)
        aContent.append("line ")
            .append(std::to_string(aLine))
            .append(" of ")
            .append(theTag)
            .append("\n");
    aContent.resize(std::max(theSize, aContent.find('\n') + 1));
    return aContent;
}

std::string tagOf(std::string_view theContent) {
    return std::string(theContent.substr(0, theContent.find_first_of(" \n")));
}

void installConnectParameters(const LoadOptions& theOptions, const std::string& theUser,
                              const std::string& theWorkSpace) {
    ParameterValues aValues;
    aValues.setValue(params::hostName, theOptions.itsHost);
    aValues.setValue(params::userName, theUser);
    aValues.setValue(params::passWord, theOptions.itsPassword);
    if (!theOptions.itsDatabase.empty())
        aValues.setValue(params::database, theOptions.itsDatabase);
    if (!theWorkSpace.empty())
        aValues.setValue(params::workSpace, theWorkSpace);
    installParameters(std::move(aValues));
}

} // namespace RepositoryAccess::teamload
