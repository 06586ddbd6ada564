// zevuserstore: keeps named connection keys (host, user, password) for kivo.
#include "core/error.hpp"
#include "core/securestring.hpp"
#include "core/textcase.hpp"
#include "core/utils.hpp"
#include "dbclient/keystore.hpp"
#include "server/enginetext.hpp"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

using namespace RepositoryAccess;
using namespace RepositoryAccess::dbclient;

namespace {

const char* const kUsage = "Usage:\n"
                           "  zevuserstore SET KEY HOST USER PASSWORD [--sslTrustStore=FILE]\n"
                           "      [--sslEncrypt=TRUE|FALSE] [--sslValidateCertificate=TRUE|FALSE]\n"
                           "      [--sslKeyStore=FILE] [--sslCryptoProvider=openssl]\n"
                           "  zevuserstore LIST [KEY]\n"
                           "  zevuserstore DELETE KEY\n";

struct UsageError {
    std::string itsMessage;
};

void print(const KeyEntry& theEntry) {
    std::cout << "KEY " << theEntry.itsKey << "\n  HOST: " << theEntry.itsHost
              << "\n  USER: " << theEntry.itsUser << "\n";
    for (const auto& [aName, aValue] : theEntry.itsTls)
        std::cout << "  " << aName << ": " << aValue << "\n";
}

// The TLS options after SET's PASSWORD as the key's settings; files by their absolute paths,
// since kivo runs in any folder.
std::vector<std::pair<std::string, std::string>>
tlsSettings(const std::vector<std::string>& theArgs) {
    std::vector<std::pair<std::string, std::string>> aSettings;
    for (std::size_t i = 5; i < theArgs.size(); ++i) {
        auto aSetting = keyTlsSetting(theArgs[i]);
        if (!aSetting)
            throw UsageError{"unexpected argument \"" + theArgs[i] + "\""};
        if (aSetting->first == "sslTrustStore" || aSetting->first == "sslKeyStore")
            aSetting->second = std::filesystem::absolute(aSetting->second).lexically_normal();
        aSettings.push_back(std::move(*aSetting));
    }
    return aSettings;
}

int run(const std::vector<std::string>& theArgs) {
    if (theArgs.empty())
        throw UsageError{"no command given"};
    std::string aCommand = textcase::upper(theArgs[0]);
    KeyStore aStore = KeyStore::forCurrentUser();
    if (aCommand == "SET") {
        if (theArgs.size() < 5)
            throw UsageError{"SET needs KEY, HOST, USER and PASSWORD"};
        if (theArgs[1].empty())
            throw Error("The key must not be empty");
        std::vector<KeyEntry> anEntries = aStore.load();
        KeyEntry aNew{theArgs[1], utils::anchoredHost(theArgs[2]), textcase::upper(theArgs[3]),
                      theArgs[4], tlsSettings(theArgs)};
        bool aReplaced = false;
        for (KeyEntry& anEntry : anEntries)
            if (anEntry.itsKey == aNew.itsKey) {
                anEntry = aNew;
                aReplaced = true;
            }
        if (!aReplaced)
            anEntries.push_back(aNew);
        aStore.save(anEntries);
        return 0;
    }
    if (aCommand == "LIST") {
        if (theArgs.size() > 2)
            throw UsageError{"LIST takes at most one KEY"};
        bool aFound = false;
        for (const KeyEntry& anEntry : aStore.load())
            if (theArgs.size() == 1 || anEntry.itsKey == theArgs[1]) {
                print(anEntry);
                aFound = true;
            }
        if (theArgs.size() == 2 && !aFound)
            throw Error("Key \"" + theArgs[1] + "\" not found in the key store \"" +
                        aStore.filePath() + "\"");
        return 0;
    }
    if (aCommand == "DELETE") {
        if (theArgs.size() != 2)
            throw UsageError{"DELETE needs a KEY"};
        std::vector<KeyEntry> anEntries = aStore.load();
        std::erase_if(anEntries,
                      [&](const KeyEntry& theEntry) { return theEntry.itsKey == theArgs[1]; });
        if (anEntries.size() == aStore.load().size())
            throw Error("Key \"" + theArgs[1] + "\" not found in the key store \"" +
                        aStore.filePath() + "\"");
        aStore.save(anEntries);
        return 0;
    }
    throw UsageError{"unknown command \"" + theArgs[0] + "\""};
}

} // namespace

int main(int argc, char** argv) {
    try {
        std::vector<std::string> anArgs(argv + 1, argv + argc);
        // The PASSWORD of SET leaves the process's own arguments before anything else happens,
        // so that no process listing shows it; its copy is wiped at the end.
        std::string aNoPassword;
        const bool aSet = anArgs.size() >= 5 && textcase::upper(anArgs[0]) == "SET";
        if (aSet)
            secrets::hideInArgument(argv[5], 0, anArgs[4].size());
        const secrets::WipeAtExit aWipe(aSet ? anArgs[4] : aNoPassword);
        return run(anArgs);
    } catch (const UsageError& anError) {
        std::cerr << "zevuserstore: " << anError.itsMessage << "\n" << kUsage;
        return 2;
    } catch (const std::exception& anError) {
        std::cerr << "zevuserstore: " << anError.what() << "\n";
        return 1;
    }
}
