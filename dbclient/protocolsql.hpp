#pragma once

namespace RepositoryAccess::dbclient {

// The statements of the repository protocol: the three monitoring queries that a connection
// asks after connecting, and the call of the repository procedure. The connection sends them and
// every backend answers exactly these texts (compared after folding white space).
namespace protocolsql {

inline constexpr const char* kApiVersionQuery =
    "select feature_version from \"PUBLIC\".\"M_FEATURES\" where component_name='REPOSITORY' "
    "and feature_name='API'";
inline constexpr const char* kDatabaseQuery = "select database_name from \"PUBLIC\".\"M_DATABASE\"";
inline constexpr const char* kUserQuery =
    "select user_name from \"PUBLIC\".\"M_CONNECTIONS\" where "
    "own='TRUE' and connection_status='RUNNING'";
inline constexpr const char* kRepositoryCall = "{CALL SYS.REPOSITORY_REST(?, ?)}";

} // namespace protocolsql
} // namespace RepositoryAccess::dbclient
