#pragma once

// The fixture that the connection and function layer tests share: a repository file with user
// ALICE (password "secret") and a clean parameter store; the connection is closed after each test.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "core/parameters.hpp"
#include "repository/connection.hpp"
#include "server/repositorystore.hpp"
#include "server/transaction.hpp"
#include "sqlitefile/repositoryfile.hpp"
#include "tests/support/process.hpp"
#include "tests/support/repositoryfile.hpp"

namespace repotest {

using namespace RepositoryAccess;

class RepositoryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        itsFile = kivotest::makeRepositoryFile(itsDir.path(), "ALICE", "secret");
        installParameters({});
    }

    void TearDown() override {
        connection::close();
        installParameters({});
    }

    // Installs the options for host, user and password (left out when empty) and further flags
    // and values (which replace those); an open connection is kept.
    void options(const std::string& theUser, const std::string& thePassword,
                 std::initializer_list<Parameter> theFlags = {},
                 std::initializer_list<std::pair<Parameter, std::string>> theValues = {}) {
        ParameterValues aValues;
        aValues.setValue(params::hostName, "file:" + itsFile);
        if (!theUser.empty())
            aValues.setValue(params::userName, theUser);
        if (!thePassword.empty())
            aValues.setValue(params::passWord, thePassword);
        for (const Parameter& aFlag : theFlags)
            aValues.setFlag(aFlag);
        for (const auto& [aParameter, aValue] : theValues) {
            aValues.unset(aParameter);
            aValues.setValue(aParameter, aValue);
        }
        installParameters(aValues);
    }

    // Changes a setting as `kivo-repo set FILE NAME VALUE` does.
    void setting(const std::string& theName, const std::string& theValue) {
        server::RepositoryStore aStore(server::openRepositoryFile(itsFile));
        server::Transaction aTransaction(aStore.database(), true);
        aStore.setSetting(theName, theValue);
        aTransaction.commit();
    }

    kivotest::TempDir itsDir;
    std::string itsFile;
};

} // namespace repotest
