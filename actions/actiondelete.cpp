#include "actions/actiondelete.hpp"

#include "actions/adminoptions.hpp"
#include "actions/changeactions.hpp"
#include "actions/deliveryunitactions.hpp"
#include "actions/packageactions.hpp"
#include "core/console.hpp"
#include "core/error.hpp"
#include "core/runstatistics.hpp"
#include "core/textcase.hpp"
#include "repository/connection.hpp"
#include "repository/repofunbase.hpp"
#include "repository/repofunchangetracking.hpp"

namespace RepositoryAccess {

namespace {

// The repository sends the default workspace as the empty name; users give it as "__empty__".
constexpr const char* kEmptyWorkSpace = "__empty__";

void deleteWorkSpace(const std::string& theUser, const std::string& theName) {
    const std::string aName = theName.empty() ? kEmptyWorkSpace : theName;
    repofunbase::deleteInactiveWorkSpace(theUser, aName);
    runstatistics::add(Statistic::deletedInactiveWorkSpaces);
    console::progress("Deleted inactive workspace: \"" + aName + "\" of user \"" + theUser + "\"");
}

} // namespace

void actionDelete::checkArguments() const {
    adminoptions::requireWhat();
}

void actionDelete::execute() {
    const auto aDeletePackages = [this] { packageactions::deletePackages(context()); };
    adminoptions::runByWhat({{"package", aDeletePackages},
                             {"packages", aDeletePackages},
                             {"deliveryUnit", deliveryunitactions::deleteDeliveryUnits},
                             {"change", [this] { deleteChanges(); }},
                             {"contributor", [this] { deleteContributors(); }},
                             {"inactiveWorkSpace", [this] { deleteInactiveWorkSpaces(false); }},
                             {"allInactiveWorkSpaces", [this] { deleteInactiveWorkSpaces(true); }}},
                            "Deleting");
}

void actionDelete::deleteChanges() {
    changeactions::forEachValue(params::changeId, [](const std::string& theId) {
        repofunchangetracking::deleteChange(theId);
        runstatistics::add(Statistic::deletedChanges);
        console::progress("Deleted change: \"" + theId + "\"");
    });
}

void actionDelete::deleteContributors() {
    const std::string anId = changeactions::requiredChangeId();
    changeactions::forEachValue(params::contributor, [&](const std::string& theName) {
        repofunchangetracking::removeContributor(anId, theName);
        runstatistics::add(Statistic::deletedContributors);
        console::progress("Deleted contributor: \"" + theName + "\" from change \"" + anId + "\"");
    });
}

void actionDelete::deleteInactiveWorkSpaces(bool theAll) {
    std::vector<std::string> aUsers = parameters().getValues(params::inactiveWorkSpaceUser);
    if (aUsers.empty())
        aUsers.push_back(context().connection().getUserName());
    for (const std::string& aUser : aUsers) {
        if (!theAll) {
            changeactions::forEachValue(params::inactiveWorkSpace, [&](const std::string& theName) {
                deleteWorkSpace(aUser, theName);
            });
            continue;
        }
        for (const InactiveWorkSpace& aWorkSpace :
             repofunbase::listInactiveWorkSpaces(repofunbase::defaultInactiveSession(), aUser))
            deleteWorkSpace(aUser, aWorkSpace.itsWorkSpace);
    }
}

} // namespace RepositoryAccess
