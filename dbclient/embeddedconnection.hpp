#pragma once

#include "dbclient/backendconnection.hpp"
#include "dbclient/callstatement.hpp"
#include "dbclient/dbclient.hpp"
#include "dbclient/embeddedstatements.hpp"
#include "server/passwordhash.hpp"

#include <memory>
#include <string>
#include <vector>

namespace RepositoryAccess::server {
class Engine;
}

namespace RepositoryAccess::dbclient {

// Error codes the embedded backend reports in its error holders.
namespace embeddedcode {
inline constexpr int kConnectFailed = 10;
inline constexpr int kAuthenticationFailed = kAuthenticationFailedCode;
inline constexpr int kNotConnected = 11;
inline constexpr int kUnsupportedStatement = 257;
inline constexpr int kInvalidParameter = kInvalidParameterCode;
inline constexpr int kEngineFailure = 600;
inline constexpr int kEncryptionIgnored = 1;
} // namespace embeddedcode

// The connection to the embedded repository (keys are resolved by HostConnection before it is
// picked): a host "file:PATH" names a repository file (a
// relative PATH is taken from the current directory). It answers the three monitoring queries
// of the client and the repository call, whose output behaves like a 1,024-byte output
// parameter of a database server; every other SQL text is "unsupported statement".
class EmbeddedConnection
    : public BackendConnection<EmbeddedConnection, EmbeddedStatement, EmbeddedPreparedStatement> {
public:
    EmbeddedConnection();
    // A connection whose password comes from a key of the key store: a password that the memo
    // holds as verified is not derived again.
    explicit EmbeddedConnection(std::unique_ptr<server::PasswordMemo> theMemo);
    ~EmbeddedConnection() override;

    ReturnCode connect(const std::string& theServerNode, const std::string& theDatabase,
                       const std::string& theUser, std::string_view thePassword,
                       StringEncoding theEncoding, const ConnectProperties& theProperties) override;
    ReturnCode close() override;
    ReturnCode beginCallGroup() override;
    ReturnCode endCallGroup() override;

    // For the statements: the engine (nullptr while not connected) and the connected user.
    server::Engine* engine() { return itsEngine.get(); }
    const std::string& user() const { return itsUser; }

private:
    std::unique_ptr<server::Engine> itsEngine;
    std::unique_ptr<server::PasswordMemo> itsMemo;
    std::string itsUser;
};

} // namespace RepositoryAccess::dbclient
