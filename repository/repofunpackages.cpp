#include "repository/repofunpackages.hpp"

#include "repository/recordvalues.hpp"
#include "repository/resppackages.hpp"

namespace RepositoryAccess::repofunpackages {

using repofunbase::judge;
using repofunbase::send;
using repofunbase::sendTogether;

void createPackage(const PackageAttributes& theAttributes, bool theInherit) {
    auto aResponse = send<CreatePackageResponse>(CreatePackageRequest(theAttributes, theInherit));
    judge(aResponse, "Failed to create package " + theAttributes.itsPackage);
}

void createPackage(const std::string& thePackage, bool theInherit) {
    createPackages({thePackage}, theInherit);
}

void createPackages(const std::vector<std::string>& thePackages, bool theInherit) {
    std::vector<CreatePackageRequest> aRequests;
    for (const std::string& aPackage : thePackages) {
        PackageAttributes anAttributes;
        anAttributes.itsPackage = aPackage;
        aRequests.emplace_back(anAttributes, theInherit);
    }
    std::size_t anIndex = 0;
    for (RepositoryMessage& anAnswer : sendTogether(aRequests)) {
        CreatePackageResponse aResponse(std::move(anAnswer));
        judge(aResponse, "Failed to create package " + thePackages[anIndex++]);
    }
}

void deletePackage(const std::string& thePackage, bool theIgnoreInactiveObjects,
                   bool theRecursively) {
    auto aResponse = send<DeletePackageResponse>(
        DeletePackageRequest(thePackage, theIgnoreInactiveObjects, theRecursively));
    judge(aResponse, "Failed to delete package (");
}

bool existsPackage(const std::string& thePackage) {
    return existPackages({thePackage}).front();
}

std::vector<bool> existPackages(const std::vector<std::string>& thePackages) {
    std::vector<ExistsPackageRequest> aRequests;
    for (const std::string& aPackage : thePackages)
        aRequests.emplace_back(aPackage);
    std::vector<bool> anExists;
    std::size_t anIndex = 0;
    for (RepositoryMessage& anAnswer : sendTogether(aRequests)) {
        ExistsPackageResponse aResponse(std::move(anAnswer));
        judge(aResponse,
              "Failed to check whether package \"" + thePackages[anIndex++] + "\" exists (");
        anExists.push_back(aResponse.exists());
    }
    return anExists;
}

std::vector<Package> listPackages(const PackageAttributes& theFilter) {
    auto aResponse = send<ListPackagesResponse>(ListPackagesRequest(theFilter));
    judge(aResponse, "Failed to list packages with name \"" + theFilter.itsPackage + "\" (");
    return aResponse.getPackages();
}

std::vector<Package> listPackages(const std::string& thePackage) {
    PackageAttributes aFilter;
    aFilter.itsPackage = thePackage;
    return listPackages(aFilter);
}

std::vector<Package> listRootPackages() {
    auto aResponse = send<ListRootPackagesResponse>(ListRootPackagesRequest());
    judge(aResponse, "Failed to list root packages (");
    return aResponse.getPackages();
}

Package readPackage(const std::string& thePackage) {
    auto aResponse = send<ReadPackageResponse>(ReadPackageRequest(thePackage));
    judge(aResponse, "Failed to read package \"" + thePackage + "\" (");
    return aResponse.getPackage();
}

void updatePackage(const PackageAttributes& theAttributes) {
    const Package aCurrent = readPackage(theAttributes.itsPackage);
    const auto aKeep = repofunbase::unsetToCurrent;
    const PackageAttributes& aNew = theAttributes;
    PackageAttributes anUpdate;
    for (const RecordField& aField : packageFields()) {
        recordvalues::value(anUpdate, aField.itsKey) =
            aKeep(std::string(recordvalues::value(aNew, aField.itsKey)),
                  std::string(recordvalues::value(aCurrent, aField.itsKey)));
    }
    auto aResponse = send<UpdatePackageResponse>(UpdatePackageRequest(std::move(anUpdate)));
    judge(aResponse, "Failed to update package \"" + theAttributes.itsPackage + "\" (");
}

} // namespace RepositoryAccess::repofunpackages
