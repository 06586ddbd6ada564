#include "server/sqldatabase.hpp"

#include "core/console.hpp"

#include <exception>

namespace RepositoryAccess::server {

void SqlDatabase::rollbackAfterFailure() noexcept {
    try {
        rollback();
    } catch (const std::exception& anError) {
        // The failure that brought the work here is the one the caller reports; this one only
        // shows what the database said after it.
        console::traceOnly(std::string("Rollback after a failure failed too: ") + anError.what() +
                           "\n");
    }
}

} // namespace RepositoryAccess::server
