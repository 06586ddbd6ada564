#pragma once

#include "dbclient/dbclient.hpp"

#include <memory>
#include <string>

namespace RepositoryAccess::dbclient {

// The connection an environment hands out. Each connect resolves a key ("KEY") through the key
// store to host, user and password, picks the backend by the host ("file:PATH" the embedded
// repository, "HOST:PORT" a PostgreSQL server) and forwards every call to it.
class HostConnection : public Connection {
public:
    ReturnCode connect(const std::string& theServerNode, const std::string& theDatabase,
                       const std::string& theUser, std::string_view thePassword,
                       StringEncoding theEncoding, const ConnectProperties& theProperties) override;
    ReturnCode close() override;
    Statement* createStatement() override;
    PreparedStatement* createPreparedStatement() override;
    void releaseStatement(Statement* theStatement) override;
    void releaseStatement(PreparedStatement* theStatement) override;
    ReturnCode beginCallGroup() override;
    ReturnCode endCallGroup() override;
    ReturnCode callAll(const std::vector<std::string_view>& theFrames,
                       std::vector<std::string>& theAnswers) override;
    bool isRemote() const override { return apBackend && apBackend->isRemote(); }

private:
    std::unique_ptr<Connection> apBackend;
};

} // namespace RepositoryAccess::dbclient
