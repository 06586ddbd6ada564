#include "actions/packageactions.hpp"

#include <algorithm>

#include "actions/adminoptions.hpp"
#include "core/console.hpp"
#include "core/parameters.hpp"
#include "core/runstatistics.hpp"
#include "repository/repofunpackages.hpp"
#include "workspace/status.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"

namespace RepositoryAccess::packageactions {

namespace {

// The first repository API version that deletes a package tree by itself.
constexpr std::int64_t kRecursiveDeleteApiVersion = 16;

std::string packageDirectory(const std::string& thePackage) {
    return sys::joinFileName(workspace::get()->srcDirName(),
                             workspace::packageToDirectory(thePackage));
}

// The package above thePackage: the name before its last unquoted dot; empty for a root package.
std::string parentPackage(const std::string& thePackage) {
    std::size_t aLastDot = std::string::npos;
    bool aQuoted = false;
    for (std::size_t anIndex = 0; anIndex < thePackage.size(); ++anIndex) {
        if (thePackage[anIndex] == '"')
            aQuoted = !aQuoted;
        else if (thePackage[anIndex] == '.' && !aQuoted)
            aLastDot = anIndex;
    }
    return aLastDot == std::string::npos ? std::string() : thePackage.substr(0, aLastDot);
}

// Creates one package and names it with --verbose; only the packages the user named are counted,
// not the missing ancestors made on the way.
void createOne(const std::string& thePackage, const PackageAttributes& theAttributes,
               bool theInherit, bool theCounted) {
    repofunpackages::createPackage(theAttributes, theInherit);
    if (theCounted)
        runstatistics::add(Statistic::createdPackages);
    console::progress("Created package: \"" + thePackage + "\"");
}

void addNames(const std::vector<Package>& thePackages, std::vector<std::string>& theNames) {
    for (const Package& aPackage : thePackages)
        if (std::find(theNames.begin(), theNames.end(), aPackage.itsPackage) == theNames.end())
            theNames.push_back(aPackage.itsPackage);
}

// The sub packages of thePackage at any depth.
std::vector<Package> subPackages(const std::string& thePackage) {
    return repofunpackages::listPackages(thePackage + ".*");
}

// The packages to delete: the existing arguments, with theWithSubPackages their sub packages
// too; a sub package always comes before its parent (its name is longer).
std::vector<std::string> packagesToDelete(bool theWithSubPackages) {
    std::vector<std::string> aNames;
    for (const std::string& aPackage : adminoptions::packageArguments()) {
        addNames(repofunpackages::listPackages(aPackage), aNames);
        if (theWithSubPackages)
            addNames(subPackages(aPackage), aNames);
    }
    std::stable_sort(aNames.begin(), aNames.end(),
                     [](const std::string& theLeft, const std::string& theRight) {
                         return theLeft.size() > theRight.size();
                     });
    return aNames;
}

// Removes a directory of a deleted package. With theWithFiles the files directly in it go first
// (the push before has deleted their objects); otherwise a directory that still holds a file
// stays, so that no local work is lost. A directory with sub directories always stays.
void removeDirectory(const std::string& theDirectory, bool theWithFiles) {
    if (!sys::dirExists(theDirectory))
        return;
    const sys::DirListing aListing = sys::listDir(theDirectory);
    if (!aListing.itsDirs.empty() || (!theWithFiles && !aListing.itsFiles.empty()))
        return;
    for (const std::string& aFile : aListing.itsFiles)
        sys::deleteFile(aFile);
    sys::deleteDirectory(theDirectory);
}

// Removes the package's directory from the workspace and from the metadata and conflict copies
// of the settings folder.
void removePackageDirectories(const std::string& thePackage, bool theWithFiles) {
    const auto& aWorkSpace = *workspace::get();
    const std::string aRelative = workspace::packageToDirectory(thePackage);
    for (const std::string* aRoot : {&aWorkSpace.srcDirName(), &aWorkSpace.metaDataDirName(),
                                     &aWorkSpace.diffDirName(), &aWorkSpace.baseDirName()})
        removeDirectory(sys::joinFileName(*aRoot, aRelative), theWithFiles);
}

// Creates the missing ancestors of thePackage, top-down, so that each inherits from its own
// parent.
void createAncestors(const std::string& thePackage, bool theInherit) {
    std::vector<std::string> aMissing;
    for (std::string aParent = parentPackage(thePackage); !aParent.empty();
         aParent = parentPackage(aParent)) {
        if (repofunpackages::existsPackage(aParent))
            break;
        aMissing.push_back(aParent);
    }
    for (auto anAncestor = aMissing.rbegin(); anAncestor != aMissing.rend(); ++anAncestor) {
        PackageAttributes anAttributes;
        anAttributes.itsPackage = *anAncestor;
        createOne(*anAncestor, anAttributes, theInherit, false);
    }
}

} // namespace

void createPackages(bool theInWorkSpace) {
    const bool anInherit = !isSet(params::noInherit);
    const std::vector<std::string> aPackages = adminoptions::packageArguments();
    for (const std::string& aPackage : aPackages) {
        createAncestors(aPackage, anInherit);
        createOne(aPackage, adminoptions::packageAttributes(aPackage, adminoptions::Missing::empty),
                  anInherit, true);
    }
    if (!theInWorkSpace)
        return;
    for (const std::string& aPackage : aPackages)
        runstatistics::add(Statistic::createdDirectories,
                           sys::createDirectories(packageDirectory(aPackage) + "/"));
}

void deletePackages(ActionContext& theContext) {
    const bool aForce = isSet(params::force);
    const bool aRecursive = aForce && !isSet(params::noRecursive);
    const bool aNative = aRecursive && !isSet(params::noDeletePackageRecursively) &&
                         theContext.connection().getApiVersion() >= kRecursiveDeleteApiVersion;
    const std::vector<std::string> aPackages = packagesToDelete(aRecursive && !aNative);
    if (aPackages.empty()) {
        console::sayLine("No package to delete.");
        return;
    }
    const bool aLocal = !aNative && theContext.lockWorkspace();
    for (const std::string& aPackage : aPackages) {
        repofunpackages::deletePackage(aPackage, aForce, aNative);
        if (aLocal)
            removePackageDirectories(aPackage, aForce);
        runstatistics::add(Statistic::deletedPackages);
        console::progress("Deleted package: \"" + aPackage + "\"" +
                          (aNative ? " (recursively)" : ""));
    }
}

void updatePackages() {
    const bool aRecursive = !isSet(params::noRecursive);
    PackageAttributes anAttributes =
        adminoptions::packageAttributes({}, adminoptions::Missing::keep);
    // An assignment names a delivery unit; its vendor defaults to the content vendor.
    if (!anAttributes.itsDeliveryUnit.empty() &&
        anAttributes.itsDeliveryUnit != repofunbase::kUnset && getValue(params::vendor).empty())
        anAttributes.itsDuVendor = repofunbase::getContentVendor();
    // A package that several arguments reach (a named package and its parent) is updated once.
    std::vector<std::string> aNames;
    for (const std::string& anArgument : adminoptions::packageArguments()) {
        if (std::find(aNames.begin(), aNames.end(), anArgument) == aNames.end())
            aNames.push_back(anArgument);
        if (aRecursive)
            addNames(subPackages(anArgument), aNames);
    }
    for (const std::string& aPackage : aNames) {
        anAttributes.itsPackage = aPackage;
        repofunpackages::updatePackage(anAttributes);
        runstatistics::add(Statistic::updatedPackages);
        console::progress("Updated package: \"" + aPackage + "\"");
    }
}

void deleteLocalFiles(const std::vector<std::string>& thePackages, bool theRecursive) {
    std::vector<std::string> aPackages;
    for (const std::string& anArgument : thePackages)
        aPackages.push_back(workspace::normalizePackage(anArgument));
    const Status aStatus(aPackages, theRecursive, false, false);
    for (const std::string& aFile : aStatus.diskFilesInScope())
        sys::deleteFile(aFile);
}

} // namespace RepositoryAccess::packageactions
