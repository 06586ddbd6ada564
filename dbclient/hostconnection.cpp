#include "dbclient/hostconnection.hpp"

#include "dbclient/embeddedconnection.hpp"
#include "dbclient/keystore.hpp"
#include "dbclient/passwordmemo.hpp"
#if KIVO_TEAM_REPOSITORY
#include "dbclient/pgconnection.hpp"
#endif

namespace RepositoryAccess::dbclient {

namespace {

bool isFileHost(const std::string& theHost) {
    return theHost.rfind("file:", 0) == 0;
}

} // namespace

ReturnCode HostConnection::connect(const std::string& theServerNode, const std::string& theDatabase,
                                   const std::string& theUser, std::string_view thePassword,
                                   StringEncoding theEncoding,
                                   const ConnectProperties& theProperties) {
    itsError.clear();
    close();
    std::string aHost = theServerNode;
    std::string aUser = theUser;
    std::string_view aPassword = thePassword;
    // The key's entry lives as long as the connect that uses its password.
    std::optional<KeyEntry> anEntry;
    if (const std::string* aKey = theProperties.getProperty("KEY")) {
        try {
            KeyStore aStore = KeyStore::forCurrentUser();
            anEntry = aStore.find(*aKey);
            if (!anEntry) {
                itsError.set(kKeyStoreFailedCode, "Key \"" + *aKey +
                                                      "\" not found in the key store \"" +
                                                      aStore.filePath() + "\"");
                return ReturnCode::Error;
            }
            aHost = anEntry->itsHost;
            aUser = anEntry->itsUser;
            aPassword = anEntry->itsPassword;
        } catch (const std::exception& anError) {
            // A key store that others can read, or that cannot be read, ends the connect.
            itsError.set(kKeyStoreFailedCode, anError.what());
            return ReturnCode::Error;
        }
    }
    if (isFileHost(aHost) && anEntry)
        apBackend = std::make_unique<EmbeddedConnection>(
            std::make_unique<PasswordMemo>(KeyStore::forCurrentUser().directory() + "/verified"));
    else if (isFileHost(aHost))
        apBackend = std::make_unique<EmbeddedConnection>();
#if KIVO_TEAM_REPOSITORY
    else if (parseServerHost(aHost))
        apBackend = std::make_unique<PgConnection>();
#else
    else if (aHost.find(':') != std::string::npos) {
        itsError.set(embeddedcode::kConnectFailed,
                     "Cannot connect to host \"" + aHost +
                         "\": this kivo was built without the PostgreSQL backend "
                         "(KIVO_TEAM_REPOSITORY)");
        return ReturnCode::Error;
    }
#endif
    else {
        itsError.set(embeddedcode::kConnectFailed,
                     "Cannot connect to host \"" + aHost +
                         "\": a repository file is named file:PATH (for example file:repo.db), "
                         "a database server HOST:PORT (for example db.example.com:5432)");
        return ReturnCode::Error;
    }
    // The key's TLS settings hold where the run and its workspace give none.
    ConnectProperties aProperties = theProperties;
    if (anEntry)
        for (const auto& [aName, aValue] : anEntry->itsTls)
            if (aProperties.getProperty(aName) == nullptr)
                aProperties.setProperty(aName, aValue);
    ReturnCode aCode =
        apBackend->connect(aHost, theDatabase, aUser, aPassword, theEncoding, aProperties);
    itsError = apBackend->error();
    if (aCode != ReturnCode::Ok && aCode != ReturnCode::SuccessWithInfo)
        apBackend.reset();
    return aCode;
}

ReturnCode HostConnection::close() {
    if (apBackend)
        apBackend->close();
    apBackend.reset();
    return ReturnCode::Ok;
}

ReturnCode HostConnection::beginCallGroup() {
    return apBackend ? apBackend->beginCallGroup() : ReturnCode::Ok;
}

ReturnCode HostConnection::endCallGroup() {
    if (!apBackend)
        return ReturnCode::Ok;
    const ReturnCode aCode = apBackend->endCallGroup();
    if (aCode == ReturnCode::Error)
        itsError = apBackend->error();
    return aCode;
}

ReturnCode HostConnection::callAll(const std::vector<std::string_view>& theFrames,
                                   std::vector<std::string>& theAnswers) {
    if (!apBackend)
        return ReturnCode::NoData;
    const ReturnCode aCode = apBackend->callAll(theFrames, theAnswers);
    if (aCode == ReturnCode::Error)
        itsError = apBackend->error();
    return aCode;
}

Statement* HostConnection::createStatement() {
    return apBackend ? apBackend->createStatement() : nullptr;
}

PreparedStatement* HostConnection::createPreparedStatement() {
    return apBackend ? apBackend->createPreparedStatement() : nullptr;
}

void HostConnection::releaseStatement(Statement* theStatement) {
    if (apBackend)
        apBackend->releaseStatement(theStatement);
}

void HostConnection::releaseStatement(PreparedStatement* theStatement) {
    if (apBackend)
        apBackend->releaseStatement(theStatement);
}

} // namespace RepositoryAccess::dbclient
