#include "server/authority.hpp"

#include "core/textcase.hpp"

#include <algorithm>

namespace RepositoryAccess::server::authority {

namespace {

EngineError refusal(const Operation& theOperation, const std::string& theDeed,
                    const std::string& theWho) {
    return {code::kNotAuthorized, "Not authorized",
            "User " + theOperation.itsUser + " may not " + theDeed + ": only " + theWho + " may"};
}

std::string changeName(const ChangeRecord& theChange) {
    return "change \"" + theChange.itsId + "\"";
}

} // namespace

bool isAdministrator(RepositoryStore& theStore, const std::string& theUser) {
    const std::vector<std::string> anAdministrators = theStore.listAdministrators();
    return anAdministrators.empty() || std::find(anAdministrators.begin(), anAdministrators.end(),
                                                 theUser) != anAdministrators.end();
}

void requireAdministrator(const Operation& theOperation, const std::string& theDeed) {
    if (!isAdministrator(theOperation.itsStore, theOperation.itsUser))
        throw refusal(theOperation, theDeed, "an administrator");
}

void requireChangeOwner(const Operation& theOperation, const ChangeRecord& theChange,
                        const std::string& theDeed) {
    if (theChange.itsCreatedBy == theOperation.itsUser ||
        isAdministrator(theOperation.itsStore, theOperation.itsUser))
        return;
    throw refusal(theOperation, theDeed + " " + changeName(theChange),
                  "its creator " + theChange.itsCreatedBy + " or an administrator");
}

void requireOwnContribution(const Operation& theOperation, const ChangeRecord& theChange,
                            const std::string& theContributor, const std::string& theDeed) {
    if (textcase::upper(theContributor) == theOperation.itsUser)
        return;
    throw refusal(theOperation,
                  theDeed + " the contribution of user " + theContributor + " to " +
                      changeName(theChange),
                  "that contributor");
}

} // namespace RepositoryAccess::server::authority
