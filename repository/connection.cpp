#include "repository/connection.hpp"

#include <algorithm>
#include <cstdint>
#include <future>
#include <optional>
#include <sstream>
#include <system_error>
#include <utility>

#include "core/console.hpp"
#include "core/error.hpp"
#include "core/parameters.hpp"
#include "core/perftrace.hpp"
#include "dbclient/dbclient.hpp"
#include "dbclient/protocolsql.hpp"
#include "repository/reporesponse.hpp"
#include "workspace/sys.hpp"
#include "workspace/workspace.hpp"
#include "workspace/workspacefile.hpp"

namespace RepositoryAccess {

namespace {

using dbclient::ReturnCode;

// Room of the output parameter: most answers fit, longer ones are fetched again in full.
constexpr std::int64_t kOutputSize = 1024;
constexpr std::size_t kRuntimeErrorSize = 200;
constexpr std::size_t kQueryTextSize = 256;

using namespace dbclient::protocolsql;

// What a connect needs, gathered from the options and the workspace configuration. The TLS
// settings hold the key store's password: they are wiped with the parameters.
struct ConnectParameters {
    ConnectParameters() = default;
    ConnectParameters(const ConnectParameters&) = delete;
    ConnectParameters& operator=(const ConnectParameters&) = delete;
    ~ConnectParameters() {
        for (auto& [aName, aValue] : itsTls)
            secrets::wipe(aValue);
    }

    std::string itsKey;
    std::string itsUser;
    std::string itsHost;
    SecureString itsPassword;
    std::string itsDatabase;
    // The TLS settings in the order in which they become connect properties.
    std::vector<std::pair<const char*, std::string>> itsTls;
};

// The advice to check the key, where the key can be at fault: its user and password, or the
// key itself; not where the server, the network or TLS failed.
std::string keyHint(const dbclient::ErrorHolder& theError, const std::string& theKey) {
    const int aCode = theError.getErrorCode();
    if (aCode != dbclient::kAuthenticationFailedCode && aCode != dbclient::kKeyStoreFailedCode)
        return {};
    return "\nVerify your \"zevuserstore\" key (\"" + theKey + "\").";
}

bool isGood(ReturnCode theCode) {
    return theCode == ReturnCode::Ok || theCode == ReturnCode::SuccessWithInfo;
}

WorkSpaceConfigFile* workspaceConfig() {
    if (!workspace::isOpen() || !workspace::get()->hasConfig())
        return nullptr;
    return &workspace::get()->config();
}

std::string upperCase(std::string theText) {
    for (char& aChar : theText)
        if (aChar >= 'a' && aChar <= 'z')
            aChar = static_cast<char>(aChar - 'a' + 'A');
    return theText;
}

// The option's value, else the configuration's value when there is a configuration.
std::string optionOrConfig(const Parameter& theParameter, const WorkSpaceConfigFile* theConfig,
                           const std::string& (WorkSpaceConfigFile::*theGetter)() const) {
    std::string aValue = getValue(theParameter);
    if (aValue.empty() && theConfig != nullptr)
        aValue = (theConfig->*theGetter)();
    return aValue;
}

void gatherParameters(ConnectParameters& theParameters) {
    const WorkSpaceConfigFile* aConfig = workspaceConfig();
    theParameters.itsKey = optionOrConfig(params::key, aConfig, &WorkSpaceConfigFile::key);
    if (theParameters.itsKey.empty()) {
        theParameters.itsHost =
            optionOrConfig(params::hostName, aConfig, &WorkSpaceConfigFile::hostName);
        theParameters.itsUser =
            upperCase(optionOrConfig(params::userName, aConfig, &WorkSpaceConfigFile::user));
        theParameters.itsPassword = parameters().secret(params::passWord).clone();
        if (theParameters.itsPassword.empty() && isSet(params::readFromStdIn))
            theParameters.itsPassword = sys::readPassword();
        if (theParameters.itsUser.empty() && !theParameters.itsPassword.empty())
            throw Error("No user specified");
        theParameters.itsDatabase =
            optionOrConfig(params::database, aConfig, &WorkSpaceConfigFile::database);
    }
    // A TLS option of the run wins over the setting kept with the workspace.
    const auto aTls = [aConfig](const Parameter& theParameter) {
        std::string aValue = getValue(theParameter);
        if (aValue.empty() && aConfig != nullptr)
            aValue = aConfig->tlsSetting(theParameter.name());
        return aValue;
    };
    theParameters.itsTls = {{"ENCRYPT", aTls(params::sslEncrypt)},
                            {"sslCryptoProvider", aTls(params::sslCryptoProvider)},
                            {"sslKeyStore", aTls(params::sslKeyStore)},
                            {"sslKeyStorePassword",
                             std::string(parameters().secret(params::sslKeyStorePassword).view())},
                            {"sslTrustStore", aTls(params::sslTrustStore)},
                            {"sslValidateCertificate", aTls(params::sslValidateCertificate)}};
}

// Runs one query on a fresh statement and hands its first row to theRead; a query that fails in
// any way is skipped, leaving the caller's default.
template <class F>
void readFirstRow(dbclient::Connection& theConnection, const char* theSql, F theRead) {
    dbclient::Statement* aStatement = theConnection.createStatement();
    if (aStatement == nullptr)
        return;
    if (isGood(aStatement->execute(theSql))) {
        dbclient::ResultSet* aResult = aStatement->getResultSet();
        if (aResult != nullptr && aResult->next() == ReturnCode::Ok)
            theRead(*aResult);
    }
    theConnection.releaseStatement(aStatement);
}

// Column 1 of the current row as text of at most 255 bytes; empty when it cannot be read.
std::string readText(dbclient::ResultSet& theResult) {
    char aBuffer[kQueryTextSize] = {};
    std::int64_t aLength = 0;
    ReturnCode aCode =
        theResult.getObject(1, dbclient::HostType::Utf8, aBuffer, &aLength, sizeof aBuffer, true);
    if (!isGood(aCode) && aCode != ReturnCode::DataTruncated)
        return {};
    aBuffer[sizeof aBuffer - 1] = '\0';
    return aBuffer;
}

std::string modeName(dbclient::ParameterMode theMode) {
    switch (theMode) {
    case dbclient::ParameterMode::In:
        return "input";
    case dbclient::ParameterMode::Out:
        return "output";
    case dbclient::ParameterMode::InOut:
        return "input/output";
    default:
        return "unknown";
    }
}

// Fails unless parameter theIndex has theExpected mode.
void expectMode(const dbclient::ParameterMetaData& theMetaData, int theIndex,
                dbclient::ParameterMode theExpected) {
    dbclient::ParameterMode aFound = theMetaData.getParameterMode(theIndex);
    if (aFound != theExpected)
        throw Error("Wrong parameter mode of parameter " + std::to_string(theIndex) +
                    ": expected " + modeName(theExpected) + ", found " + modeName(aFound));
}

// Releases a prepared statement on every way out of a call.
class StatementGuard {
public:
    StatementGuard(dbclient::Connection& theConnection, dbclient::PreparedStatement* theStatement)
        : itsConnection(theConnection), itsStatement(theStatement) {}
    ~StatementGuard() { itsConnection.releaseStatement(itsStatement); }
    StatementGuard(const StatementGuard&) = delete;
    StatementGuard& operator=(const StatementGuard&) = delete;

private:
    dbclient::Connection& itsConnection;
    dbclient::PreparedStatement* itsStatement;
};

// True when a call of theCalls only shows its request: a simulated write, answered here.
bool anySimulated(const std::vector<Connection::PreparedCall>& theCalls) {
    return std::any_of(theCalls.begin(), theCalls.end(),
                       [](const auto& theCall) { return theCall.itsSimulatedAnswer.has_value(); });
}

RepositoryMessage parseResponse(const char* theData, std::int64_t theLength) {
    if (theLength < 0 || theLength > INT32_MAX)
        throw Error("Invalid size: " + std::to_string(theLength));
    return RepositoryMessage::parse(theData, static_cast<std::int32_t>(theLength));
}

std::shared_ptr<Connection>& theConnectionHandle() {
    static std::shared_ptr<Connection> aHandle;
    return aHandle;
}

// The closing that closeInBackground began, until close() takes its outcome.
std::future<void>& theBackgroundClosing() {
    static std::future<void> aClosing;
    return aClosing;
}

} // namespace

// The library's objects of one connection: the environment owns the connection.
struct Connection::Library {
    std::unique_ptr<dbclient::Environment> apEnvironment;
    dbclient::Connection* itsConnection = nullptr;
};

Connection::Connection() : itsLibrary(std::make_unique<Library>()) {
    ConnectParameters aParameters;
    gatherParameters(aParameters);

    char aRuntimeError[kRuntimeErrorSize] = {};
    dbclient::Runtime* aRuntime = dbclient::Runtime::getRuntime(aRuntimeError, kRuntimeErrorSize);
    if (aRuntime == nullptr)
        throw Error("Could not get runtime");
    itsLibrary->apEnvironment = aRuntime->createEnvironment();
    if (itsLibrary->apEnvironment)
        itsLibrary->itsConnection = itsLibrary->apEnvironment->createConnection();
    if (itsLibrary->itsConnection == nullptr)
        throw Error("Invalid Connection");
    dbclient::Connection& aConnection = *itsLibrary->itsConnection;

    dbclient::ConnectProperties aProperties;
    for (const auto& [aName, aValue] : aParameters.itsTls)
        if (!aValue.empty())
            aProperties.setProperty(aName, aValue);

    ReturnCode aCode;
    if (!aParameters.itsKey.empty()) {
        aProperties.setProperty("KEY", aParameters.itsKey);
        aCode = aConnection.connect("", "", "", "", dbclient::StringEncoding::Utf8, aProperties);
        if (!isGood(aCode))
            throw Error("Connecting to the database failed: " + aConnection.error().getErrorText() +
                        keyHint(aConnection.error(), aParameters.itsKey));
    } else {
        if (!aParameters.itsDatabase.empty())
            aProperties.setProperty("DATABASENAME", aParameters.itsDatabase);
        aCode = aConnection.connect(aParameters.itsHost, "", aParameters.itsUser,
                                    aParameters.itsPassword.view(), dbclient::StringEncoding::Utf8,
                                    aProperties);
        if (!isGood(aCode))
            throw Error(
                "Connecting to the database failed: " + aConnection.error().getErrorText() +
                "\nVerify your host (\"" + aParameters.itsHost + "\"), user (\"" +
                aParameters.itsUser + "\"), and password (" +
                (aParameters.itsPassword.empty() ? "<empty password>" : "<non-empty password>") +
                ").");
    }
    if (aCode == ReturnCode::SuccessWithInfo)
        console::sayLine("Connecting to the database succeeded with warnings: " +
                         aConnection.error().getErrorText());

    readFirstRow(aConnection, kApiVersionQuery, [this](dbclient::ResultSet& theResult) {
        std::int64_t aVersion = 0;
        std::int64_t aLength = 0;
        if (isGood(theResult.getObject(1, dbclient::HostType::Int64, &aVersion, &aLength,
                                       sizeof aVersion, false)))
            itsApiVersion = aVersion;
    });
    readFirstRow(aConnection, kDatabaseQuery, [this](dbclient::ResultSet& theResult) {
        itsServerDatabaseName = readText(theResult);
    });
    readFirstRow(aConnection, kUserQuery,
                 [this](dbclient::ResultSet& theResult) { itsUserName = readText(theResult); });

    if (aParameters.itsKey.empty()) {
        itsUserName = aParameters.itsUser;
        itsHostName = aParameters.itsHost;
        itsDatabaseName = aParameters.itsDatabase;
    } else {
        itsKey = aParameters.itsKey;
    }
}

Connection::~Connection() {
    // The environment closes and frees a connection that close() did not release.
}

RepositoryMessage Connection::callRepo(const RepositoryRequest& theRequest) {
    return call(prepareCall(theRequest));
}

Connection::PreparedCall Connection::prepareCall(const RepositoryRequest& theRequest) const {
    const std::string aName = theRequest.getName();
    if (aName.empty())
        throw Error("Empty request");

    if (isSet(params::simulate) && theRequest.isWrite()) {
        console::sayLine("Simulation: Repository write request: " + aName + "\n" +
                         theRequest.json());
        return {{},
                RepositoryMessage(
                    std::make_shared<const std::string>(RepositoryResponse::simulatedAnswer()))};
    }

    const std::string aJson = theRequest.json();
    if (isSet(params::jsonRequest))
        console::sayLine("<---------- JSON request: " + aName + "\n" + aJson + "\nJSON request " +
                         aName + " ---------->");
    return {RepositoryMessage(std::make_shared<const std::string>(aJson),
                              theRequest.getCDataAttachments(), theRequest.getBDataAttachments())
                .serialize(),
            std::nullopt};
}

RepositoryMessage Connection::call(PreparedCall theCall) {
    KIVO_PERF_SCOPE("Connection::callRepo()");
    awaitSent();
    if (theCall.itsSimulatedAnswer)
        return std::move(*theCall.itsSimulatedAnswer);

    KIVO_CHECK(itsLibrary->itsConnection != nullptr, "The repository connection is closed");
    dbclient::Connection& aConnection = *itsLibrary->itsConnection;
    dbclient::PreparedStatement* aStatement = aConnection.createPreparedStatement();
    if (aStatement == nullptr)
        throw Error("Invalid prepared statement");
    StatementGuard aGuard(aConnection, aStatement);
    if (!isGood(aStatement->prepare(kRepositoryCall)))
        throw Error("Failed to call repository: " + aStatement->error().getErrorText());
    std::string& anInput = theCall.itsFrame;

    const dbclient::ParameterMetaData* aMetaData = aStatement->getParameterMetaData();
    if (aMetaData == nullptr)
        throw Error("Could not retrieve meta data: " + aStatement->error().getErrorText());
    if (aMetaData->getParameterMode(2) != dbclient::ParameterMode::Out)
        throw Error("Wrong parameter mode");
    expectMode(*aMetaData, 1, dbclient::ParameterMode::In);
    expectMode(*aMetaData, 2, dbclient::ParameterMode::Out);

    std::int64_t anInputLength = static_cast<std::int64_t>(anInput.size());
    if (!isGood(aStatement->bindParameter(1, dbclient::HostType::Binary, anInput.data(),
                                          &anInputLength, anInputLength)))
        throw Error("Failed to bind 1st parameter: " + aStatement->error().getErrorText());
    char anOutput[kOutputSize];
    std::int64_t anOutputLength = 0;
    if (!isGood(aStatement->bindParameter(2, dbclient::HostType::Binary, anOutput, &anOutputLength,
                                          kOutputSize)))
        throw Error("Failed to bind 2nd parameter:" + aStatement->error().getErrorText());

    const ReturnCode aCode = aStatement->execute();
    if (aCode == ReturnCode::DataTruncated) {
        if (anOutputLength < 0 || anOutputLength > INT32_MAX)
            throw Error("Invalid size: " + std::to_string(anOutputLength));
        std::string aWhole(static_cast<std::size_t>(anOutputLength), '\0');
        std::int64_t aWholeLength = anOutputLength;
        const ReturnCode aFetch = aStatement->getObject(
            2, dbclient::HostType::Binary, aWhole.data(), &aWholeLength, anOutputLength);
        if (aFetch == ReturnCode::Error || aStatement->error().isSet())
            throw Error("Failed to execute prepared statement: " +
                        aStatement->error().getErrorText());
        return parseResponse(aWhole.data(), static_cast<std::int64_t>(aWhole.size()));
    }
    if (!isGood(aCode))
        throw Error("Failed to execute prepared statement: " + aStatement->error().getErrorText());
    return parseResponse(anOutput, std::min(anOutputLength, kOutputSize));
}

std::vector<RepositoryMessage> Connection::callAll(std::vector<PreparedCall> theCalls) {
    KIVO_PERF_SCOPE("Connection::callAll()");
    awaitSent();
    std::optional<std::vector<std::string>> anAnswers;
    if (!anySimulated(theCalls))
        anAnswers = sendFrames(theCalls);
    if (!anAnswers) {
        std::vector<RepositoryMessage> aResponses;
        aResponses.reserve(theCalls.size());
        for (PreparedCall& aCall : theCalls)
            aResponses.push_back(call(std::move(aCall)));
        return aResponses;
    }
    return parseResponses(*anAnswers);
}

std::optional<std::vector<std::string>>
Connection::sendFrames(const std::vector<PreparedCall>& theCalls) {
    KIVO_CHECK(itsLibrary->itsConnection != nullptr, "The repository connection is closed");
    std::vector<std::string_view> aFrames;
    aFrames.reserve(theCalls.size());
    for (const PreparedCall& aCall : theCalls)
        aFrames.emplace_back(aCall.itsFrame);
    std::vector<std::string> anAnswers;
    const ReturnCode aCode = itsLibrary->itsConnection->callAll(aFrames, anAnswers);
    if (aCode == ReturnCode::NoData)
        return std::nullopt;
    if (!isGood(aCode) || anAnswers.size() != theCalls.size())
        throw Error("Failed to execute prepared statement: " +
                    itsLibrary->itsConnection->error().getErrorText());
    return anAnswers;
}

std::vector<RepositoryMessage>
Connection::parseResponses(const std::vector<std::string>& theAnswers) const {
    std::vector<RepositoryMessage> aResponses;
    aResponses.reserve(theAnswers.size());
    for (const std::string& anAnswer : theAnswers)
        aResponses.push_back(
            parseResponse(anAnswer.data(), static_cast<std::int64_t>(anAnswer.size())));
    return aResponses;
}

void Connection::sendAll(std::vector<PreparedCall> theCalls) {
    awaitSent();
    KIVO_CHECK(!itsArrived, "The answers of the calls sent before were not collected");
    if (anySimulated(theCalls) || itsLibrary->itsConnection == nullptr ||
        !itsLibrary->itsConnection->isRemote()) {
        itsArrived = callAll(std::move(theCalls));
        return;
    }
    // The helper thread uses only the library connection, which nothing else touches until
    // awaitSent() has joined it; the answers are parsed back on the run's thread.
    itsSending = std::async(std::launch::async, [this, aCalls = std::move(theCalls)] {
        std::optional<std::vector<std::string>> anAnswers = sendFrames(aCalls);
        if (!anAnswers)
            throw Error("The repository connection cannot send calls together");
        return std::move(*anAnswers);
    });
}

std::vector<RepositoryMessage> Connection::collect() {
    KIVO_PERF_SCOPE("Connection::collect()");
    awaitSent();
    KIVO_CHECK(itsArrived.has_value(), "No calls were sent to collect the answers of");
    return *std::exchange(itsArrived, std::nullopt);
}

void Connection::awaitSent() {
    if (!itsSending.valid())
        return;
    // get() leaves the future empty whether it returns or throws the calls' failure.
    itsArrived = parseResponses(itsSending.get());
}

void Connection::beginCallGroup() {
    awaitSent();
    if (itsLibrary->itsConnection != nullptr)
        itsLibrary->itsConnection->beginCallGroup();
}

void Connection::endCallGroup() {
    awaitSent();
    if (itsLibrary->itsConnection == nullptr)
        return;
    dbclient::Connection& aConnection = *itsLibrary->itsConnection;
    if (!isGood(aConnection.endCallGroup()))
        throw Error("Failed to execute prepared statement: " + aConnection.error().getErrorText());
}

CallGroup::CallGroup(Connection& theConnection) : itsConnection(&theConnection) {
    itsConnection->beginCallGroup();
}

CallGroup::~CallGroup() {
    try {
        end();
    } catch (const Error& anError) {
        console::err() << anError.what() << '\n' << std::flush;
        exitstatus::fail();
    }
}

void CallGroup::end() {
    Connection* aConnection = std::exchange(itsConnection, nullptr);
    if (aConnection != nullptr)
        aConnection->endCallGroup();
}

void Connection::close() {
    awaitSent();
    if (itsLibrary->itsConnection == nullptr)
        return;
    dbclient::Connection* aConnection = itsLibrary->itsConnection;
    itsLibrary->itsConnection = nullptr;
    const ReturnCode aCode = aConnection->close();
    const std::string aText = aConnection->error().getErrorText();
    itsLibrary->apEnvironment->releaseConnection(aConnection);
    if (!isGood(aCode))
        throw Error("Closing the database connection failed: " + aText);
}

namespace connection {

std::size_t callsTogether(std::size_t theMost) {
    const bool aShown =
        isSet(params::simulate) || isSet(params::jsonRequest) || isSet(params::jsonResponse);
    return aShown ? 1 : theMost;
}

Connection& open() {
    std::shared_ptr<Connection>& aHandle = theConnectionHandle();
    if (!aHandle)
        aHandle = std::make_shared<Connection>();
    return *aHandle;
}

bool isClosed() {
    return !theConnectionHandle();
}

void closeInBackground() {
    std::shared_ptr<Connection> aConnection = std::move(theConnectionHandle());
    theConnectionHandle().reset();
    if (!aConnection)
        return;
    try {
        theBackgroundClosing() = std::async(std::launch::async, [aConnection] {
            perftrace::muteThisThread();
            aConnection->close();
        });
    } catch (const std::system_error&) {
        theConnectionHandle() = std::move(aConnection); // no thread to be had: closed by finish()
    }
}

void close() {
    if (theBackgroundClosing().valid())
        theBackgroundClosing().get(); // raises the failure of the closing
    std::shared_ptr<Connection> aConnection = std::move(theConnectionHandle());
    theConnectionHandle().reset();
    if (aConnection)
        aConnection->close();
}

void finish() {
    try {
        close();
    } catch (const Error& anError) {
        console::err() << "Error exiting connection: " << anError.what() << '\n' << std::flush;
        exitstatus::fail();
        console::out() << anError.description() << '\n' << std::flush;
    } catch (const std::exception& anError) {
        console::err() << "Error exiting connection: " << anError.what() << '\n' << std::flush;
        exitstatus::fail();
        console::out() << anError.what() << '\n' << std::flush;
    }
}

} // namespace connection
} // namespace RepositoryAccess
