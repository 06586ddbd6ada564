#pragma once

#include "core/securestring.hpp"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace RepositoryAccess::dbclient {

// One stored key: a name for host, user and password, and the TLS settings that go with the
// host (connect property names: ENCRYPT, sslCryptoProvider, sslKeyStore, sslTrustStore,
// sslValidateCertificate). The password is wiped when the entry goes.
struct KeyEntry {
    std::string itsKey, itsHost, itsUser, itsPassword;
    std::vector<std::pair<std::string, std::string>> itsTls = {};
    ~KeyEntry() { secrets::wipe(itsPassword); }
};

// The TLS option of zevuserstore SET ("--sslTrustStore=FILE", "--sslEncrypt=TRUE") as the
// connect property and value it keeps; nothing for another word.
std::optional<std::pair<std::string, std::string>> keyTlsSetting(const std::string& theOption);

// The user's key store: the file "keys" in $ZEVUSERSTORE_HOME (default $HOME/.zevuserstore).
// Passwords are kept readable so that they can be sent to the repository; the store is
// protected by its file mode only (directory 0700, file 0600), like the database's own key store.
class KeyStore {
public:
    // The key store of the current user (from the environment).
    static KeyStore forCurrentUser();
    explicit KeyStore(std::string theDirectory);

    const std::string& directory() const { return itsDirectory; }
    const std::string& filePath() const { return itsFilePath; }

    // All keys in file order; none when the file does not exist. Throws Error when the file
    // can be read by other users (naming the file and its mode) or cannot be read. The process
    // holds passwords from then on: it becomes non-dumpable.
    std::vector<KeyEntry> load() const;

    // The entry of theKey, if stored.
    std::optional<KeyEntry> find(const std::string& theKey) const;

    // Replaces the file with theEntries: creates the directory (0700) if needed, writes a
    // temporary file (0600) and renames it over the old one. Throws Error on failure.
    void save(const std::vector<KeyEntry>& theEntries) const;

private:
    std::string itsDirectory;
    std::string itsFilePath;
};

} // namespace RepositoryAccess::dbclient
