#include "pgextension/frameanswer.hpp"

#include "pgextension/spidatabase.hpp"
#include "server/engine.hpp"
#include "server/repositorystore.hpp"
#include "server/storeschema.hpp"

#include <memory>

namespace RepositoryAccess::pgextension {

namespace {

// The engine of this backend with its database: made at the first call and kept for the
// backend's life, with the plans of its statements. It is never destroyed: at the process's exit
// PostgreSQL's memory, which the plans live in, is no longer there to free.
struct BackendEngine {
    SpiDatabase* itsDatabase = nullptr;
    server::Engine* itsEngine = nullptr;
};

BackendEngine& backendEngine() {
    static BackendEngine* theEngine = nullptr;
    if (theEngine == nullptr) {
        auto aDatabase = std::make_unique<SpiDatabase>();
        SpiDatabase* aKept = aDatabase.get();
        auto anEngine = std::make_unique<server::Engine>(std::move(aDatabase));
        theEngine = new BackendEngine{aKept, anEngine.get()};
        anEngine.release();
    }
    return *theEngine;
}

} // namespace

std::string answerFrame(std::string_view theFrame, const std::string& theCaller) {
    BackendEngine& anEngine = backendEngine();
    SpiDatabase::Call aCall(*anEngine.itsDatabase);
    return anEngine.itsEngine->call(theCaller, theFrame);
}

void installRepository(const std::string& theDatabaseName) {
    SpiDatabase aDatabase;
    SpiDatabase::Call aCall(aDatabase);
    aDatabase.beginInstallation();
    try {
        aDatabase.execute(server::storeschema::serverTables());
        server::RepositoryStore::seed(aDatabase, {{"database_name", theDatabaseName}});
    } catch (...) {
        aDatabase.rollbackAfterFailure();
        throw;
    }
    aDatabase.commit();
}

} // namespace RepositoryAccess::pgextension
