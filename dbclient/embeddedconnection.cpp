#include "dbclient/embeddedconnection.hpp"
#include "core/textcase.hpp"

#include "dbclient/embeddedstatements.hpp"
#include "server/engine.hpp"
#include "server/enginetext.hpp"
#include "sqlitefile/repositoryfile.hpp"

#include <algorithm>
#include <filesystem>

namespace RepositoryAccess::dbclient {

namespace {

constexpr std::string_view kFilePrefix = "file:";

// The connect properties that ask for TLS, which a local file cannot use.
const char* const kTlsProperties[] = {"ENCRYPT",       "sslCryptoProvider",
                                      "sslKeyStore",   "sslKeyStorePassword",
                                      "sslTrustStore", "sslValidateCertificate"};

} // namespace

EmbeddedConnection::EmbeddedConnection() = default;
EmbeddedConnection::EmbeddedConnection(std::unique_ptr<server::PasswordMemo> theMemo)
    : itsMemo(std::move(theMemo)) {}
EmbeddedConnection::~EmbeddedConnection() = default;

ReturnCode EmbeddedConnection::connect(const std::string& theServerNode,
                                       const std::string& theDatabase, const std::string& theUser,
                                       std::string_view thePassword, StringEncoding,
                                       const ConnectProperties& theProperties) {
    itsError.clear();
    close();
    std::string aHost = theServerNode;
    std::string aUser = theUser;
    try {
        if (aHost.rfind(kFilePrefix, 0) != 0 || aHost.size() == kFilePrefix.size()) {
            itsError.set(embeddedcode::kConnectFailed,
                         "Cannot connect to host \"" + aHost +
                             "\": a repository file is named file:PATH (for example file:repo.db)");
            return ReturnCode::Error;
        }
        std::filesystem::path aPath(aHost.substr(kFilePrefix.size()));
        auto anEngine = std::make_unique<server::Engine>(
            server::openRepositoryFile(std::filesystem::absolute(aPath).string()));
        aUser = textcase::upper(aUser);
        if (!anEngine->authenticate(aUser, thePassword, itsMemo.get())) {
            itsError.set(embeddedcode::kAuthenticationFailed,
                         "Authentication failed: unknown user or wrong password");
            return ReturnCode::Error;
        }
        std::string aDatabase = theDatabase;
        if (const std::string* aName = theProperties.getProperty("DATABASENAME"))
            aDatabase = *aName;
        std::string aHeld = anEngine->setting("database_name").value_or("");
        if (!aDatabase.empty() && aDatabase != aHeld) {
            itsError.set(embeddedcode::kConnectFailed,
                         "Database \"" + aDatabase + "\" not found; the repository file holds \"" +
                             aHeld + "\"");
            return ReturnCode::Error;
        }
        itsEngine = std::move(anEngine);
        itsUser = aUser;
    } catch (const std::exception& anError) {
        // Storage failures (a missing or damaged file) end the connect.
        itsError.set(embeddedcode::kConnectFailed, anError.what());
        return ReturnCode::Error;
    }
    for (const char* aProperty : kTlsProperties)
        if (theProperties.getProperty(aProperty)) {
            itsError.set(embeddedcode::kEncryptionIgnored,
                         "Encryption does not apply to a local repository (" + aHost +
                             "); the TLS settings are ignored");
            return ReturnCode::SuccessWithInfo;
        }
    return ReturnCode::Ok;
}

ReturnCode EmbeddedConnection::beginCallGroup() {
    if (itsEngine)
        itsEngine->beginGroup();
    return ReturnCode::Ok;
}

ReturnCode EmbeddedConnection::endCallGroup() {
    if (!itsEngine)
        return ReturnCode::Ok;
    try {
        itsEngine->endGroup();
    } catch (const Error& anError) {
        itsError.set(embeddedcode::kEngineFailure, anError.what());
        return ReturnCode::Error;
    }
    return ReturnCode::Ok;
}

ReturnCode EmbeddedConnection::close() {
    dropStatements();
    itsEngine.reset();
    itsUser.clear();
    return ReturnCode::Ok;
}

} // namespace RepositoryAccess::dbclient
