// kivo-repo: creates and administers the file of the embedded repository.
#include "core/error.hpp"
#include "core/textcase.hpp"
#include "server/enginetext.hpp"
#include "server/passwordhash.hpp"
#include "server/repositorystore.hpp"

#include <charconv>
#include <iostream>
#include <string>
#include <vector>

using namespace RepositoryAccess;
using namespace RepositoryAccess::server;

namespace {

const char* const kUsage = "Usage:\n"
                           "  kivo-repo init FILE [--database NAME] [--vendor VENDOR]\n"
                           "  kivo-repo user FILE NAME PASSWORD\n"
                           "  kivo-repo set FILE SETTING VALUE\n"
                           "  kivo-repo show FILE\n";

// A wrong command line: the usage goes to standard error and the exit status is 2.
struct UsageError {
    std::string itsMessage;
};

bool isNumber(const std::string& theText) {
    long long aValue = 0;
    auto [anEnd, anError] =
        std::from_chars(theText.data(), theText.data() + theText.size(), aValue);
    return !theText.empty() && anError == std::errc() && anEnd == theText.data() + theText.size();
}

// Checks a setting's name and value; throws Error naming what is wrong.
void checkSetting(const std::string& theName, const std::string& theValue) {
    if (theName == "api_version") {
        if (theValue != "none" && !isNumber(theValue))
            throw Error("api_version must be an integer or none, not \"" + theValue + "\"");
    } else if (theName == "schema_version" || theName == "export_version_min" ||
               theName == "export_version_max") {
        if (!isNumber(theValue))
            throw Error(theName + " must be an integer, not \"" + theValue + "\"");
    } else if (theName == "change_tracking") {
        if (theValue != "on" && theValue != "off")
            throw Error("change_tracking must be on or off, not \"" + theValue + "\"");
    } else if (theName == "database_name" || theName == "vendor") {
        if (theValue.empty())
            throw Error(theName + " must not be empty");
    } else {
        throw Error("Unknown setting \"" + theName +
                    "\" (known: api_version, schema_version, database_name, vendor, "
                    "change_tracking, export_version_min, export_version_max)");
    }
}

int init(const std::vector<std::string>& theArgs) {
    if (theArgs.size() < 2)
        throw UsageError{"init needs a FILE"};
    std::vector<std::pair<std::string, std::string>> aSettings;
    for (std::size_t i = 2; i < theArgs.size(); i += 2) {
        if (i + 1 >= theArgs.size() || (theArgs[i] != "--database" && theArgs[i] != "--vendor"))
            throw UsageError{"unexpected argument \"" + theArgs[i] + "\""};
        std::string aName = theArgs[i] == "--database" ? "database_name" : "vendor";
        checkSetting(aName, theArgs[i + 1]);
        aSettings.emplace_back(aName, theArgs[i + 1]);
    }
    RepositoryStore::create(theArgs[1], aSettings);
    std::cout << "Created repository " << theArgs[1] << "\n";
    return 0;
}

int user(const std::vector<std::string>& theArgs) {
    if (theArgs.size() != 4)
        throw UsageError{"user needs FILE, NAME and PASSWORD"};
    std::string aName = textcase::upper(theArgs[2]);
    if (aName.empty())
        throw Error("The user name must not be empty");
    RepositoryStore aStore(theArgs[1]);
    aStore.beginWrite();
    try {
        bool anExists = aStore.findUser(aName).has_value();
        aStore.putUser({aName, hashPassword(theArgs[3])});
        aStore.commit();
        std::cout << (anExists ? "Changed the password of user " : "Added user ") << aName << "\n";
    } catch (...) {
        aStore.rollback();
        throw;
    }
    return 0;
}

int set(const std::vector<std::string>& theArgs) {
    if (theArgs.size() != 4)
        throw UsageError{"set needs FILE, SETTING and VALUE"};
    checkSetting(theArgs[2], theArgs[3]);
    RepositoryStore aStore(theArgs[1]);
    aStore.beginWrite();
    try {
        aStore.setSetting(theArgs[2], theArgs[3]);
        aStore.commit();
    } catch (...) {
        aStore.rollback();
        throw;
    }
    std::cout << theArgs[2] << " = " << theArgs[3] << "\n";
    return 0;
}

int show(const std::vector<std::string>& theArgs) {
    if (theArgs.size() != 2)
        throw UsageError{"show needs FILE"};
    RepositoryStore aStore(theArgs[1]);
    aStore.beginRead();
    try {
        std::cout << "Repository " << theArgs[1] << "\nSettings:\n";
        for (const auto& [aName, aValue] : aStore.listSettings())
            std::cout << "  " << aName << " = " << aValue << "\n";
        std::cout << "Users:\n";
        for (const std::string& aName : aStore.listUsers())
            std::cout << "  " << aName << "\n";
        std::cout << "Packages: " << aStore.countRows("packages") << "\n"
                  << "Objects: " << aStore.countRows("objects") << "\n"
                  << "Activated versions: " << aStore.countRows("history") << "\n"
                  << "Inactive versions: " << aStore.countRows("inactive_versions") << "\n";
        aStore.commit();
    } catch (...) {
        aStore.rollback();
        throw;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> anArgs(argv + 1, argv + argc);
    try {
        if (anArgs.empty())
            throw UsageError{"no command given"};
        if (anArgs[0] == "init")
            return init(anArgs);
        if (anArgs[0] == "user")
            return user(anArgs);
        if (anArgs[0] == "set")
            return set(anArgs);
        if (anArgs[0] == "show")
            return show(anArgs);
        throw UsageError{"unknown command \"" + anArgs[0] + "\""};
    } catch (const UsageError& anError) {
        std::cerr << "kivo-repo: " << anError.itsMessage << "\n" << kUsage;
        return 2;
    } catch (const std::exception& anError) {
        std::cerr << "kivo-repo: " << anError.what() << "\n";
        return 1;
    }
}
