#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "repository/connection.hpp"
#include "repository/reporesponse.hpp"
#include "repository/reposession.hpp"
#include "repository/resprecords.hpp"

// The repository function layer's shared steps (send a request, judge the answer's error code,
// build the failure message) and the functions about the repository itself: schema version,
// export versions, inactive workspaces and content vendor.
namespace RepositoryAccess {

// The error triple of an answer, for the functions that leave its judgement to their caller.
struct RepositoryErrorTriple {
    std::string itsCode;
    std::string itsMessage;
    std::string itsArgument;
};

// The range of archive versions the repository can export ("n/a" for an unknown maximum).
struct ExportVersions {
    std::string itsMinRequiredVersion;
    std::string itsMaxVersion;
};

namespace repofunbase {

// The error codes a function accepts as success; compared with the whole code text.
using AcceptedCodes = std::initializer_list<std::string_view>;

// The text an action passes for a field that an update keeps at its current value.
inline constexpr std::string_view kUnset = "__unset__";

// Sends theRequest through the open connection (opening it if needed) and wraps the answer in
// the response class TResponse.
template <class TResponse> TResponse send(const RepositoryRequest& theRequest) {
    return TResponse(connection::open().callRepo(theRequest));
}

// Sends theRequests together and returns their answers, in their order, for the response
// classes to wrap: a server answers them in one round trip. A run that shows its requests or
// answers, or simulates its writes, sends them one at a time (connection::callsTogether), as
// a single request goes. No request, no call.
std::vector<RepositoryMessage>
sendTogether(const std::vector<const RepositoryRequest*>& theRequests);
template <class TRequest>
std::vector<RepositoryMessage> sendTogether(const std::vector<TRequest>& theRequests) {
    std::vector<const RepositoryRequest*> aRequests;
    aRequests.reserve(theRequests.size());
    for (const TRequest& aRequest : theRequests)
        aRequests.push_back(&aRequest);
    return sendTogether(aRequests);
}

// True when theCode equals one of theAccepted exactly ("00" and "0 " are not "0").
bool isAccepted(std::string_view theCode, AcceptedCodes theAccepted);

// The failure message of an answer: thePrefix, " (" unless thePrefix ends with "(", then
// code + "): " + message + ": " + argument.
std::string failureMessage(std::string_view thePrefix, const RepositoryErrorTriple& theTriple);

// The error triple of a response.
RepositoryErrorTriple tripleOf(const RepositoryResponse& theResponse);

// Throws the failure message of theResponse unless its error code is one of theAccepted.
void judge(const RepositoryResponse& theResponse, std::string_view thePrefix,
           AcceptedCodes theAccepted = {"0"});

// The inactive session of the connected user in the open workspace's repository workspace (the
// default, empty one when no workspace is open).
RepositorySession defaultInactiveSession();

// theValue, or theCurrent when theValue is the text "__unset__".
std::string unsetToCurrent(const std::string& theValue, const std::string& theCurrent);

// The version of the repository's database schema.
std::int64_t getDBSchemaVersion();

// The archive versions the repository can export.
ExportVersions getSupportedExportVersions();

// The inactive workspaces of theUser ("*" for all users, empty for the connected user).
std::vector<InactiveWorkSpace> listInactiveWorkSpaces(const RepositorySession& theSession,
                                                      const std::string& theUser);

// Deletes theUser's inactive workspace theWorkSpace with all its inactive versions.
void deleteInactiveWorkSpace(const std::string& theUser, const std::string& theWorkSpace);

// The vendor new content is created for; the answer's error code is not judged.
std::string getContentVendor();

} // namespace repofunbase
} // namespace RepositoryAccess
