#include "dbclient/dbclient.hpp"

#include "dbclient/hostconnection.hpp"

#include <algorithm>

namespace RepositoryAccess::dbclient {

void ConnectProperties::setProperty(const std::string& theKey, const std::string& theValue) {
    for (auto& [aKey, aValue] : itsProperties)
        if (aKey == theKey) {
            aValue = theValue;
            return;
        }
    itsProperties.emplace_back(theKey, theValue);
}

const std::string* ConnectProperties::getProperty(const std::string& theKey) const {
    for (const auto& [aKey, aValue] : itsProperties)
        if (aKey == theKey)
            return &aValue;
    return nullptr;
}

Environment::Environment() = default;
Environment::~Environment() = default;

Connection* Environment::createConnection() {
    // The backend is picked by the host when the connection connects.
    itsConnections.push_back(std::make_unique<HostConnection>());
    return itsConnections.back().get();
}

void Environment::releaseConnection(Connection* theConnection) {
    auto anIt = std::find_if(itsConnections.begin(), itsConnections.end(),
                             [&](const auto& theOwned) { return theOwned.get() == theConnection; });
    if (anIt == itsConnections.end())
        return;
    (*anIt)->close();
    itsConnections.erase(anIt);
}

Runtime* Runtime::getRuntime(char* theErrorText, std::size_t theErrorTextSize) {
    static Runtime aRuntime;
    if (theErrorText != nullptr && theErrorTextSize > 0)
        theErrorText[0] = '\0';
    return &aRuntime;
}

std::unique_ptr<Environment> Runtime::createEnvironment() {
    return std::make_unique<Environment>();
}

} // namespace RepositoryAccess::dbclient
