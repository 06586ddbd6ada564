#include "repository/repofunbase.hpp"

#include <algorithm>

#include "core/error.hpp"
#include "repository/reqbase.hpp"
#include "repository/respbase.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess::repofunbase {

bool isAccepted(std::string_view theCode, AcceptedCodes theAccepted) {
    return std::find(theAccepted.begin(), theAccepted.end(), theCode) != theAccepted.end();
}

std::vector<RepositoryMessage>
sendTogether(const std::vector<const RepositoryRequest*>& theRequests) {
    if (theRequests.empty())
        return {};
    Connection& aConnection = connection::open();
    if (theRequests.size() == 1 ||
        connection::callsTogether(theRequests.size()) < theRequests.size()) {
        std::vector<RepositoryMessage> anAnswers;
        for (const RepositoryRequest* aRequest : theRequests)
            anAnswers.push_back(aConnection.callRepo(*aRequest));
        return anAnswers;
    }
    std::vector<Connection::PreparedCall> aCalls;
    aCalls.reserve(theRequests.size());
    for (const RepositoryRequest* aRequest : theRequests)
        aCalls.push_back(aConnection.prepareCall(*aRequest));
    return aConnection.callAll(std::move(aCalls));
}

std::string failureMessage(std::string_view thePrefix, const RepositoryErrorTriple& theTriple) {
    std::string aMessage(thePrefix);
    if (!thePrefix.ends_with('('))
        aMessage += " (";
    aMessage += theTriple.itsCode;
    aMessage += "): ";
    aMessage += theTriple.itsMessage;
    aMessage += ": ";
    aMessage += theTriple.itsArgument;
    return aMessage;
}

RepositoryErrorTriple tripleOf(const RepositoryResponse& theResponse) {
    return {theResponse.getErrorCode(), theResponse.getErrorMsg(), theResponse.getErrorArg()};
}

void judge(const RepositoryResponse& theResponse, std::string_view thePrefix,
           AcceptedCodes theAccepted) {
    if (!isAccepted(theResponse.getErrorCode(), theAccepted))
        throw Error(failureMessage(thePrefix, tripleOf(theResponse)));
}

RepositorySession defaultInactiveSession() {
    std::string aWorkSpace = workspace::isOpen() ? workspace::config().name() : std::string();
    return RepositorySession::inactive(connection::open().getUserName(), std::move(aWorkSpace));
}

std::string unsetToCurrent(const std::string& theValue, const std::string& theCurrent) {
    return theValue == kUnset ? theCurrent : theValue;
}

std::int64_t getDBSchemaVersion() {
    Connection& aConnection = connection::open();
    if (const std::optional<std::int64_t> aKnown = aConnection.knownSchemaVersion())
        return *aKnown;
    auto aResponse = send<GetDBSchemaVersionResponse>(GetDBSchemaVersionRequest());
    judge(aResponse, "Failed to get DB schema version (");
    aConnection.rememberSchemaVersion(aResponse.getVersion());
    return aResponse.getVersion();
}

ExportVersions getSupportedExportVersions() {
    auto aResponse = send<GetSupportedExportVersionsResponse>(GetSupportedExportVersionsRequest());
    judge(aResponse, "Failed to get supported export versions (");
    return {aResponse.getMinRequiredVersion(), aResponse.getMaxVersion()};
}

std::vector<InactiveWorkSpace> listInactiveWorkSpaces(const RepositorySession& theSession,
                                                      const std::string& theUser) {
    auto aResponse =
        send<ListInactiveWorkSpacesResponse>(ListInactiveWorkSpacesRequest(theSession, theUser));
    judge(aResponse, "Failed to list inactive workspaces (");
    return aResponse.getWorkSpaces();
}

void deleteInactiveWorkSpace(const std::string& theUser, const std::string& theWorkSpace) {
    auto aResponse = send<DeleteInactiveWorkSpaceResponse>(
        DeleteInactiveWorkSpaceRequest(defaultInactiveSession(), theUser, theWorkSpace));
    judge(aResponse, "Failed to delete inactive workspace " + theWorkSpace + "(");
}

std::string getContentVendor() {
    auto aResponse = send<GetContentVendorResponse>(GetContentVendorRequest());
    return aResponse.getContentVendor();
}

} // namespace RepositoryAccess::repofunbase
