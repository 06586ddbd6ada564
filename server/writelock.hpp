#pragma once

#include <cstdint>

namespace RepositoryAccess::server {

// The key of the transaction-scoped advisory lock (pg_advisory_xact_lock) that every writer of a
// repository inside a PostgreSQL database takes before it reads anything: the engine's requests
// and the administration tool alike, so that no two of them interleave. Advisory locks belong to
// one database, so one key serves every repository of a server. The bytes spell "kivoWRIT".
constexpr std::int64_t kRepositoryWriteLock = 0x6B69766F57524954;

} // namespace RepositoryAccess::server
