// The repository side of a workspace for the end-to-end tests: what kivo sent, and versions kivo
// cannot make yet. Runs inside a workspace (its name is the inactive workspace) as USER at HOST
// (file:PATH or HOST:PORT@DATABASE); "stored" and "snapshot" read the tables of REPOSITORY as
// kivo-repo names it (a file: host's file without --store).
//
//   kivo_repo_probe HOST USER PASSWORD list | activate     the user's inactive objects | activate
//   kivo_repo_probe HOST USER PASSWORD package PACKAGE     the package's attributes
//   kivo_repo_probe HOST USER PASSWORD actives PACKAGE     active objects below it, version, hash
//   kivo_repo_probe HOST USER PASSWORD du NAME VENDOR CAPTION PACKAGE...   a delivery unit of them
//   kivo_repo_probe HOST USER PASSWORD [--store=REPOSITORY] stored PACKAGE NAME SUFFIX   in hex
//   kivo_repo_probe HOST USER PASSWORD [--store=REPOSITORY] snapshot   every package and version
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/textcase.hpp"
#include "core/utils.hpp"
#include "repoadmin/repositorytarget.hpp"
#include "repository/connection.hpp"
#include "repository/repofunbase.hpp"
#include "repository/repofundeliveryunits.hpp"
#include "repository/repofunobjects.hpp"
#include "repository/repofunpackages.hpp"
#include "repository/respprinters.hpp"
#include "server/repositorystore.hpp"
#include "server/transaction.hpp"
#include "workspace/hash.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

using namespace RepositoryAccess;

namespace {

std::vector<RepositoryObject> inactiveObjects() {
    return repofunobjects::listInactiveObjects(repofunbase::defaultInactiveSession(), "", "");
}

void list() {
    for (const RepositoryObject& anObject : inactiveObjects())
        std::cout << anObject.key() << " #" << anObject.metaData().itsVersionId
                  << (anObject.metaData().itsIsDeletion ? " deletion" : "") << "\n";
}

void activate() {
    const ActivationResult aResult = repofunobjects::activateObjects(inactiveObjects(), "0", "");
    std::cout << "activation " << aResult.itsError.itsCode << "\n";
}

// The stored bytes show how the content travelled: the repository turns the CDATA of a
// "properties" object from Latin-1 into UTF-8 but keeps BDATA as it is.
void stored(const std::string& theRepository, const std::string& theOwner,
            const std::vector<std::string>& theKey) {
    const auto apStore = server::makeTarget(theRepository)->open();
    server::Transaction aTransaction(apStore->database(), false);
    const auto anObject = apStore->findObject({theKey[0], theKey[1], theKey[2]});
    const auto aVersion =
        anObject ? apStore->inactive(*anObject, theOwner, workspace::config().name(), true)
                 : std::nullopt;
    aTransaction.commit();
    std::cout << (aVersion ? utils::toHex(aVersion->itsContent) : "none") << "\n";
}

void package(const std::string& thePackage) {
    respprinters::printPackage(repofunpackages::readPackage(thePackage), std::cout);
}

void actives(const std::string& thePackage) {
    for (const std::string& aPattern : {thePackage, thePackage + ".*"}) {
        for (const RepositoryObject& anObject :
             repofunobjects::findObjects(RepositorySession::active(), aPattern, "")) {
            const ObjectContent aContent =
                repofunobjects::readObject(RepositorySession::active(), anObject);
            std::cout << anObject.key() << " #"
                      << repofunobjects::readActiveObjectMetaData(anObject).itsVersionId << " "
                      << hash::calc(aContent.itsContent) << "\n";
        }
    }
}

// Every package, every activated version and every inactive version of every user, one per line.
void snapshot(const std::string& theRepository) {
    const server::RepositorySnapshot aSnapshot = server::makeTarget(theRepository)->openSnapshot();
    server::SqlDatabase& aDatabase = *aSnapshot.itsDatabase;
    const char* const kQueries[] = {
        "SELECT 'package', name, delivery_unit, '', '', '' FROM packages ORDER BY name",
        "SELECT 'active', o.package, o.name, o.suffix, h.version_nr || '/' || h.is_deletion, "
        "h.content FROM history h JOIN objects o ON o.id = h.object_id ORDER BY 2, 3, 4, 5",
        "SELECT 'inactive ' || i.owner || '/' || i.workspace, o.package, o.name, o.suffix, "
        "i.version_id || '/' || i.is_deletion, i.content FROM inactive_versions i JOIN "
        "objects o ON o.id = i.object_id ORDER BY 1, 2, 3, 4"};
    for (const char* aSql : kQueries) {
        auto aQuery = aDatabase.query(aSql);
        while (aQuery.step()) {
            for (int i = 0; i < 5; ++i)
                std::cout << aQuery.text(i) << "|";
            std::cout << utils::toHex(aQuery.text(5)) << "\n";
        }
    }
    aDatabase.commit();
}

void deliveryUnit(const std::vector<std::string>& theArgs) {
    DeliveryUnitAttributes aUnit;
    aUnit.itsName = theArgs[4];
    aUnit.itsVendor = theArgs[5];
    aUnit.itsCaption = theArgs[6];
    repofundeliveryunits::createDeliveryUnit(aUnit);
    for (std::size_t anIndex = 7; anIndex < theArgs.size(); ++anIndex) {
        const std::string anUnset(repofunbase::kUnset);
        PackageAttributes aPackage{theArgs[anIndex], anUnset, anUnset, anUnset, anUnset,
                                   anUnset,          anUnset, anUnset, anUnset, anUnset,
                                   anUnset,          anUnset, anUnset, anUnset, {}};
        aPackage.itsDeliveryUnit = aUnit.itsName;
        aPackage.itsDuVendor = aUnit.itsVendor;
        repofunpackages::updatePackage(aPackage);
    }
}

// The repository as kivo-repo names it: the --store option at theArgs[3] (which it removes), else
// the file of a file: host.
std::string takeStore(std::vector<std::string>& theArgs) {
    const std::string anOption = "--store=";
    if (theArgs.size() > 3 && theArgs[3].starts_with(anOption)) {
        const std::string aStore = theArgs[3].substr(anOption.size());
        theArgs.erase(theArgs.begin() + 3);
        return aStore;
    }
    const std::string aScheme = "file:";
    return theArgs[0].starts_with(aScheme) ? theArgs[0].substr(aScheme.size()) : std::string();
}

int run(std::vector<std::string> theArgs) {
    const std::string aStore = theArgs.size() >= 4 ? takeStore(theArgs) : std::string();
    if (theArgs.size() < 4) {
        std::cerr << "usage: kivo_repo_probe HOST USER PASSWORD [--store=REPOSITORY] (list | "
                     "activate | package P | actives P | du ... | stored P N S | snapshot)\n";
        return 2;
    }
    const std::string& aCommand = theArgs[3];
    if ((aCommand == "snapshot" || aCommand == "stored") && aStore.empty()) {
        std::cerr << aCommand << " needs --store=REPOSITORY\n";
        return 2;
    }
    if (aCommand == "snapshot") {
        snapshot(aStore);
        return 0;
    }
    ParameterValues aValues;
    aValues.setValue(params::hostName, theArgs[0]);
    aValues.setValue(params::userName, theArgs[1]);
    aValues.setValue(params::passWord, theArgs[2]);
    installParameters(aValues);
    workspace::open(false);
    if (aCommand == "list")
        list();
    else if (aCommand == "activate")
        activate();
    else if (aCommand == "package" && theArgs.size() == 5)
        package(theArgs[4]);
    else if (aCommand == "actives" && theArgs.size() == 5)
        actives(theArgs[4]);
    else if (aCommand == "du" && theArgs.size() >= 7)
        deliveryUnit(theArgs);
    else if (aCommand == "stored" && theArgs.size() == 7)
        stored(aStore, textcase::upper(theArgs[1]), {theArgs[4], theArgs[5], theArgs[6]});
    else
        return 2;
    return 0;
}

} // namespace

int main(int theArgc, char** theArgv) {
    int aStatus = 1;
    try {
        aStatus = run(std::vector<std::string>(theArgv + 1, theArgv + theArgc));
    } catch (const Error& anError) {
        for (const std::string& aMessage : anError.messages())
            std::cerr << aMessage << "\n";
    } catch (const std::exception& anError) {
        std::cerr << "unexpected failure: " << anError.what() << "\n";
    }
    connection::finish();
    return aStatus;
}
