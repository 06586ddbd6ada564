#pragma once

#include "dbclient/dbclient.hpp"

#include <algorithm>
#include <memory>
#include <vector>

namespace RepositoryAccess::dbclient {

// The statement bookkeeping of a backend's connection: it creates TStatement and TPrepared
// (constructed with the connection) and owns them until they are released or the connection
// drops them when it closes.
template <class TConnection, class TStatement, class TPrepared>
class BackendConnection : public Connection {
public:
    Statement* createStatement() override {
        itsStatements.push_back(std::make_unique<TStatement>(self()));
        return itsStatements.back().get();
    }
    PreparedStatement* createPreparedStatement() override {
        itsPreparedStatements.push_back(std::make_unique<TPrepared>(self()));
        return itsPreparedStatements.back().get();
    }
    void releaseStatement(Statement* theStatement) override {
        release(itsStatements, theStatement);
    }
    void releaseStatement(PreparedStatement* theStatement) override {
        release(itsPreparedStatements, theStatement);
    }

protected:
    void dropStatements() {
        itsStatements.clear();
        itsPreparedStatements.clear();
    }

private:
    TConnection& self() { return static_cast<TConnection&>(*this); }

    template <class T> static void release(std::vector<std::unique_ptr<T>>& theOwned, T* theItem) {
        auto anIt = std::find_if(theOwned.begin(), theOwned.end(),
                                 [&](const auto& theEntry) { return theEntry.get() == theItem; });
        if (anIt != theOwned.end())
            theOwned.erase(anIt);
    }

    std::vector<std::unique_ptr<Statement>> itsStatements;
    std::vector<std::unique_ptr<PreparedStatement>> itsPreparedStatements;
};

} // namespace RepositoryAccess::dbclient
